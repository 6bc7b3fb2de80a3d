#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <random>
#include <thread>
#include <vector>

#include "Resampling/BatchedSamplers.h"
#include "Resampling/CpuFeatures.h"
#include "Resampling/FilterKernelTables.h"
#include "support/CountingNew.h"

namespace {

enum Filter { kNearest, kBilinear, kLanczos2, kLanczos3, kMitchell };
const char* const kNames[] = {"Nearest", "BiLinear", "Lanczos-2", "Lanczos-3", "Mitchell"};
constexpr Filter kAllFilters[] = {kNearest, kBilinear, kLanczos2, kLanczos3, kMitchell};
const float kNaN = std::numeric_limits<float>::quiet_NaN();

const FilterKernelTables& Tables() {
  static FilterKernelTables tables = [] {
    FilterKernelTables built = {nullptr, nullptr, nullptr, 0};
    BuildFilterKernelTableSet(built, [](double x) { return std::sin(x); });
    return built;
  }();
  return tables;
}

// The feature words of every target this processor has, SSE2 (the reference) first.
std::vector<uint32_t> AvailablePaths() {
  std::vector<uint32_t> paths = {0};
  for (uint32_t bit : {kCpuFeatureSse41, kCpuFeatureAvx2, kCpuFeatureAvx512F})
    if (QueryCpuFeatures() & bit) paths.push_back(paths.back() | bit);
  return paths;
}

// A world allocated to its last pixel's last byte (ASan sees reads past it); rows reversed.
struct World {
  int32_t width = 0, height = 0, bits = 8, bytesPerPixel = 4, rowBytes = 0;
  bool bottomUp = false;
  std::vector<uint8_t> bytes;

  uint8_t* At(int32_t col, int32_t row, int channel) {  // channel in packet order, alpha last
    const int32_t stride = std::abs(rowBytes), stored = bottomUp ? height - 1 - row : row;
    return bytes.data() + static_cast<size_t>(stored) * stride + col * bytesPerPixel +
           (channel == 3 ? 0 : channel + 1) * bytesPerPixel / 4;
  }
  float Get(int32_t col, int32_t row, int channel) const {
    const uint8_t* p = const_cast<World*>(this)->At(col, row, channel);
    uint16_t half = 0;
    float f = 0.0f;
    std::memcpy(bits == 16 ? static_cast<void*>(&half) : &f, p, bits == 8 ? 0 : bits / 8);
    return bits == 8 ? *p : bits == 16 ? half : f;
  }
  void Set(int32_t col, int32_t row, int channel, float value) {
    const uint16_t half = static_cast<uint16_t>(value);
    if (bits == 8) *At(col, row, channel) = static_cast<uint8_t>(value);
    std::memcpy(At(col, row, channel), bits == 16 ? static_cast<const void*>(&half) : &value,
                bits == 16   ? 2
                : bits == 32 ? 4
                             : 0);
  }
  float FullScale() const { return bits == 8 ? 255.0f : bits == 16 ? 32768.0f : 1.0f; }

  SampleSource Source(Filter filter) const {
    SampleSource s{};
    s.pixels = bottomUp ? &bytes[static_cast<size_t>(height - 1) * -rowBytes] : bytes.data();
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
                  : six               ? Tables().lanczos3
                                      : Tables().mitchell;
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
  const int32_t stride = (width + 3) * w.bytesPerPixel;  // padded rows
  w.rowBytes = bottomUp ? -stride : stride;
  w.bottomUp = bottomUp;
  w.bytes.assign(static_cast<size_t>(stride) * (height - 1) + width * w.bytesPerPixel, 0);
  std::mt19937 random(seed);
  std::uniform_real_distribution<float> floats(-0.25f, 1.5f);
  std::uniform_int_distribution<int> ints(0, bits == 8 ? 255 : 32768);
  // Float worlds hold some -0.0 too, whose sign a lerp keeps or not by the fraction's.
  for (int32_t row = 0; row < height; ++row)
    for (int32_t col = 0; col < width; ++col)
      for (int c = 0; c < 4; ++c)
        w.Set(col, row, c,
              bits != 32           ? static_cast<float>(ints(random))
              : (col + c) % 5 == 0 ? -0.0f
                                   : floats(random));
  return w;
}

SamplerFamily FamilyOf(Filter filter) {
  return filter == kNearest    ? SamplerFamily::Nearest
         : filter == kBilinear ? SamplerFamily::Bilinear
                               : SamplerFamily::Kernel;
}

// The filters one position at a time in plain float arithmetic, in the promised operation
// orders; min and max as the vector instructions take them (the second operand on NaN).
float ClampTo(float v, float lo, float hi) {
  const float above = lo > v ? lo : v;
  return hi < above ? hi : above;
}
float InRange(float v, float lo, float hi) { return lo <= v && v <= hi ? 1.0f : 0.0f; }
float Floor(float v) {  // through int32, as the SSE2 path: never -0.0
  const float truncated = static_cast<float>(static_cast<int32_t>(v));
  return v < truncated ? truncated - 1.0f : truncated;
}

void Reference(const World& w, Filter filter, float x, float y, float result[4]) {
  x = x >= -268435456.0f && x <= 268435456.0f ? x : 268435456.0f;
  y = y >= -268435456.0f && y <= 268435456.0f ? y : 268435456.0f;
  const float w1 = static_cast<float>(w.width - 1), h1 = static_cast<float>(w.height - 1);
  auto pixel = [&](float col, float row, int c) {
    return w.Get(static_cast<int32_t>(ClampTo(col, 0.0f, w1)),
                 static_cast<int32_t>(ClampTo(row, 0.0f, h1)), c);
  };
  if (filter == kNearest) {
    const float xr = std::nearbyint(x), yr = std::nearbyint(y);
    const float m = InRange(xr, -1.0f, w1 + 1.0f) * InRange(yr, -1.0f, h1 + 1.0f);
    for (int c = 0; c < 4; ++c) result[c] = pixel(xr, yr, c) * m;
    return;
  }
  const float x0 = Floor(x), y0 = Floor(y);
  if (filter == kBilinear) {
    const float fx = x - x0, fy = y - y0, m = InRange(x0, 0.0f, w1) * InRange(y0, 0.0f, h1);
    for (int c = 0; c < 4; ++c) {
      const float top = (pixel(x0 + 1.0f, y0, c) - pixel(x0, y0, c)) * fx + pixel(x0, y0, c);
      const float bottom =
          (pixel(x0 + 1.0f, y0 + 1.0f, c) - pixel(x0, y0 + 1.0f, c)) * fx + pixel(x0, y0 + 1.0f, c);
      const float v = (bottom - top) * fy + top;
      result[c] = w.bits != 32 ? std::nearbyint(v * m) : v * m;
    }
    return;
  }
  const SampleSource s = w.Source(filter);
  const float phaseX = Floor((x - x0) * 64.0f), phaseY = Floor((y - y0) * 64.0f);
  // A phase of 64 never reads past the table.
  const float block =
      std::fmin(s.blockStride * 64.0f * phaseY + s.blockStride * phaseX, 4095.0f * s.blockStride);
  const float* weights = s.weights->blocks.get() + static_cast<int32_t>(block);
  float sum[4] = {0, 0, 0, 0}, weightSum = 0.0f;
  for (int ty = 0; ty < s.tapsY; ++ty) {
    const float row = y0 - static_cast<float>(s.tapOffsetY) + static_cast<float>(ty);
    for (int tx = 0; tx < s.tapsX; ++tx) {
      const float col = x0 - static_cast<float>(s.tapOffsetX) + static_cast<float>(tx);
      const float weight = *weights++ * InRange(col, 0.0f, w1) * InRange(row, 0.0f, h1);
      for (int c = 0; c < 4; ++c) sum[c] = weight * pixel(col, row, c) + sum[c];
      weightSum = weightSum + weight;
    }
  }
  const float r = 1.0f / (weightSum + (weightSum == 0.0f ? 1.0f : 0.0f));
  for (int c = 0; c < 4; ++c) {
    result[c] = ClampTo(w.bits != 32 ? std::nearbyint(r * sum[c]) : r * sum[c], 0.0f,
                        c == 3 ? s.alphaMax : s.colourMax);
  }
}

std::vector<uint8_t> Stored(const World& w, const float v[4]) {  // the pixel's bytes
  World pixel = MakeWorld(w.bits, 1, 1, 0);
  for (int c = 0; c < 4; ++c) pixel.Set(0, 0, c, w.bits == 32 ? v[c] : static_cast<int32_t>(v[c]));
  return pixel.bytes;
}

// Positions along an axis: borders, a hair below 0 (whose fraction rounds up to 1), the marker,
// huge, infinite, NaN and random ones; or, `inside`, ones whose floor and the pixel after lie
// inside.
std::vector<float> AxisPositions(int32_t size, std::mt19937& random, bool inside) {
  const float n = static_cast<float>(size), inf = std::numeric_limits<float>::infinity();
  std::vector<float> v = {-4.5f,
                          -2.5f,
                          -2.0f,
                          -1.5f,
                          -1.0f,
                          -0.5f,
                          -0.25f,
                          0.0f,
                          -0.0f,
                          n - 1.0f,
                          n - 0.5f,
                          n,
                          n + 0.5f,
                          n + 1.0f,
                          n + 1.5f,
                          n + 3.0f,
                          std::nextafter(0.0f, -1.0f),
                          -1e-7f,
                          std::nextafter(n - 1.0f, n),
                          std::nextafter(n, 0.0f),
                          1e7f,
                          -1e7f,
                          268435456.0f,
                          -268435456.0f,
                          3e8f,
                          -3e8f,
                          1e30f,
                          inf,
                          -inf,
                          kNaN};
  if (inside) v = {0.0f, std::nextafter(n - 1.0f, 0.0f), n - 1.5f};
  std::uniform_real_distribution<float> any(-5.0f, n + 5.0f), pair(0.0f, n - 1.0f);
  std::uniform_int_distribution<int> halves(-10, 2 * size + 10);
  for (int i = 0; i < 60; ++i) {
    v.push_back(inside ? std::fmin(pair(random), std::nextafter(n - 1.0f, 0.0f)) : any(random));
    if (!inside) v.push_back(static_cast<float>(halves(random)) * 0.5f);
  }
  return v;
}

// Every run length 0..64 at every filter and depth, a y packet as long or shorter: the SSE2
// body against the plain evaluation, every wider body against the SSE2 body's bytes, a body
// of another depth too; nothing written past the run, nothing allocated.
TEST(BatchedSamplers, EveryTargetWritesTheSse2BytesAndSse2ThePlainEvaluation) {
  struct WorldCase {
    int32_t bits, width, height;
    bool bottomUp;
  };
  const WorldCase worlds[] = {{8, 13, 7, false}, {16, 13, 7, false}, {32, 13, 7, false},
                              {8, 1, 1, false},  {16, 5, 9, true},   {32, 2, 3, true}};
  const std::vector<uint32_t> paths = AvailablePaths();
  uint32_t seed = 1;
  for (const WorldCase& wc : worlds) {
    const World world = MakeWorld(wc.bits, wc.width, wc.height, seed, wc.bottomUp);
    std::mt19937 random(seed++);
    const size_t runBytes = static_cast<size_t>(kPacketCapacity * world.bytesPerPixel);
    for (int32_t n = 0; n <= kPacketCapacity; ++n) {
      const std::vector<float> xs = AxisPositions(wc.width, random, n % 2 == 1);  // pairs read
      const std::vector<float> ys = AxisPositions(wc.height, random, n % 2 == 1);
      std::uniform_int_distribution<size_t> pickX(0, xs.size() - 1), pickY(0, ys.size() - 1);
      PointPacket positions;
      positions.x.count = n;
      positions.y.count = n % 5 == 4 ? n / 3 : n;
      for (int32_t k = 0; k < kPacketCapacity; ++k) {
        positions.x[k] = k < n ? xs[pickX(random)] : kNaN;  // NaN where wide vectors overrun
        positions.y[k] = k < n ? ys[pickY(random)] : kNaN;
      }
      for (Filter filter : kAllFilters) {
        const SampleSource source = world.Source(filter);
        std::vector<uint8_t> sse2;
        for (uint32_t path : paths) {
          for (int32_t depth : {wc.bits, wc.bits == 8 ? 32 : 8}) {
            if (depth != wc.bits && path != paths.back()) continue;
            std::vector<uint8_t> out(runBytes + 6 * world.bytesPerPixel, 0xAB);  // guard bytes
            const BatchedSampler sampler = SelectBatchedSampler(FamilyOf(filter), depth, path);
            const int64_t allocations = GlobalNewCalls();
            sampler(source, positions, out.data());
            ASSERT_EQ(GlobalNewCalls(), allocations);
            for (size_t b = static_cast<size_t>(n * world.bytesPerPixel); b < out.size(); ++b) {
              ASSERT_EQ(out[b], 0xAB) << kNames[filter] << " path " << path << " wrote past " << n;
            }
            if (!sse2.empty()) {
              ASSERT_EQ(out, sse2) << kNames[filter] << " " << wc.bits << "-bit path " << path
                                   << " body " << depth << " run of " << n;
              continue;
            }
            sse2 = out;
            for (int32_t k = 0; k < n; ++k) {
              // Past the y count a point is unmapped: the failed-mapping marker.
              const float y = k < positions.y.count ? positions.y[k] : 268435456.0f;
              float expected[4];
              Reference(world, filter, positions.x[k], y, expected);
              const std::vector<uint8_t> want = Stored(world, expected);
              ASSERT_EQ(std::memcmp(&out[k * world.bytesPerPixel], want.data(), want.size()), 0)
                  << kNames[filter] << " " << wc.bits << "-bit at (" << positions.x[k] << ", " << y
                  << ")";
            }
          }
        }
      }
    }
  }
}

// One position of `world` sampled with `filter`: the four channels in packet order.
std::vector<float> SampleOne(const World& world, Filter filter, float x, float y) {
  PointPacket positions;
  positions.x.count = positions.y.count = 1;
  positions.x[0] = x;
  positions.y[0] = y;
  World pixel = MakeWorld(world.bits, 1, 1, 0);
  SelectBatchedSampler(FamilyOf(filter), world.bits, CpuFeatures())(world.Source(filter), positions,
                                                                    pixel.bytes.data());
  return {pixel.Get(0, 0, 0), pixel.Get(0, 0, 1), pixel.Get(0, 0, 2), pixel.Get(0, 0, 3)};
}

// A step from 0 to full scale (float: 5): integers clip at both ends, float colour keeps its
// overshoot, alpha is held to 1; on a pixel centre Lanczos gives that pixel back.
TEST(BatchedSamplers, KernelsClipTheirLobesAndGiveCentresBack) {
  for (int32_t bits : {8, 16, 32}) {
    World step = MakeWorld(bits, 8, 1, 9);
    const float bright = bits == 32 ? 5.0f : step.FullScale();
    for (int32_t col = 0; col < 8; ++col)
      for (int c = 0; c < 4; ++c) step.Set(col, 0, c, col < 4 ? 0.0f : bright);
    for (Filter filter : {kLanczos2, kLanczos3}) {
      const std::vector<float> over = SampleOne(step, filter, 4.25f, 0.0f);
      EXPECT_EQ(over[3], bits == 32 ? 1.0f : bright) << kNames[filter];
      EXPECT_EQ(over[0] > bright, bits == 32) << kNames[filter];
      EXPECT_EQ(SampleOne(step, filter, 2.75f, 0.0f), std::vector<float>(4, 0.0f));
      const std::vector<float> centre = {bright, bright, bright, bits == 32 ? 1.0f : bright};
      EXPECT_EQ(SampleOne(step, filter, 5.0f, 0.0f), centre) << kNames[filter];
    }
  }
}

TEST(BatchedSamplers, SourcesWithoutPixelsOrFormatOrAFittingTable) {
  const World world = MakeWorld(8, 4, 4, 3);
  PointPacket positions;
  positions.x.count = positions.y.count = 5;
  for (int32_t k = 0; k < 64; ++k) positions.x[k] = positions.y[k] = 1.5f;
  const struct {
    const char* what;
    void (*spoil)(SampleSource&);
    int32_t pixelsWritten;  // as zeros
    bool kernelOnly;        // spoils a field only the kernel sampler reads
  } cases[] = {
      {"null pixels", [](SampleSource& s) { s.pixels = nullptr; }, 5, false},
      {"zero width", [](SampleSource& s) { s.width = 0; }, 5, false},
      {"negative height", [](SampleSource& s) { s.height = -3; }, 5, false},
      {"wider than floats count exactly", [](SampleSource& s) { s.width = (1 << 25) + 4; }, 5,
       false},
      {"rows beyond 32-bit offsets", [](SampleSource& s) { s.rowBytes = 1 << 30; }, 5, false},
      {"rows beyond 32-bit offsets, bottom up", [](SampleSource& s) { s.rowBytes = -(1 << 30); }, 5,
       false},
      {"no table", [](SampleSource& s) { s.weights = nullptr; }, 5, true},
      {"more taps than a block", [](SampleSource& s) { s.tapsX = 5; }, 5, true},
      {"another table's stride", [](SampleSource& s) { s.blockStride = 40.0f; }, 5, true},
      {"more phases than the table", [](SampleSource& s) { s.phases = 65.0f; }, 5, true},
      {"format mismatch", [](SampleSource& s) { s.bytesPerPixel = 16; }, 0, false},
      {"unknown depth", [](SampleSource& s) { s.bitsPerChannel = 12; }, 0, false},
  };
  for (const auto& c : cases) {
    for (Filter filter : {kNearest, kBilinear, kLanczos2}) {
      if (c.kernelOnly && filter != kLanczos2) continue;
      SampleSource source = world.Source(filter);
      c.spoil(source);
      std::vector<uint8_t> out(64 * 16, 0xAB);
      SelectBatchedSampler(FamilyOf(filter), 8, CpuFeatures())(source, positions, out.data());
      for (size_t b = 0; b < out.size(); ++b) {
        ASSERT_EQ(out[b], b < c.pixelsWritten * 4u ? 0 : 0xAB)
            << c.what << " " << kNames[filter] << " byte " << b;
      }
    }
  }
}

TEST(BatchedSamplers, ConcurrentRunsOnOneSourceGiveTheSingleThreadedResult) {
  const World world = MakeWorld(16, 64, 32, 21);
  std::mt19937 random(22);
  std::uniform_real_distribution<float> position(-4.0f, 68.0f);
  PointPacket runs[32];
  for (PointPacket& run : runs)
    for (int32_t k = 0; k < 64; ++k) run.x[k] = position(random), run.y[k] = position(random) / 2;
  for (Filter filter : {kNearest, kBilinear, kLanczos3}) {
    const BatchedSampler sampler = SelectBatchedSampler(FamilyOf(filter), 16, CpuFeatures());
    std::vector<std::vector<uint8_t>> outputs(5, std::vector<uint8_t>(32 * 64 * 8));
    auto sampleAll = [&](std::vector<uint8_t>& out, int repeats) {
      for (int repeat = 0; repeat < repeats; ++repeat)
        for (int r = 0; r < 32; ++r) sampler(world.Source(filter), runs[r], &out[r * 64 * 8]);
    };
    sampleAll(outputs[0], 1);
    std::vector<std::thread> threads;
    for (int t = 1; t < 5; ++t) threads.emplace_back(sampleAll, std::ref(outputs[t]), 20);
    for (std::thread& thread : threads) thread.join();
    for (int t = 1; t < 5; ++t) EXPECT_EQ(outputs[t], outputs[0]) << kNames[filter];
  }
}

}  // namespace
