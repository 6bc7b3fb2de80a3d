// Frame transforms, output extent and the integer conversions around them.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>

#include "Host/FrameTransform.h"

namespace {

constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

struct ExtentCase {
  int32_t mode;
  PF_LRect expected;
};

// A 1920 x 1080 layer, distorted size 1920 x 1080, undistorted 2000 x 1126, centre in the
// middle of the layer.
TEST(OutputExtent, FollowsTheDistortedFrameInEveryMode) {
  const ExtentCase cases[] = {
      {1, {-40, -23, 1961, 1104}},
      {3, {0, 0, 1921, 1081}},
      // 1 / f(2 / 2000) lies just below 1000, so right and bottom do not reach 2001/1127.
      {2, {0, 0, 2000, 1126}},
  };
  const int32_t undistorted[2] = {2000, 1126};
  const int32_t distorted[2] = {1920, 1080};
  const double centre[2] = {960.0, 540.0};
  for (const ExtentCase& c : cases) {
    FrameTransform u, d;
    SetUpFrameTransforms(c.mode, undistorted, distorted, centre, u, d);
    const PF_LRect r = DistortedExtent(d);
    EXPECT_EQ(r.left, c.expected.left) << "mode " << c.mode;
    EXPECT_EQ(r.top, c.expected.top) << "mode " << c.mode;
    EXPECT_EQ(r.right, c.expected.right) << "mode " << c.mode;
    EXPECT_EQ(r.bottom, c.expected.bottom) << "mode " << c.mode;
  }
}

void ExpectSameFrame(const FrameTransform& a, const FrameTransform& b) {
  for (int axis = 0; axis < 2; ++axis) {
    EXPECT_EQ(a.toNormScale[axis], b.toNormScale[axis]);
    EXPECT_EQ(a.toNormOffset[axis], b.toNormOffset[axis]);
    EXPECT_EQ(a.toPixelScale[axis], b.toPixelScale[axis]);
    EXPECT_EQ(a.toPixelOffset[axis], b.toPixelOffset[axis]);
  }
}

TEST(FrameTransforms, BothRemoveModesAgreeWhenSizesMatchAndTheCentreIsInTheMiddle) {
  const int32_t size[2] = {1920, 1080};
  const double centre[2] = {960.0, 540.0};
  FrameTransform u2, d2, u1, d1;
  SetUpFrameTransforms(1, size, size, centre, u2, d2);
  SetUpFrameTransforms(3, size, size, centre, u1, d1);
  ExpectSameFrame(u2, u1);
  ExpectSameFrame(d2, d1);
}

// Exact values worked out by hand with sizes that are powers of two, so that every scale
// is exact and only the stated roundings matter.
TEST(FrameTransforms, RemoveWf2WorkedExample) {
  const int32_t undistorted[2] = {1024, 512};
  const int32_t distorted[2] = {768, 256};
  const double centre[2] = {400.25, 300.75};
  FrameTransform u, d;
  SetUpFrameTransforms(1, undistorted, distorted, centre, u, d);
  // Output pixel p: (2 / 1024) p + (-768 / 1024) + 0.5 (2 / 1024).
  EXPECT_EQ(u.toNormScale[0], 0.001953125);
  EXPECT_EQ(u.toNormOffset[0], -0.75 + 0.0009765625);
  EXPECT_EQ(u.toPixelScale[0], 512.0);
  EXPECT_EQ(u.toPixelOffset[0], 383.5);
  EXPECT_EQ(u.toNormOffset[1], -0.5 + 0.001953125);
  // Input: n * 1024 / 2 + centre - 0.5, measured in undistorted units.
  EXPECT_EQ(d.toPixelScale[0], 512.0);
  EXPECT_EQ(d.toPixelOffset[0], 399.75);
  EXPECT_EQ(d.toPixelScale[1], 256.0);
  EXPECT_EQ(d.toPixelOffset[1], 300.25);
  EXPECT_EQ(d.toNormScale[0], 1.0 / 512.0);
  EXPECT_EQ(d.toNormOffset[0], -399.75 / 512.0);
}

TEST(FrameTransforms, ApplyWf2WorkedExample) {
  const int32_t undistorted[2] = {1024, 512};
  const int32_t distorted[2] = {768, 256};
  const double centre[2] = {384.0, 128.0};
  FrameTransform u, d;
  SetUpFrameTransforms(2, undistorted, distorted, centre, u, d);
  // (-2 / 1024) (384 + 0.5 (1024 - 768)) = -1, then half a pixel on.
  EXPECT_EQ(d.toNormScale[0], 0.001953125);
  EXPECT_EQ(d.toNormOffset[0], -1.0 + 0.0009765625);
  EXPECT_EQ(d.toPixelScale[0], 512.0);
  EXPECT_EQ(d.toPixelOffset[0], 511.5);
  EXPECT_EQ(u.toPixelScale[0], 512.0);
  EXPECT_EQ(u.toPixelOffset[0], 511.5);
  EXPECT_EQ(u.toPixelScale[1], 256.0);
  EXPECT_EQ(u.toPixelOffset[1], 255.5);
}

// Sizes that are not powers of two: the single-precision roundings must be the stated ones.
TEST(FrameTransforms, RoundsThroughSinglePrecisionWhereStated) {
  const int32_t undistorted[2] = {2000, 1126};
  const int32_t distorted[2] = {1920, 1080};
  const double centre[2] = {960.3, 540.7};
  FrameTransform u, d;
  SetUpFrameTransforms(1, undistorted, distorted, centre, u, d);
  const double scale = static_cast<double>(static_cast<float>(2.0 / 2000.0));
  EXPECT_EQ(u.toNormScale[0], scale);
  EXPECT_NE(u.toNormScale[0], 2.0 / 2000.0);
  const double offset = static_cast<double>(-1920.0f / 2000.0f);
  EXPECT_EQ(u.toNormOffset[0], offset + 0.5 * scale);
  EXPECT_EQ(d.toPixelOffset[0], static_cast<double>(960.3f) - 0.5);
}

TEST(CompleteFrameTransform, InvertsEitherHalf) {
  FrameTransform fromNorm{};
  fromNorm.toNormScale[0] = 0.25;
  fromNorm.toNormOffset[0] = -1.0;
  fromNorm.toNormScale[1] = 0.5;
  fromNorm.toNormOffset[1] = 2.0;
  CompleteFrameTransform(false, fromNorm);
  EXPECT_EQ(fromNorm.toNormOffset[0], -0.875);
  EXPECT_EQ(fromNorm.toPixelScale[0], 4.0);
  EXPECT_EQ(fromNorm.toPixelOffset[0], 3.5);
  EXPECT_EQ(fromNorm.toNormOffset[1], 2.25);
  EXPECT_EQ(fromNorm.toPixelOffset[1], -4.5);

  FrameTransform fromPixel{};
  fromPixel.toPixelScale[0] = 2.0;
  fromPixel.toPixelOffset[0] = 3.0;
  CompleteFrameTransform(true, fromPixel);
  EXPECT_EQ(fromPixel.toPixelOffset[0], 2.5);
  EXPECT_EQ(fromPixel.toNormScale[0], 0.5);
  EXPECT_EQ(fromPixel.toNormOffset[0], -1.25);
}

struct ConversionCase {
  double value;
  int32_t expected;
};

TEST(RoundSizeToInt32, RoundsToSingleThenToNearestEven) {
  const ConversionCase cases[] = {
      {1920.0, 1920},
      {2.5, 2},
      {3.5, 4},
      {-2.5, -2},
      {-0.4, 0},
      {1.4999999999, 2},        // rounds to 1.5f first, then to even
      {16777217.0, 16777216},   // 2^24 + 1 has no float
      {2147483520.0, 2147483520},  // the largest float below 2^31
      {2147483647.0, kMax},     // becomes 2^31 in single precision
      {-2147483648.0, kMin},
      {-3.0e9, kMin},
      {1.0e300, kMax},          // infinity in single precision
      {-1.0e300, kMin},
      {kInf, kMax},
      {-kInf, kMin},
      {kNaN, 0},
  };
  for (const ConversionCase& c : cases) {
    EXPECT_EQ(RoundSizeToInt32(c.value), c.expected) << c.value;
  }
}

TEST(TruncateToInt32, TruncatesAndSaturates) {
  const ConversionCase cases[] = {
      {-40.5, -40},
      {2000.9999, 2000},
      {-0.9, 0},
      {2147483647.9, kMax},
      {2147483648.0, kMax},
      {-2147483648.9, kMin},
      {-2147483649.0, kMin},
      {kInf, kMax},
      {-kInf, kMin},
      {kNaN, 0},
  };
  for (const ConversionCase& c : cases) {
    EXPECT_EQ(TruncateToInt32(c.value), c.expected) << c.value;
  }
}

// Whatever the user types, the frames and the extent are computed without undefined
// behaviour (the sanitizer pass checks), and the decided results come out.
TEST(OutputExtent, DegenerateSizesAndCentres) {
  const int32_t zero[2] = {0, 0};
  const int32_t negative[2] = {-1920, -1080};
  const int32_t extreme[2] = {kMax, kMin};
  const int32_t normal[2] = {1920, 1080};
  const double middle[2] = {960.0, 540.0};
  const double nanCentre[2] = {kNaN, kNaN};
  const double hugeCentre[2] = {1.0e12, -1.0e12};
  FrameTransform u, d;
  for (int32_t mode = 0; mode <= 4; ++mode) {
    SetUpFrameTransforms(mode, zero, zero, middle, u, d);
    DistortedExtent(d);
    SetUpFrameTransforms(mode, negative, normal, middle, u, d);
    DistortedExtent(d);
    SetUpFrameTransforms(mode, extreme, normal, middle, u, d);
    DistortedExtent(d);
    SetUpFrameTransforms(mode, normal, extreme, middle, u, d);
    DistortedExtent(d);
  }
  SetUpFrameTransforms(1, normal, normal, nanCentre, u, d);
  const PF_LRect nanRect = DistortedExtent(d);
  EXPECT_EQ(nanRect.left, 0);
  EXPECT_EQ(nanRect.right, 0);
  SetUpFrameTransforms(1, normal, normal, hugeCentre, u, d);
  const PF_LRect hugeRect = DistortedExtent(d);
  EXPECT_EQ(hugeRect.left, kMax);
  EXPECT_EQ(hugeRect.right, kMax);
  EXPECT_EQ(hugeRect.top, kMin);
  EXPECT_EQ(hugeRect.bottom, kMin);
}

}  // namespace
