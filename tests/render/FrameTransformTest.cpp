// Frame transforms and the integer conversions around them: exact values where every step is
// exact or rounds where stated, and decided results for values that have no int32.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "Host/FrameTransform.h"

namespace {

constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

using Field = double (FrameTransform::*)[2];
constexpr Field kNS = &FrameTransform::toNormScale, kNO = &FrameTransform::toNormOffset;
constexpr Field kPS = &FrameTransform::toPixelScale, kPO = &FrameTransform::toPixelOffset;

struct Frames {
  int32_t mode, undistorted[2], distorted[2];
  double centre[2];
};

// Powers of two keep every scale exact, so only the stated roundings show; 2000 x 1126
// shows the single-precision ones (2 / 2000 stored as a float).
TEST(FrameTransforms, ExactValues) {
  const Frames remove{1, {1024, 512}, {768, 256}, {400.25, 300.75}};
  const Frames apply{2, {1024, 512}, {768, 256}, {384.0, 128.0}};
  const Frames odd{1, {2000, 1126}, {1920, 1080}, {960.3, 540.7}};
  struct Case {
    const Frames* frames;
    bool undistorted;
    Field field;
    int axis;
    double expected;
  };
  // clang-format off
  const Case cases[] = {
      {&remove, true, kNS, 0, 0.001953125}, {&remove, true, kNO, 0, -0.75 + 0.0009765625},
      {&remove, true, kPS, 0, 512.0}, {&remove, true, kPO, 0, 383.5},
      {&remove, true, kNO, 1, -0.5 + 0.001953125}, {&remove, false, kPS, 0, 512.0},
      {&remove, false, kPO, 0, 399.75}, {&remove, false, kPS, 1, 256.0},
      {&remove, false, kPO, 1, 300.25}, {&remove, false, kNS, 0, 1.0 / 512.0},
      {&remove, false, kNO, 0, -399.75 / 512.0}, {&apply, false, kNS, 0, 0.001953125},
      {&apply, false, kNO, 0, -1.0 + 0.0009765625}, {&apply, false, kPS, 0, 512.0},
      {&apply, false, kPO, 0, 511.5}, {&apply, true, kPS, 0, 512.0}, {&apply, true, kPO, 0, 511.5},
      {&apply, true, kPS, 1, 256.0}, {&apply, true, kPO, 1, 255.5},
      {&odd, true, kNS, 0, 0x1.0624dep-10}, {&odd, true, kNO, 0, -0x1.eb4394c88p-1},
      {&odd, true, kNS, 1, 0x1.d19eb2p-10}, {&odd, true, kNO, 1, -0x1.eaa0f8538p-1},
      {&odd, false, kPS, 0, 0x1.f4p+9}, {&odd, false, kPO, 0, 0x1.dfe666p+9},
      {&odd, false, kPO, 1, 0x1.0e199ap+9}, {&odd, false, kNS, 1, 0x1.d19eb155f08a4p-10}};
  // clang-format on
  for (const Case& c : cases) {
    FrameTransform u, d;
    SetUpFrameTransforms(c.frames->mode, c.frames->undistorted, c.frames->distorted,
                         c.frames->centre, u, d);
    EXPECT_EQ(((c.undistorted ? u : d).*c.field)[c.axis], c.expected) << "case " << (&c - cases);
  }
}

TEST(FrameTransforms, CompleteInvertsEitherHalf) {
  FrameTransform n{{0.25, 0.5}, {-1.0, 2.0}, {0, 0}, {0, 0}}, p{{0, 0}, {0, 0}, {2.0, 0}, {3.0, 0}};
  CompleteFrameTransform(false, n);
  CompleteFrameTransform(true, p);
  const std::pair<double, double> cases[] = {
      {n.toNormOffset[0], -0.875}, {n.toPixelScale[0], 4.0},   {n.toPixelOffset[0], 3.5},
      {n.toNormOffset[1], 2.25},   {n.toPixelOffset[1], -4.5}, {p.toPixelOffset[0], 2.5},
      {p.toNormScale[0], 0.5},     {p.toNormOffset[0], -1.25}};
  for (size_t i = 0; i < std::size(cases); ++i) EXPECT_EQ(cases[i].first, cases[i].second) << i;
}

// Sizes go through single precision, then to nearest even (1.4999999999 is 1.5f, 2^24 + 1 has
// no float, 2^31 - 1 becomes 2^31); positions truncate; both saturate, NaN is 0.
TEST(FrameTransforms, IntegerConversionsRoundAndSaturate) {
  // clang-format off
  const std::pair<double, int32_t> rounded[] = {
      {1920.0, 1920}, {2.5, 2}, {3.5, 4}, {-2.5, -2}, {-0.4, 0}, {1.4999999999, 2},
      {16777217.0, 16777216}, {2147483520.0, 2147483520}, {2147483647.0, kMax},
      {-2147483648.0, kMin}, {-3.0e9, kMin}, {1.0e300, kMax}, {-1.0e300, kMin}, {kInf, kMax},
      {-kInf, kMin}, {kNaN, 0}};
  const std::pair<double, int32_t> truncated[] = {
      {-40.5, -40}, {2000.9999, 2000}, {-0.9, 0}, {2147483647.9, kMax}, {2147483648.0, kMax},
      {-2147483648.9, kMin}, {-2147483649.0, kMin}, {kInf, kMax}, {-kInf, kMin}, {kNaN, 0}};
  // clang-format on
  for (const auto& [value, expected] : rounded) {
    EXPECT_EQ(RoundSizeToInt32(value), expected) << value;
  }
  for (const auto& [value, expected] : truncated) {
    EXPECT_EQ(TruncateToInt32(value), expected) << value;
  }
}

// Whatever the user types, frames and extent come out without undefined behaviour (the
// sanitizer pass checks), with the decided results where the centre is not a number or huge.
TEST(OutputExtent, DegenerateSizesAndCentres) {
  const int32_t zero[2] = {0, 0}, negative[2] = {-1920, -1080}, extreme[2] = {kMax, kMin};
  const int32_t normal[2] = {1920, 1080};
  const double middle[2] = {960.0, 540.0};
  FrameTransform u, d;
  for (int32_t mode = 0; mode <= 4; ++mode) {
    const int32_t* pairs[][2] = {
        {zero, zero}, {negative, normal}, {extreme, normal}, {normal, extreme}};
    for (const auto& p : pairs) {
      SetUpFrameTransforms(mode, p[0], p[1], middle, u, d);
      DistortedExtent(d);
    }
  }
  struct Case {
    double centre[2];
    PF_LRect expected;
  };
  const Case cases[] = {{{kNaN, kNaN}, {0, 0, 0, 0}},
                        {{1.0e12, -1.0e12}, {kMax, kMin, kMax, kMin}}};
  for (const Case& c : cases) {
    SetUpFrameTransforms(1, normal, normal, c.centre, u, d);
    const PF_LRect r = DistortedExtent(d), e = c.expected;
    EXPECT_TRUE(r.left == e.left && r.top == e.top && r.right == e.right && r.bottom == e.bottom);
  }
}

}  // namespace
