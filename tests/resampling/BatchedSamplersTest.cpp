#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <thread>
#include <vector>

#include "CpuPaths.h"
#include "Resampling/BatchedSamplers.h"
#include "Resampling/FilterKernelTables.h"
#include "support/CountingNew.h"

namespace {

enum Filter { kNearest, kBilinear, kLanczos2, kLanczos3, kMitchell };
const char* const kFilterNames[] = {"Nearest", "BiLinear", "Lanczos-2", "Lanczos-3",
                                    "Mitchell-Netravali"};

double Sine(double x) { return std::sin(x); }

const FilterKernelTables& Tables() {
  static FilterKernelTables tables = [] {
    FilterKernelTables built = {nullptr, nullptr, nullptr, 0};
    BuildFilterKernelTableSet(built, Sine);
    return built;
  }();
  return tables;
}

// An input world in memory, allocated to the last byte of its last pixel so that ASan sees
// any read beyond it. `bottomUp` stores the rows in reverse with a negative row stride.
struct World {
  int32_t width = 0, height = 0, bits = 8, bytesPerPixel = 4, rowBytes = 0;
  bool bottomUp = false;
  std::vector<uint8_t> bytes;

  size_t Offset(int32_t col, int32_t row) const {
    const int32_t stride = rowBytes < 0 ? -rowBytes : rowBytes;
    const int32_t storedRow = bottomUp ? height - 1 - row : row;
    return static_cast<size_t>(storedRow) * static_cast<size_t>(stride) +
           static_cast<size_t>(col) * static_cast<size_t>(bytesPerPixel);
  }
  // Channel in packet order (red, green, blue, alpha) as a float.
  float At(int32_t col, int32_t row, int channel) const {
    const int memory = channel == 3 ? 0 : channel + 1;
    const uint8_t* p = bytes.data() + Offset(col, row) + memory * bytesPerPixel / 4;
    if (bits == 8) return static_cast<float>(*p);
    if (bits == 16) {
      uint16_t v;
      std::memcpy(&v, p, 2);
      return static_cast<float>(v);
    }
    float v;
    std::memcpy(&v, p, 4);
    return v;
  }
  void Set(int32_t col, int32_t row, int channel, float value) {
    const int memory = channel == 3 ? 0 : channel + 1;
    uint8_t* p = bytes.data() + Offset(col, row) + memory * bytesPerPixel / 4;
    if (bits == 8) *p = static_cast<uint8_t>(value);
    if (bits == 16) {
      const uint16_t v = static_cast<uint16_t>(value);
      std::memcpy(p, &v, 2);
    }
    if (bits == 32) std::memcpy(p, &value, 4);
  }
  float FullScale() const { return bits == 8 ? 255.0f : bits == 16 ? 32768.0f : 1.0f; }

  SampleSource Source(Filter filter) const {
    SampleSource s;
    std::memset(&s, 0, sizeof s);
    const int32_t stride = rowBytes < 0 ? -rowBytes : rowBytes;
    s.pixels = bytes.data() + (bottomUp ? static_cast<size_t>(height - 1) * stride : 0);
    s.rowBytes = rowBytes;
    s.bytesPerPixel = bytesPerPixel;
    s.bitsPerChannel = bits;
    s.width = width;
    s.height = height;
    s.colourMax = bits == 32 ? 1.0e10f : FullScale();
    s.alphaMax = FullScale();
    if (filter >= kLanczos2) {
      const bool six = filter == kLanczos3;
      s.tapsX = s.tapsY = six ? 6 : 4;
      s.tapOffsetX = s.tapOffsetY = six ? 2 : 1;
      s.phases = 64.0f;
      s.blockStride = six ? 40.0f : 16.0f;
      s.weights = filter == kLanczos2 ? Tables().lanczos2
                  : filter == kLanczos3 ? Tables().lanczos3 : Tables().mitchell;
    }
    return s;
  }
};

World MakeWorld(int32_t bits, int32_t width, int32_t height, uint32_t seed, bool bottomUp = false) {
  World w;
  w.width = width;
  w.height = height;
  w.bits = bits;
  w.bytesPerPixel = bits / 2;
  const int32_t stride = width * w.bytesPerPixel + 3 * w.bytesPerPixel;  // padded rows
  w.rowBytes = bottomUp ? -stride : stride;
  w.bottomUp = bottomUp;
  w.bytes.assign(static_cast<size_t>(stride) * static_cast<size_t>(height - 1) +
                     static_cast<size_t>(width * w.bytesPerPixel), 0);
  std::mt19937 random(seed);
  std::uniform_real_distribution<float> floats(-0.25f, 1.5f);
  std::uniform_int_distribution<int> ints(0, bits == 8 ? 255 : 32768);
  // Float worlds hold some -0.0 too, whose sign a lerp keeps or not by the fraction's.
  for (int32_t row = 0; row < height; ++row)
    for (int32_t col = 0; col < width; ++col)
      for (int c = 0; c < 4; ++c)
        w.Set(col, row, c,
              bits != 32 ? static_cast<float>(ints(random)) : (col + c) % 5 == 0 ? -0.0f : floats(random));
  return w;
}

SamplerFamily FamilyOf(Filter filter) {
  return filter == kNearest    ? SamplerFamily::Nearest
         : filter == kBilinear ? SamplerFamily::Bilinear
                               : SamplerFamily::Kernel;
}

void Sample(Filter filter, const SampleSource& source, const PointPacket& positions, void* out) {
  if (filter == kNearest) SampleNearest(source, positions, out);
  else if (filter == kBilinear) SampleBilinear(source, positions, out);
  else SampleKernel(source, positions, out);
}

// The filters written out one position at a time, in plain float arithmetic, with the
// operation orders the samplers promise.
float MinSse(float a, float b) { return a < b ? a : b; }
float MaxSse(float a, float b) { return a > b ? a : b; }
float ClampTo(float v, float lo, float hi) { return MinSse(hi, MaxSse(lo, v)); }
float InRange(float v, float lo, float hi) { return lo <= v && v <= hi ? 1.0f : 0.0f; }
float Confined(float v) { return v >= -268435456.0f && v <= 268435456.0f ? v : 268435456.0f; }
// Floor as the SSE2 path takes it, through int32: never -0.0.
float Floor(float v) {
  const float truncated = static_cast<float>(static_cast<int32_t>(v));
  return v < truncated ? truncated - 1.0f : truncated;
}

void Reference(const World& w, Filter filter, float x, float y, float result[4]) {
  x = Confined(x);
  y = Confined(y);
  const float w1 = static_cast<float>(w.width - 1), h1 = static_cast<float>(w.height - 1);
  const bool whole = w.bits != 32;
  if (filter == kNearest) {
    const float xr = std::nearbyint(x), yr = std::nearbyint(y);
    const float m = InRange(xr, -1.0f, w1 + 1.0f) * InRange(yr, -1.0f, h1 + 1.0f);
    const int32_t col = static_cast<int32_t>(ClampTo(xr, 0.0f, w1));
    const int32_t row = static_cast<int32_t>(ClampTo(yr, 0.0f, h1));
    for (int c = 0; c < 4; ++c) result[c] = w.At(col, row, c) * m;
    return;
  }
  if (filter == kBilinear) {
    const float x0 = Floor(x), y0 = Floor(y), fx = x - x0, fy = y - y0;
    const int32_t c0 = static_cast<int32_t>(ClampTo(x0, 0.0f, w1));
    const int32_t c1 = static_cast<int32_t>(ClampTo(x0 + 1.0f, 0.0f, w1));
    const int32_t r0 = static_cast<int32_t>(ClampTo(y0, 0.0f, h1));
    const int32_t r1 = static_cast<int32_t>(ClampTo(y0 + 1.0f, 0.0f, h1));
    const float m = InRange(x0, 0.0f, w1) * InRange(y0, 0.0f, h1);
    for (int c = 0; c < 4; ++c) {
      const float top = (w.At(c1, r0, c) - w.At(c0, r0, c)) * fx + w.At(c0, r0, c);
      const float bottom = (w.At(c1, r1, c) - w.At(c0, r1, c)) * fx + w.At(c0, r1, c);
      const float v = (bottom - top) * fy + top;
      result[c] = whole ? std::nearbyint(v * m) : v * m;
    }
    return;
  }
  const SampleSource s = w.Source(filter);
  const float x0 = Floor(x), y0 = Floor(y);
  const float phaseX = Floor((x - x0) * 64.0f), phaseY = Floor((y - y0) * 64.0f);
  const float startX = x0 - static_cast<float>(s.tapOffsetX);
  const float startY = y0 - static_cast<float>(s.tapOffsetY);
  float block = s.blockStride * 64.0f * phaseY + s.blockStride * phaseX;
  block = MinSse(block, 4095.0f * s.blockStride);  // a phase of 64 never reads past the table
  float sum[4] = {0, 0, 0, 0}, weightSum = 0.0f;
  int t = 0;
  for (int ty = 0; ty < s.tapsY; ++ty) {
    const float rowY = startY + static_cast<float>(ty);
    for (int tx = 0; tx < s.tapsX; ++tx) {
      const float colX = startX + static_cast<float>(tx);
      float weight = s.weights[static_cast<int32_t>(block) + t++];
      weight = weight * InRange(colX, 0.0f, w1) * InRange(rowY, 0.0f, h1);
      const int32_t col = static_cast<int32_t>(ClampTo(colX, 0.0f, w1));
      const int32_t row = static_cast<int32_t>(ClampTo(rowY, 0.0f, h1));
      for (int c = 0; c < 4; ++c) sum[c] = weight * w.At(col, row, c) + sum[c];
      weightSum = weightSum + weight;
    }
  }
  const float r = 1.0f / (weightSum + (weightSum == 0.0f ? 1.0f : 0.0f));
  for (int c = 0; c < 4; ++c) {
    const float max = c == 3 ? s.alphaMax : s.colourMax;
    result[c] = ClampTo(whole ? std::nearbyint(r * sum[c]) : r * sum[c], 0.0f, max);
  }
}

// The bytes a pixel with these channel values is stored as.
std::vector<uint8_t> Stored(const World& w, const float v[4]) {
  std::vector<uint8_t> out(static_cast<size_t>(w.bytesPerPixel));
  const float memoryOrder[4] = {v[3], v[0], v[1], v[2]};
  for (int c = 0; c < 4; ++c) {
    if (w.bits == 8) out[static_cast<size_t>(c)] = static_cast<uint8_t>(static_cast<int32_t>(memoryOrder[c]));
    if (w.bits == 16) {
      const uint16_t s = static_cast<uint16_t>(static_cast<int32_t>(memoryOrder[c]));
      std::memcpy(&out[static_cast<size_t>(2 * c)], &s, 2);
    }
    if (w.bits == 32) std::memcpy(&out[static_cast<size_t>(4 * c)], &memoryOrder[c], 4);
  }
  return out;
}

// Positions along one axis of size `size`: inside, on centres and half-way points, on and
// beyond both borders, a hair below 0 (whose fraction rounds up to 1), far outside, the
// failed-mapping marker, huge values, infinities and NaN.
std::vector<float> AxisPositions(int32_t size, std::mt19937& random) {
  const float n = static_cast<float>(size);
  std::vector<float> v = {-4.5f, -3.0f, -2.5f, -2.0f, -1.5f, -1.0f, -0.5f, -0.25f, 0.0f, -0.0f,
                          n - 1.0f, n - 0.5f, n - 0.25f, n, n + 0.5f, n + 1.0f, n + 1.5f,
                          n + 2.0f, n + 3.0f, std::nextafter(0.0f, -1.0f), -1e-10f, -1e-7f,
                          std::nextafter(n - 1.0f, n), std::nextafter(n, 0.0f), 1e4f, -1e4f,
                          1e7f, -1e7f, 268435456.0f, -268435456.0f, 3e8f, -3e8f, 1e30f, -1e30f,
                          std::numeric_limits<float>::infinity(),
                          -std::numeric_limits<float>::infinity(),
                          std::numeric_limits<float>::quiet_NaN()};
  std::uniform_real_distribution<float> inside(-5.0f, n + 5.0f);
  std::uniform_int_distribution<int> halves(-10, 2 * size + 10);
  for (int i = 0; i < 60; ++i) {
    v.push_back(inside(random));
    v.push_back(static_cast<float>(halves(random)) * 0.5f);
  }
  return v;
}

struct WorldCase {
  int32_t bits, width, height;
  bool bottomUp;
};

// Every run length 0..64 at every filter and depth: the SSE2 body against the plain
// evaluation, every wider body against the SSE2 body's bytes; nothing written past the run.
TEST(BatchedSamplers, EveryTargetWritesTheSse2BytesAndSse2ThePlainEvaluation) {
  const WorldCase worlds[] = {{8, 13, 7, false}, {16, 13, 7, false}, {32, 13, 7, false},
                              {8, 1, 1, false},  {16, 5, 9, true},   {32, 2, 3, true}};
  const std::vector<uint32_t> paths = AvailablePaths();
  uint32_t seed = 1;
  for (const WorldCase& wc : worlds) {
    const World world = MakeWorld(wc.bits, wc.width, wc.height, seed, wc.bottomUp);
    std::mt19937 random(seed++);
    const std::vector<float> xs = AxisPositions(wc.width, random);
    const std::vector<float> ys = AxisPositions(wc.height, random);
    std::uniform_int_distribution<size_t> pickX(0, xs.size() - 1), pickY(0, ys.size() - 1);
    const size_t runBytes = static_cast<size_t>(kPacketCapacity * world.bytesPerPixel);
    for (int32_t n = 0; n <= kPacketCapacity; ++n) {
      PointPacket positions;
      positions.x.count = n;
      positions.y.count = n;
      // Past the count too: the slots a wide vector reads beyond the run hold NaN.
      for (int32_t k = 0; k < kPacketCapacity; ++k) {
        positions.x[k] = k < n ? xs[pickX(random)] : std::numeric_limits<float>::quiet_NaN();
        positions.y[k] = k < n ? ys[pickY(random)] : std::numeric_limits<float>::quiet_NaN();
      }
      for (Filter filter : {kNearest, kBilinear, kLanczos2, kLanczos3, kMitchell}) {
        const SampleSource source = world.Source(filter);
        std::vector<uint8_t> sse2;
        for (uint32_t path : paths) {
          // Room for a whole run of 64 and guard bytes after it.
          std::vector<uint8_t> out(runBytes + 6 * static_cast<size_t>(world.bytesPerPixel), 0xAB);
          SelectBatchedSampler(FamilyOf(filter), wc.bits, path)(source, positions, out.data());
          const size_t written = static_cast<size_t>(n * world.bytesPerPixel);
          for (size_t b = written; b < out.size(); ++b) {
            ASSERT_EQ(out[b], 0xAB) << kFilterNames[filter] << " path " << path << " wrote past its run of " << n;
          }
          if (path != 0) {
            ASSERT_EQ(out, sse2) << kFilterNames[filter] << " " << wc.bits << "-bit path " << path << " run of " << n;
            continue;
          }
          sse2 = out;
          for (int32_t k = 0; k < n; ++k) {
            float expected[4];
            Reference(world, filter, positions.x[k], positions.y[k], expected);
            const std::vector<uint8_t> want = Stored(world, expected);
            ASSERT_EQ(std::memcmp(out.data() + k * world.bytesPerPixel, want.data(), want.size()), 0)
                << kFilterNames[filter] << " " << wc.bits << "-bit at (" << positions.x[k] << ", "
                << positions.y[k] << ")";
          }
        }
        // A body chosen for another depth samples the source at the source's own.
        std::vector<uint8_t> other(runBytes + 6 * static_cast<size_t>(world.bytesPerPixel), 0xAB);
        SelectBatchedSampler(FamilyOf(filter), wc.bits == 8 ? 32 : 8, paths.back())(source, positions, other.data());
        ASSERT_EQ(other, sse2) << kFilterNames[filter] << " through another depth's body";
      }
    }
  }
}

// Samples one position of `world` with `filter`; returns the four channels in packet order.
std::vector<float> SampleOne(const World& world, Filter filter, float x, float y) {
  PointPacket positions;
  positions.x.count = positions.y.count = 1;
  positions.x[0] = x;
  positions.y[0] = y;
  std::vector<uint8_t> out(static_cast<size_t>(world.bytesPerPixel));
  Sample(filter, world.Source(filter), positions, out.data());
  World pixel = world;
  pixel.width = pixel.height = 1;
  pixel.rowBytes = pixel.bytesPerPixel;
  pixel.bottomUp = false;
  pixel.bytes = out;
  return {pixel.At(0, 0, 0), pixel.At(0, 0, 1), pixel.At(0, 0, 2), pixel.At(0, 0, 3)};
}

std::vector<float> PixelOf(const World& world, int32_t col, int32_t row) {
  return {world.At(col, row, 0), world.At(col, row, 1), world.At(col, row, 2), world.At(col, row, 3)};
}
const std::vector<float> kTransparent = {0, 0, 0, 0};

TEST(BatchedSamplers, NearestAndBilinearReachAndTiesToEven) {
  const World world = MakeWorld(8, 10, 4, 5);
  struct Case {
    Filter filter;
    float x;
    int32_t column;  // -1: transparent
  };
  const Case cases[] = {
      {kNearest, -1.4f, 0},  {kNearest, 10.4f, 9},  {kNearest, -1.6f, -1}, {kNearest, 10.6f, -1},
      {kNearest, -1.5f, -1}, {kNearest, 10.5f, 9},  {kNearest, 2.5f, 2},   {kNearest, 3.5f, 4},
      {kBilinear, -0.25f, -1}, {kBilinear, 0.0f, 0}, {kBilinear, 9.75f, 9}, {kBilinear, 10.0f, -1},
  };
  for (const Case& c : cases) {
    const std::vector<float> got = SampleOne(world, c.filter, c.x, 2.0f);
    EXPECT_EQ(got, c.column < 0 ? kTransparent : PixelOf(world, c.column, 2))
        << kFilterNames[c.filter] << " at x = " << c.x;
  }
  // Half-way between horizontal neighbours in an 8-bit world rounds ties to even.
  World pair = MakeWorld(8, 2, 1, 6);
  const float left[] = {127, 126}, right[] = {128, 127}, expected[] = {128, 126};
  for (int i = 0; i < 2; ++i) {
    for (int c = 0; c < 4; ++c) {
      pair.Set(0, 0, c, left[i]);
      pair.Set(1, 0, c, right[i]);
    }
    EXPECT_EQ(SampleOne(pair, kBilinear, 0.5f, 0.0f),
              std::vector<float>(4, expected[i]));
  }
}

TEST(BatchedSamplers, KernelReachOutsideTheImageAndSingleInsideTaps) {
  struct Case {
    Filter filter;
    int32_t firstFloor, lastFloor;  // floor(x) range with colour, relative to 0 and width
  };
  const Case cases[] = {{kLanczos2, -2, 0}, {kMitchell, -2, 0}, {kLanczos3, -3, 1}};
  for (int32_t bits : {8, 16, 32}) {
    const World world = MakeWorld(bits, 9, 5, 100 + static_cast<uint32_t>(bits));
    for (const Case& c : cases) {
      for (int32_t floorX = -6; floorX <= world.width + 4; ++floorX) {
        // Half a pixel past floor(x): every tap inside has a nonzero weight.
        const float x = static_cast<float>(floorX) + 0.5f;
        const bool coloured = floorX >= c.firstFloor && floorX <= world.width + c.lastFloor;
        // In the corner rows only one row of taps is inside, so the outermost columns
        // leave a single tap: its pixel comes back whole.
        const std::vector<float> got = SampleOne(world, c.filter, x, static_cast<float>(c.firstFloor) + 0.5f);
        if (!coloured) {
          EXPECT_EQ(got, kTransparent) << kFilterNames[c.filter] << " x = " << x;
          continue;
        }
        EXPECT_NE(got, kTransparent) << kFilterNames[c.filter] << " x = " << x;
        const int32_t single = floorX == c.firstFloor ? 0
                               : floorX == world.width + c.lastFloor ? world.width - 1 : -1;
        if (single < 0) continue;
        const std::vector<float> pixel = PixelOf(world, single, 0);
        for (int ch = 0; ch < 4; ++ch) {
          if (bits == 32) {
            const float expected = ch == 3 ? std::fmin(std::fmax(pixel[ch], 0.0f), 1.0f)
                                           : std::fmax(pixel[ch], 0.0f);
            EXPECT_NEAR(got[ch], expected, 1e-6f) << kFilterNames[c.filter] << " x = " << x;
          } else {
            EXPECT_EQ(got[ch], pixel[ch]) << kFilterNames[c.filter] << " x = " << x;
          }
        }
      }
      // A single inside tap at exactly the kernel radius has weight 0: transparent.
      const float radius = c.filter == kLanczos3 ? 3.0f : 2.0f;
      EXPECT_EQ(SampleOne(world, c.filter, -radius, 2.0f), kTransparent) << kFilterNames[c.filter];
    }
    // The Lanczos kernels on a pixel centre give that pixel back in 8 and 16 bits.
    if (bits != 32) {
      for (Filter filter : {kLanczos2, kLanczos3}) {
        EXPECT_EQ(SampleOne(world, filter, 4.0f, 2.0f), PixelOf(world, 4, 2)) << kFilterNames[filter];
        EXPECT_EQ(SampleOne(world, filter, 0.0f, 0.0f), PixelOf(world, 0, 0)) << kFilterNames[filter];
      }
    }
  }
}

TEST(BatchedSamplers, KernelClipsSixteenBitAtFullScaleAndFloatAlphaAtOne) {
  // A step from 0 to full scale (16-bit) or to 5.0 (float): the negative lobes overshoot
  // on the bright side and undershoot on the dark side.
  for (int32_t bits : {16, 32}) {
    World world = MakeWorld(bits, 8, 1, 9);
    const float bright = bits == 16 ? 32768.0f : 5.0f;
    for (int32_t col = 0; col < 8; ++col)
      for (int c = 0; c < 4; ++c) world.Set(col, 0, c, col < 4 ? 0.0f : bright);
    for (Filter filter : {kLanczos2, kLanczos3}) {
      const std::vector<float> over = SampleOne(world, filter, 4.25f, 0.0f);
      const std::vector<float> under = SampleOne(world, filter, 2.75f, 0.0f);
      for (int c = 0; c < 4; ++c) {
        if (bits == 32 && c != 3) {
          // Float colour keeps its overshoot; only alpha is held to 1.
          EXPECT_GT(over[c], bright) << kFilterNames[filter] << " channel " << c;
        } else {
          EXPECT_EQ(over[c], bits == 32 ? 1.0f : bright) << kFilterNames[filter] << " channel " << c;
        }
        EXPECT_EQ(under[c], 0.0f) << kFilterNames[filter] << " channel " << c;
      }
      // Colour above 1.0 passes in float worlds when it is not an overshoot.
      if (bits == 32) {
        EXPECT_EQ(SampleOne(world, filter, 6.0f, 0.0f)[0], 5.0f);
      }
    }
  }
}

TEST(BatchedSamplers, SourcesWithoutPixelsOrFormatOrTable) {
  const World world = MakeWorld(8, 4, 4, 3);
  PointPacket positions;
  positions.x.count = positions.y.count = 5;
  for (int32_t k = 0; k < 64; ++k) positions.x[k] = positions.y[k] = 1.5f;
  struct Case {
    const char* what;
    void (*spoil)(SampleSource&);
    int32_t pixelsWritten;  // as zeros
    bool kernelOnly;        // spoils a field only the kernel sampler reads
  };
  const Case cases[] = {
      {"null pixels", [](SampleSource& s) { s.pixels = nullptr; }, 5, false},
      {"zero width", [](SampleSource& s) { s.width = 0; }, 5, false},
      {"negative height", [](SampleSource& s) { s.height = -3; }, 5, false},
      {"wider than floats count exactly", [](SampleSource& s) { s.width = (1 << 25) + 4; }, 5, false},
      {"no table", [](SampleSource& s) { s.weights = nullptr; }, 5, true},
      {"more taps than a block", [](SampleSource& s) { s.tapsX = 5; }, 5, true},
      {"format mismatch", [](SampleSource& s) { s.bytesPerPixel = 16; }, 0, false},
      {"unknown depth", [](SampleSource& s) { s.bitsPerChannel = 12; }, 0, false},
  };
  for (const Case& c : cases) {
    for (Filter filter : {kNearest, kBilinear, kLanczos2}) {
      if (c.kernelOnly && filter != kLanczos2) continue;
      SampleSource source = world.Source(filter);
      c.spoil(source);
      std::vector<uint8_t> out(64 * 16, 0xAB);
      Sample(filter, source, positions, out.data());
      for (size_t b = 0; b < out.size(); ++b) {
        const bool zeroed = b < static_cast<size_t>(c.pixelsWritten * 4);
        ASSERT_EQ(out[b], zeroed ? 0 : 0xAB) << c.what << " " << kFilterNames[filter] << " byte " << b;
      }
    }
  }
}

TEST(BatchedSamplers, PointsPastAShorterYPacketAreTransparentAndNothingIsAllocated) {
  RestoreCpuFeatures restore;
  struct Case {
    int32_t bits, xCount, yCount;
  };
  // y packets that end inside the first step of eight, on a step boundary, and before a
  // whole run; and one longer than the run, which changes nothing.
  const Case cases[] = {{8, 64, 3}, {16, 13, 8}, {32, 40, 0}, {8, 5, 64}};
  for (const Case& c : cases) {
    const World world = MakeWorld(c.bits, 6, 5, 40 + static_cast<uint32_t>(c.bits));
    for (uint32_t path : AvailablePaths()) {
      OverrideCpuFeatures(path);
      for (Filter filter : {kNearest, kBilinear, kLanczos2, kLanczos3, kMitchell}) {
        // Every point lies well inside, in the y slots past the count as well, so only the
        // count can make a pixel transparent.
        PointPacket positions;
        positions.x.count = c.xCount;
        positions.y.count = c.yCount;
        for (int32_t k = 0; k < 64; ++k) {
          positions.x[k] = 2.25f + static_cast<float>(k % 3) * 0.5f;
          positions.y[k] = 2.5f;
        }
        const SampleSource source = world.Source(filter);
        std::vector<uint8_t> out(static_cast<size_t>(64 * world.bytesPerPixel), 0xAB);
        const int64_t allocations = GlobalNewCalls();
        Sample(filter, source, positions, out.data());
        EXPECT_EQ(GlobalNewCalls() - allocations, 0) << kFilterNames[filter] << " allocated";
        for (int32_t k = 0; k < c.xCount; ++k) {
          // Past the y count a point is unmapped: far outside, as the failed-mapping marker.
          float expected[4];
          Reference(world, filter, positions.x[k], k < c.yCount ? positions.y[k] : 268435456.0f,
                    expected);
          const std::vector<uint8_t> want = Stored(world, expected);
          ASSERT_EQ(std::memcmp(out.data() + k * world.bytesPerPixel, want.data(), want.size()), 0)
              << kFilterNames[filter] << " " << c.bits << "-bit pixel " << k << " of x count "
              << c.xCount << ", y count " << c.yCount;
        }
      }
    }
  }
}

TEST(BatchedSamplers, ConcurrentRunsOnOneSourceGiveTheSingleThreadedResult) {
  const World world = MakeWorld(16, 64, 32, 21);
  std::mt19937 random(22);
  std::uniform_real_distribution<float> x(-4.0f, 68.0f), y(-4.0f, 36.0f);
  std::vector<PointPacket> runs(32);
  for (PointPacket& run : runs) {
    for (int32_t k = 0; k < 64; ++k) {
      run.x[k] = x(random);
      run.y[k] = y(random);
    }
  }
  const size_t runBytes = static_cast<size_t>(64 * world.bytesPerPixel);
  for (Filter filter : {kNearest, kBilinear, kLanczos3}) {
    const SampleSource source = world.Source(filter);
    std::vector<uint8_t> expected(runs.size() * runBytes);
    for (size_t r = 0; r < runs.size(); ++r) Sample(filter, source, runs[r], &expected[r * runBytes]);
    std::vector<std::vector<uint8_t>> outputs(4, std::vector<uint8_t>(expected.size()));
    std::vector<std::thread> threads;
    for (std::vector<uint8_t>& out : outputs) {
      threads.emplace_back([&, filter] {
        for (int repeat = 0; repeat < 20; ++repeat)
          for (size_t r = 0; r < runs.size(); ++r) Sample(filter, source, runs[r], &out[r * runBytes]);
      });
    }
    for (std::thread& thread : threads) thread.join();
    for (const std::vector<uint8_t>& out : outputs) EXPECT_EQ(out, expected) << kFilterNames[filter];
  }
}

}  // namespace
