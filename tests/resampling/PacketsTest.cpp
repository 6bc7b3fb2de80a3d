#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <thread>
#include <vector>

#include "Resampling/CpuFeatures.h"
#include "Resampling/FloatPacket.h"

namespace {

TEST(FloatPacket, SetRunCountGivesTheRestOfTheRowUpToSixtyFour) {
  const int32_t cases[][3] = {{100, 64, 36},        {100, 0, 64}, {64, 64, 0},
                              {65, 64, 1},          {10, 20, 0},  {INT_MAX, INT_MIN, 64},
                              {INT_MIN, INT_MAX, 0}};
  for (const auto& c : cases) {
    PointPacket points;
    SetRunCount(points, c[0], c[1]);
    EXPECT_EQ(points.x.count, c[2]) << c[0] << " " << c[1];
    EXPECT_EQ(points.y.count, c[2]);
  }
}

TEST(FloatPacket, OperationsComputeWholeStepsOfEightAndNoMore) {
  for (int32_t count : {0, 1, 5, 8, 9, 63, 64, 200, -3}) {
    FloatPacket a, b;
    for (int32_t i = 0; i < 64; ++i) a[i] = b[i] = -7.0f;
    a.count = b.count = count;
    Fill(a, 2.0f);
    SubtractScalarInPlace(b, 0.5f);
    const int32_t computed = std::min(64, (std::max(count, 0) + 7) / 8 * 8);
    for (int32_t i = 0; i < 64; ++i) {
      EXPECT_EQ(a[i], i < computed ? 2.0f : -7.0f) << count << " " << i;
      EXPECT_EQ(b[i], i < computed ? -7.5f : -7.0f) << count << " " << i;
    }
  }
}

// Whole steps stay whole; a step of 0.1 shows the additions in blocks of eight, whose
// roundings differ from start + i * step.
TEST(FloatPacket, RampIsBuiltByAdditionsInBlocksOfEight) {
  FloatPacket a, b;
  Ramp(a, 1000.0f, 0.1f);
  Ramp(b, -7.0f, 1.0f);
  const struct {
    int32_t i;
    float value;
  } golden[] = {{1, 1000.09998f}, {2, 1000.20001f}, {3, 1000.29999f}, {4, 1000.40002f},
                {7, 1000.70001f}, {8, 1000.79999f}, {63, 1006.29993f}};
  for (const auto& g : golden) EXPECT_EQ(a[g.i], g.value) << g.i;
  for (int32_t i = 0; i < 64; ++i) EXPECT_EQ(b[i], static_cast<float>(i - 7));
}

TEST(CpuFeatures, OverrideNeverClaimsAFeatureTheProcessorLacksAndDetectionKeepsIt) {
  EXPECT_EQ(OverrideCpuFeatures(0), 0u);
  DetectCpuFeatures();  // already detected: must not bring the wider paths back
  EXPECT_EQ(CpuFeatures(), 0u);
  EXPECT_EQ(OverrideCpuFeatures(0xFFFFFFFFu), QueryCpuFeatures());
  // Concurrent detections store the same word.
  std::vector<std::thread> threads;
  for (int i = 0; i < 4; ++i) threads.emplace_back([] { DetectCpuFeatures(); });
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(CpuFeatures(), QueryCpuFeatures());
}

}  // namespace
