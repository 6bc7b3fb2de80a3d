#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <random>
#include <thread>
#include <vector>

#include "HostSine.h"
#include "Resampling/BatchedSamplers.h"
#include "Resampling/CpuFeatures.h"
#include "Resampling/FilterKernelTables.h"
#include "support/CountingNew.h"
#include "support/GoldenValues.h"

namespace {

enum Filter { kNearest, kBilinear, kLanczos2, kLanczos3, kMitchell };
const char* const kNames[] = {"Nearest", "BiLinear", "Lanczos-2", "Lanczos-3", "Mitchell"};
constexpr Filter kAllFilters[] = {kNearest, kBilinear, kLanczos2, kLanczos3, kMitchell};
const float kNaN = std::numeric_limits<float>::quiet_NaN();

const FilterKernelTables& Tables() {
  static FilterKernelTables tables = [] {
    FilterKernelTables built = {nullptr, nullptr, nullptr, 0};
    BuildFilterKernelTableSet(built, harness::HostSine);
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
    uint8_t* p = At(col, row, channel);
    const uint16_t half = bits == 16 ? static_cast<uint16_t>(value) : 0;
    if (bits == 8) *p = static_cast<uint8_t>(value);
    if (bits != 8) std::memcpy(p, bits == 16 ? static_cast<const void*>(&half) : &value, bits / 8);
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

// Positions along an axis: borders, a hair below 0 (whose fraction rounds up to 1), the marker,
// huge, infinite, NaN and random ones; or, `inside`, ones whose floor and the pixel after lie
// inside.
std::vector<float> AxisPositions(int32_t size, std::mt19937& random, bool inside) {
  const float n = static_cast<float>(size), inf = std::numeric_limits<float>::infinity();
  std::vector<float> v = {-4.5f,    -2.5f,        -2.0f,         -1.5f,    -1.0f,    -0.5f,
                          -0.25f,   0.0f,         -0.0f,         n - 1.0f, n - 0.5f, n,
                          n + 0.5f, n + 1.0f,     n + 1.5f,      n + 3.0f, -1e-7f,   1e7f,
                          -1e7f,    268435456.0f, -268435456.0f, 3e8f,     -3e8f,    1e30f,
                          inf,      -inf,         kNaN};
  v.insert(v.end(),
           {std::nextafter(0.0f, -1.0f), std::nextafter(n - 1.0f, n), std::nextafter(n, 0.0f)});
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
// body's bytes of each world and filter against their golden fingerprint (any change to a
// rounding, a clamp or the order of a sum shows), every wider body and a body of another
// depth against the SSE2 body's bytes; nothing written past the run, nothing allocated.
TEST(BatchedSamplers, EveryTargetWritesTheGoldenSse2Bytes) {
  const struct {
    int32_t bits, width, height;
    bool bottomUp;
  } worlds[] = {{8, 13, 7, false}, {16, 13, 7, false}, {32, 13, 7, false},
                {8, 1, 1, false},  {16, 5, 9, true},   {32, 2, 3, true}};
  // The five filters of each world in turn.
  const uint64_t golden[] = {
      0xc2b1f7f95939dc4bull, 0xfc43d9a9f4018ddaull, 0x1abdca911dbcd015ull, 0xb8e958b28ce6602bull,
      0x5121979d962517abull, 0x5ab6b5980e9aa214ull, 0xc7b0634303947937ull, 0xf16eb42ab85f240ull,
      0xa7837a73e8336010ull, 0x49183b34ab404439ull, 0xa351ed9e6fde670ull,  0x2139e18ecb414219ull,
      0xfd86adc521759ecull,  0xd113ff00ba39dedbull, 0x5f871808fdb88774ull, 0x2c7c42ce8da0b56dull,
      0xc0ec42bd042469b1ull, 0x27723d9c4aaa2d2ull,  0xe8fa2e0360fbea71ull, 0x27723d9c4aaa2d2ull,
      0x5a634b62245b7049ull, 0xb49aca3f30736b07ull, 0xd5cf2d4d6ae4e3edull, 0x6f98d6c7cb77d510ull,
      0xde2ef3646b56144full, 0xce4649fefc9e3cabull, 0xfcaf267e349b2511ull, 0xbab86251fc3e2b2aull,
      0xd1d9d3484d876da1ull, 0x6268ae8df90d285eull};
  const std::vector<uint32_t> paths = AvailablePaths();
  uint32_t seed = 1;
  for (const auto& wc : worlds) {
    const World world = MakeWorld(wc.bits, wc.width, wc.height, seed, wc.bottomUp);
    std::mt19937 random(seed++);
    const size_t runBytes = static_cast<size_t>(kPacketCapacity * world.bytesPerPixel);
    uint64_t hashes[5] = {Fnv1a(nullptr, 0), Fnv1a(nullptr, 0), Fnv1a(nullptr, 0),
                          Fnv1a(nullptr, 0), Fnv1a(nullptr, 0)};
    for (int32_t n = 0; n <= kPacketCapacity; ++n) {
      const std::vector<float> xs = AxisPositions(wc.width, random, n % 2 == 1);  // pairs read
      const std::vector<float> ys = AxisPositions(wc.height, random, n % 2 == 1);
      std::uniform_int_distribution<size_t> pickX(0, xs.size() - 1), pickY(0, ys.size() - 1);
      PointPacket positions;
      positions.x.count = n;
      positions.y.count = n % 5 == 4 ? n / 3 : n;  // past the y count: the unmapped marker
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
            if (sse2.empty()) {
              sse2 = out;
              hashes[filter] = Fnv1a(out.data(), n * world.bytesPerPixel, hashes[filter]);
            }
            ASSERT_EQ(out, sse2) << kNames[filter] << " " << wc.bits << "-bit path " << path
                                 << " body " << depth << " run of " << n;
          }
        }
      }
    }
    for (Filter filter : kAllFilters) {
      EXPECT_EQ(hashes[filter], golden[(&wc - worlds) * 5 + filter])
          << std::hex << "0x" << hashes[filter] << "ull: " << std::dec << kNames[filter] << " "
          << wc.bits << "-bit " << wc.width << "x" << wc.height;
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
