#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <functional>
#include <limits>
#include <new>
#include <random>
#include <thread>

#include "CpuPaths.h"
#include "Resampling/FloatPacket.h"

namespace {

const float kNaN = std::numeric_limits<float>::quiet_NaN();

// SSE minimum and maximum: the second operand unless the first is strictly smaller (larger).
float MinSse(float a, float b) { return a < b ? a : b; }
float MaxSse(float a, float b) { return a > b ? a : b; }
float ClampSse(float lo, float v, float hi) { return MinSse(hi, MaxSse(lo, v)); }
float Mask(bool condition) { return condition ? 1.0f : 0.0f; }

// Values where roundings and floors differ: halves, whole numbers, near-integers, signed
// zeros, fractions of phases, and large magnitudes below 2^31 where both paths must agree.
std::vector<float> InterestingValues(std::mt19937& random) {
  std::vector<float> v = {0.0f, -0.0f, 0.5f, -0.5f, 1.5f, -1.5f, 2.5f, -2.5f, 3.5f,
                          0.49999997f, -0.49999997f, 1.0f, -1.0f, 3.999f, -1.25f,
                          1e-10f, -1e-10f, 8388607.5f, -8388607.5f, 8388608.0f, 16777217.0f,
                          268435456.0f, -268435456.0f, 2147483520.0f, -2147483520.0f,
                          0.999999940f, -0.999999940f, 63.99f, 1919.5f, 1080.25f};
  std::uniform_real_distribution<float> small(-100.0f, 2100.0f);
  std::uniform_int_distribution<int> whole(-3000, 3000);
  while (v.size() < 640) {
    v.push_back(small(random));
    v.push_back(static_cast<float>(whole(random)) * 0.5f);
    v.push_back(static_cast<float>(whole(random)) / 64.0f);
  }
  return v;
}

void Load(FloatPacket& p, const std::vector<float>& values, size_t first, int32_t count) {
  p.count = count;
  for (int32_t i = 0; i < 64; ++i) p[i] = values[(first + static_cast<size_t>(i)) % values.size()];
}

TEST(FloatPacket, ElementZeroIsAlignedWhereverTheRecordLiesAndCopiesKeepTheirOwnSlot) {
  alignas(64) unsigned char storage[sizeof(FloatPacket) + 64];
  for (size_t shift = 0; shift < 32; shift += 4) {
    FloatPacket* p = new (storage + shift) FloatPacket();
    EXPECT_EQ(p->count, 64);
    EXPECT_GE(p->firstSlot, 0);
    EXPECT_LE(p->firstSlot, 7);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(&(*p)[0]) % 32, 0u) << shift;
    EXPECT_LE(&(*p)[63], &p->slots[71]);
    p->count = 3;
    for (int32_t i = 0; i < 64; ++i) (*p)[i] = static_cast<float>(i);
    FloatPacket copy(*p);
    EXPECT_EQ(copy.count, 3);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(&copy[0]) % 32, 0u);
    for (int32_t i = 0; i < 3; ++i) EXPECT_EQ(copy[i], static_cast<float>(i));
    p->~FloatPacket();
  }
}

TEST(FloatPacket, SetRunCountGivesTheRestOfTheRowUpToSixtyFour) {
  struct Case {
    int32_t total, start, expected;
  };
  const Case cases[] = {{100, 64, 36}, {100, 0, 64}, {64, 0, 64}, {64, 64, 0}, {5, 0, 5},
                        {65, 64, 1},   {10, 20, 0},  {INT_MAX, INT_MIN, 64}, {INT_MIN, INT_MAX, 0}};
  for (const Case& c : cases) {
    PointPacket points;
    SetRunCount(points, c.total, c.start);
    EXPECT_EQ(points.x.count, c.expected) << c.total << " " << c.start;
    EXPECT_EQ(points.y.count, c.expected);
  }
}

TEST(FloatPacket, OperationsComputeWholeStepsOfEightAndNoMore) {
  for (int32_t count : {0, 1, 5, 8, 9, 63, 64, 200, -3}) {
    FloatPacket a, b;
    for (int32_t i = 0; i < 64; ++i) a[i] = b[i] = -7.0f;
    a.count = count;
    b.count = 64;
    Fill(a, 2.0f);
    AddInPlace(b, a);  // lowers b to a's count
    const int32_t computed = std::min(64, (std::max(count, 0) + 7) / 8 * 8);
    for (int32_t i = 0; i < 64; ++i) {
      EXPECT_EQ(a[i], i < computed ? 2.0f : -7.0f) << count << " " << i;
      EXPECT_EQ(b[i], i < computed ? -5.0f : -7.0f) << count << " " << i;
    }
    EXPECT_EQ(b.count, std::min(count, 64));
  }
}

TEST(FloatPacket, RampIsBuiltByAdditionsInBlocksOfEight) {
  for (float step : {1.0f, 0.1f, -3.0f}) {
    FloatPacket a;
    Ramp(a, 1000.0f, step);
    for (int32_t i = 0; i < 64; ++i) {
      // Written out: the block of eight starts from the first four, then step * 8 per block.
      const float first[4] = {1000.0f, 1000.0f + step, (step + step) + 1000.0f,
                              step * 3.0f + 1000.0f};
      float v = first[i % 4];
      if (i % 8 >= 4) v = v + step * 4.0f;
      for (int32_t block = 0; block < i / 8; ++block) v = v + step * 8.0f;
      EXPECT_EQ(Bits(a[i]), Bits(v)) << step << " " << i;
      if (step == 1.0f) {
        EXPECT_EQ(a[i], 1000.0f + static_cast<float>(i));
      }
    }
  }
}

// One operation with its element-wise expectation; `rounds` marks the two-path ones, whose
// zeros may lose their sign.
struct OperationCase {
  const char* name;
  std::function<void(FloatPacket& r, FloatPacket& r2, const FloatPacket& a, const FloatPacket& b,
                     const FloatPacket& c)>
      run;
  std::function<float(float a, float b, float c)> expected;
  std::function<float(float a, float b, float c)> expectedSecond;  // for two results
  bool rounds;
  int packetOperands;
};

const float s = 0.37f, t = -2.0f, lo = -20.0f, hi = 1500.0f;

std::vector<OperationCase> Operations() {
  using P = FloatPacket;
  return {
      {"SubtractScalarInPlace", [](P& r, P&, const P& a, const P&, const P&) { r = a; SubtractScalarInPlace(r, s); },
       [](float a, float, float) { return a - s; }, nullptr, false, 1},
      {"MultiplyInPlace", [](P& r, P&, const P& a, const P& b, const P&) { r = a; MultiplyInPlace(r, b); },
       [](float a, float b, float) { return a * b; }, nullptr, false, 2},
      {"Lerp", [](P& r, P&, const P& a, const P& b, const P& c) { Lerp(r, a, b, c); },
       [](float a, float b, float c) { return (b - a) * c + a; }, nullptr, false, 3},
      {"Clamp", [](P& r, P&, const P& a, const P&, const P&) { Clamp(r, lo, a, hi); },
       [](float a, float, float) { return ClampSse(lo, a, hi); }, nullptr, false, 1},
      {"ClampSum", [](P& r, P&, const P& a, const P&, const P&) { ClampSum(r, lo, a, s, hi); },
       [](float a, float, float) { return ClampSse(lo, a + s, hi); }, nullptr, false, 1},
      {"ClampSumWithMask", [](P& r, P& m, const P& a, const P&, const P&) { ClampSumWithMask(r, m, lo, a, s, hi); },
       [](float a, float, float) { return ClampSse(lo, a + s, hi); },
       [](float a, float, float) { return Mask(lo <= a + s && a + s <= hi); }, false, 1},
      {"RangeMask", [](P& r, P&, const P& a, const P&, const P&) { RangeMask(r, lo, a, hi); },
       [](float a, float, float) { return Mask(lo <= a && a <= hi); }, nullptr, false, 1},
      {"ReplaceOutsideRange", [](P& r, P&, const P& a, const P&, const P&) { ReplaceOutsideRange(r, lo, a, hi, s); },
       [](float a, float, float) { return lo <= a && a <= hi ? a : s; }, nullptr, false, 1},
      {"MultiplyAdd", [](P& r, P&, const P& a, const P& b, const P& c) { MultiplyAdd(r, a, b, c); },
       [](float a, float b, float c) { return a * b + c; }, nullptr, false, 3},
      {"LinearCombination", [](P& r, P&, const P& a, const P& b, const P&) { LinearCombination(r, s, a, t, b); },
       [](float a, float b, float) { return s * a + t * b; }, nullptr, false, 2},
      {"ClampProduct", [](P& r, P&, const P& a, const P& b, const P&) { ClampProduct(r, lo, a, b, hi); },
       [](float a, float b, float) { return ClampSse(lo, a * b, hi); }, nullptr, false, 2},
      {"TripleProduct", [](P& r, P&, const P& a, const P& b, const P& c) { TripleProduct(r, a, b, c); },
       [](float a, float b, float c) { return (a * b) * c; }, nullptr, false, 3},
      {"SafeReciprocal", [](P& r, P&, const P& a, const P&, const P&) { SafeReciprocal(r, a); },
       [](float a, float, float) { return 1.0f / (a + (a == 0.0f ? 1.0f : 0.0f)); }, nullptr, false, 1},
      {"RoundNearest", [](P& r, P&, const P& a, const P&, const P&) { RoundNearest(r, a); },
       [](float a, float, float) { return std::nearbyint(a); }, nullptr, true, 1},
      {"SplitFloor", [](P& r, P& w, const P& a, const P&, const P&) { SplitFloor(r, w, a); },
       [](float a, float, float) { return a - std::floor(a); },
       [](float a, float, float) { return std::floor(a); }, true, 1},
      {"SplitPhase", [](P& r, P& q, const P& a, const P&, const P&) { SplitPhase(r, q, a, 64.0f, t); },
       [](float a, float, float) { return std::floor((a - std::floor(a)) * 64.0f); },
       [](float a, float, float) { return std::floor(a) + t; }, true, 1},
      {"RoundProduct", [](P& r, P&, const P& a, const P& b, const P&) { RoundProduct(r, a, b); },
       [](float a, float b, float) { return std::nearbyint(a * b); }, nullptr, true, 2},
      {"ClampRoundProduct", [](P& r, P&, const P& a, const P& b, const P&) { ClampRoundProduct(r, lo, a, b, hi); },
       [](float a, float b, float) { return ClampSse(lo, std::nearbyint(a * b), hi); }, nullptr, true, 2},
  };
}

TEST(FloatPacket, EveryOperationMatchesItsElementwiseDefinitionOnEveryPath) {
  RestoreCpuFeatures restore;
  std::mt19937 random(7);
  const std::vector<float> values = InterestingValues(random);
  std::vector<float> factors;
  std::uniform_real_distribution<float> factor(-1.5f, 1.5f);
  for (int i = 0; i < 97; ++i) factors.push_back(factor(random));
  factors.push_back(0.0f);
  factors.push_back(1.0f);
  for (uint32_t path : AvailablePaths()) {
    OverrideCpuFeatures(path);
    for (const OperationCase& op : Operations()) {
      for (size_t first = 0; first < values.size(); first += 61) {
        FloatPacket a, b, c, r, r2;
        const int32_t counts[3] = {64, static_cast<int32_t>(first % 64) + 1, 40};
        Load(a, values, first, counts[0]);
        Load(b, factors, first, op.packetOperands > 1 ? counts[1] : 64);
        Load(c, values, first + 17, op.packetOperands > 2 ? counts[2] : 64);
        op.run(r, r2, a, b, c);
        int32_t expectedCount = a.count;
        if (op.packetOperands > 1) expectedCount = std::min(expectedCount, b.count);
        if (op.packetOperands > 2) expectedCount = std::min(expectedCount, c.count);
        ASSERT_EQ(r.count, expectedCount) << op.name;
        for (int32_t i = 0; i < r.count; ++i) {
          const float want = op.expected(a[i], b[i], c[i]);
          // The emulation's conversions saturate from 2^31 on: no agreement is promised there.
          if (op.rounds && path == 0 && !(std::fabs(want) < 2147483648.0f)) continue;
          const bool same = op.rounds ? SameUpToZeroSign(r[i], want) : Bits(r[i]) == Bits(want);
          ASSERT_TRUE(same) << op.name << " path " << path << " of " << a[i] << ", " << b[i]
                            << ", " << c[i] << ": " << r[i] << " expected " << want;
          if (op.expectedSecond) {
            const float second = op.expectedSecond(a[i], b[i], c[i]);
            ASSERT_TRUE(SameUpToZeroSign(r2[i], second)) << op.name << " second of " << a[i];
            ASSERT_EQ(r2.count, expectedCount);
          }
        }
      }
    }
  }
}

TEST(FloatPacket, NamedCasesOnBothPaths) {
  RestoreCpuFeatures restore;
  for (uint32_t path : AvailablePaths()) {
    OverrideCpuFeatures(path);
    FloatPacket a, r, r2;
    a.count = 6;
    const float in[6] = {2.5f, 3.5f, -1.25f, 0.0f, 4.0f, 3.999f};
    for (int32_t i = 0; i < 6; ++i) a[i] = in[i];
    RoundNearest(r, a);
    EXPECT_EQ(r[0], 2.0f);
    EXPECT_EQ(r[1], 4.0f);
    SplitFloor(r, r2, a);
    EXPECT_EQ(r2[2], -2.0f);
    EXPECT_EQ(r[2], 0.75f);
    SafeReciprocal(r, a);
    EXPECT_EQ(r[3], 1.0f);
    EXPECT_EQ(r[4], 0.25f);
    SplitPhase(r, r2, a, 64.0f, -1.0f);
    EXPECT_EQ(r[5], 63.0f);
    EXPECT_EQ(r2[5], 2.0f);
    a[0] = kNaN;
    Clamp(r, 0.0f, a, 9.0f);
    EXPECT_TRUE(std::isnan(r[0]));
    RangeMask(r, 0.0f, a, 9.0f);
    EXPECT_EQ(Bits(r[0]), Bits(0.0f));
    ReplaceOutsideRange(r, 0.0f, a, 9.0f, 268435456.0f);
    EXPECT_EQ(r[0], 268435456.0f);
  }
}

TEST(FloatPacket, GatherReadsExactlyCountEntriesAndPixelOffsetsWrapIn32Bits) {
  RestoreCpuFeatures restore;
  for (uint32_t path : AvailablePaths()) {
    OverrideCpuFeatures(path);
    for (int32_t count : {1, 3, 4, 5, 8, 13, 64}) {
      // A table exactly as long as the indices need: ASan reports any read past it.
      std::vector<float> table(static_cast<size_t>(count));
      FloatPacket index, r;
      index.count = count;
      for (int32_t i = 0; i < count; ++i) {
        table[static_cast<size_t>(i)] = static_cast<float>(i) * 10.0f;
        index[i] = static_cast<float>(count - 1 - i) + 0.75f;  // truncates toward zero
      }
      Gather(r, table.data(), index);
      ASSERT_EQ(r.count, count);
      for (int32_t i = 0; i < count; ++i) EXPECT_EQ(r[i], static_cast<float>(count - 1 - i) * 10.0f);
    }
    PointPacket points;
    points.x.count = 3;
    const float xs[3] = {2.9f, -1.5f, 70000.0f}, ys[3] = {1.0f, 0.0f, 70000.0f};
    for (int32_t i = 0; i < 3; ++i) {
      points.x[i] = xs[i];
      points.y[i] = ys[i];
    }
    int32_t offsets[64];
    PixelOffsets(offsets, points, 100, 4);
    EXPECT_EQ(offsets[0], 2 * 4 + 100);
    EXPECT_EQ(offsets[1], -4);
    EXPECT_EQ(offsets[2], static_cast<int32_t>(70000u * 4u + 70000u * 100u));  // wrapped
    std::mt19937 random(3);
    std::uniform_int_distribution<int32_t> column(0, 7679), row(0, 4319);
    points.x.count = 61;
    for (int32_t i = 0; i < 61; ++i) {
      points.x[i] = static_cast<float>(column(random));
      points.y[i] = static_cast<float>(row(random)) + 0.5f;
    }
    PixelOffsets(offsets, points, 7680 * 16 + 64, 16);
    for (int32_t i = 0; i < 61; ++i) {
      EXPECT_EQ(offsets[i], static_cast<int32_t>(points.x[i]) * 16 +
                                static_cast<int32_t>(points.y[i]) * (7680 * 16 + 64));
    }
  }
}

TEST(CpuFeatures, OverrideNeverClaimsAFeatureTheProcessorLacksAndDetectionKeepsIt) {
  RestoreCpuFeatures restore;
  EXPECT_EQ(OverrideCpuFeatures(0), 0u);
  DetectCpuFeatures();  // already detected: must not bring SSE4.1 back
  EXPECT_EQ(CpuFeatures(), 0u);
  EXPECT_EQ(OverrideCpuFeatures(0xFFFFFFFFu), QueryCpuFeatures());
  EXPECT_EQ(CpuFeatures(), QueryCpuFeatures());
  // Concurrent detections store the same word.
  std::vector<std::thread> threads;
  for (int i = 0; i < 4; ++i) threads.emplace_back([] { DetectCpuFeatures(); });
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(CpuFeatures(), QueryCpuFeatures());
}

}  // namespace
