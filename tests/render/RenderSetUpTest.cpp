// From parameter values to frame transforms, lens inputs and a set-up context, without a host:
// exact values where every step is exact or rounds where stated, decided results for values
// that have no int32.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <vector>

#include "Host/FrameTransform.h"
#include "Host/ParamIndices.h"
#include "Host/RenderContext.h"
#include "Host/RenderSetUp.h"
#include "support/FailingArrayNew.h"

namespace {

constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

// Every field of both frames, undistorted then distorted, each field x then y (half of them
// completed from the other half). Powers of two
// keep the scales exact, so only the stated roundings show; 2000 x 1126 shows the
// single-precision ones (2 / 2000 stored as a float).
TEST(FrameTransforms, ExactValues) {
  struct Case {
    int32_t mode, undistorted[2], distorted[2];
    double centre[2], fields[2][8];
  };
  // clang-format off
  const Case cases[] = {
      {1, {1024, 512}, {768, 256}, {400.25, 300.75},
       {{0x1p-9, 0x1p-8, -0x1.7f8p-1, -0x1.fep-2, 0x1p+9, 0x1p+8, 0x1.7f8p+8, 0x1.fep+6},
        {0x1p-9, 0x1p-8, -0x1.8fcp-1, -0x1.2c4p+0, 0x1p+9, 0x1p+8, 0x1.8fcp+8, 0x1.2c4p+8}}},
      {2, {1024, 512}, {768, 256}, {384.0, 128.0},
       {{0x1p-9, 0x1p-8, -0x1.ff8p-1, -0x1.ffp-1, 0x1p+9, 0x1p+8, 0x1.ff8p+8, 0x1.ffp+7},
        {0x1p-9, 0x1p-8, -0x1.ff8p-1, -0x1.ffp-1, 0x1p+9, 0x1p+8, 0x1.ff8p+8, 0x1.ffp+7}}},
      {3, {1024, 512}, {768, 256}, {400.25, 300.75},
       {{0x1p-9, 0x1p-8, -0x1.ff8p-1, -0x1.ffp-1, 0x1p+9, 0x1p+8, 0x1.ff8p+8, 0x1.ffp+7},
        {0x1.5555555555555p-9, 0x1p-7, -0x1.0a8p+0, -0x1.2c4p+1, 0x1.8p+8, 0x1p+7, 0x1.8fcp+8,
         0x1.2c4p+8}}},
      {1, {2000, 1126}, {1920, 1080}, {960.3, 540.7},
       {{0x1.0624dep-10, 0x1.d19eb2p-10, -0x1.eb4394c88p-1, -0x1.eaa0f8538p-1,
         0x1.f3fffe7190014p+9, 0x1.197fff992fc02p+9, 0x1.dfbffdcd8001cp+9, 0x1.0dc0002562fffp+9},
        {0x1.0624dd2f1a9fcp-10, 0x1.d19eb155f08a4p-10, -0x1.eb6ae76c8b43ap-1,
         -0x1.eb43efa16bc4p-1, 0x1.f4p+9, 0x1.198p+9, 0x1.dfe666p+9, 0x1.0e199ap+9}}}};
  // clang-format on
  for (const Case& c : cases) {
    FrameTransform frames[2];
    SetUpFrameTransforms(c.mode, c.undistorted, c.distorted, c.centre, frames[0], frames[1]);
    for (int f = 0; f < 2; ++f) {
      const FrameTransform& t = frames[f];
      const double* pairs[] = {t.toNormScale, t.toNormOffset, t.toPixelScale, t.toPixelOffset};
      for (int k = 0; k < 8; ++k)
        EXPECT_EQ(pairs[k / 2][k % 2], c.fields[f][k]) << &c - cases << f << k;
    }
  }
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
  for (const auto& [value, expected] : rounded)
    EXPECT_EQ(RoundSizeToInt32(value), expected) << value;
  for (const auto& [value, expected] : truncated)
    EXPECT_EQ(TruncateToInt32(value), expected) << value;
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
  const std::pair<double, PF_LRect> cases[] = {{kNaN, {0, 0, 0, 0}},
                                               {1.0e12, {kMax, kMin, kMax, kMin}}};
  for (const auto& [centre, e] : cases) {
    const double xy[2] = {centre, -centre};
    SetUpFrameTransforms(1, normal, normal, xy, u, d);
    const PF_LRect r = DistortedExtent(d);
    EXPECT_TRUE(r.left == e.left && r.top == e.top && r.right == e.right && r.bottom == e.bottom);
  }
}

// Slider i holds i + 0.25 and every read is logged, so a test sees which parameter fed
// which slot and in what order the sliders were asked for.
double Read(void* refcon, int32_t index) {
  static_cast<std::vector<int32_t>*>(refcon)->push_back(index);
  return index + 0.25;
}

// Choices outside 1..12 read nothing and leave the kind alone.
TEST(FillLensParams, EveryLensModelReadsItsOwnSlidersInOrder) {
  constexpr double kDegree = 0.017453292519943295;
  using Slots = std::vector<std::pair<int32_t, double>>;  // slot, value
  struct Case {
    int32_t choice;
    ModelKind kind;
    int32_t firstSlider, sliders;
    Slots coef;
  };
  // clang-format off
  const Slots radial = {{0, 25.25}, {3, 28.25}, {5, 30.25}, {6, 0.0}, {7, 0.0}};
  const Slots merged = {{0, 33.25}, {8, 41.25}, {9, 0.0}, {10, 0.0}, {11, 42.25}, {12, 43.25}, {13, 44.25 * kDegree}};
  const Slots anamorphic = {{0, 47.25}, {17, 64.25}, {18, 0.0}, {19, 0.0}, {20, 65.25}, {21, 66.25}, {22, 67.25 * kDegree}};
  const Slots fisheye = {{0, 70.25}, {5, 75.25}, {6, 0.0}, {7, 0.0}};
  std::vector<Case> cases = {
      {1, kModelClassic, 11, 5, {}},
      {2, kModelRadialSquash, 18, 5, {{0, 18.25}, {4, 22.25}, {5, 0.0}, {6, 0.0}}},
      {3, kModelRadial4, 25, 6, radial}, {4, kModelStdRadial4, 25, 6, radial},
      {5, kModelAnamorphicMerged6, 33, 12, merged}, {6, kModelStdAnamorphicMerged6, 33, 12, merged},
      {7, kModelAnamorphic6, 47, 21, anamorphic}, {8, kModelStdAnamorphic6, 47, 21, anamorphic}};
  // clang-format on
  for (int32_t choice = 9; choice <= 12; ++choice) {
    cases.push_back({choice, static_cast<ModelKind>(choice), 70, 6, fisheye});
  }
  for (int32_t choice : {0, -1, 13, 1000}) cases.push_back({choice, ModelKind::None, 0, 0, {}});
  for (const Case& c : cases) {
    LensParams params{};
    ResetLensParams(params);
    params.kind = ModelKind::None;
    std::vector<int32_t> reads, expected;
    for (int32_t i = 0; i < c.sliders; ++i) expected.push_back(c.firstSlider + i);
    FillLensParams(c.choice, Read, &reads, params);
    EXPECT_TRUE(params.kind == c.kind) << c.choice;
    EXPECT_EQ(reads, expected) << c.choice;
    for (const auto& [slot, value] : c.coef)
      EXPECT_EQ(params.coef[slot], value) << c.choice << " " << slot;
    // The classic model takes thousandths, then the shape sliders as they are; the others
    // leave the classic fields at their defaults.
    const bool classic = c.choice == 1;
    const double fields[] = {params.quadratic,    params.cubic,  params.quartic,
                             params.eccentricity, params.vScale, params.hCenter};
    const double values[] = {classic ? 11.25 * 0.001 : 0.0, classic ? 12.25 * 0.001 : 0.0,
                             classic ? 13.25 * 0.001 : 0.0, classic ? 14.25 : 1.0,
                             classic ? 15.25 : 1.0,         0.0};
    for (int k = 0; k < 6; ++k) EXPECT_EQ(fields[k], values[k]) << c.choice << " " << k;
  }
}

// Building the classic lens's tables can run out of memory: that becomes the host's
// out-of-memory code, the rest of the context is still set up, and disposing of it
// releases everything.
TEST(SetUpRenderContext, AnAllocationFailureInTheLensModelIsOutOfMemory) {
  std::vector<double> sliders(kParamCount, 0.0);
  sliders[kParamClassicDistortion] = -80.0;  // a strong barrel: the tables are needed
  sliders[kParamClassicCubic] = 5.0;
  sliders[kParamClassicEccentricity] = sliders[kParamClassicVerticalScale] = 1.0;
  RenderParameterValues values{
      1, 1, 2, 1.0, 1.0, 2.0, {1920.4, 1080.5}, {1920.4, 1080.5}, {960.0, 540.0}};
  for (int32_t failing = 0; failing <= 3; ++failing) {
    const int64_t before = LiveArrayAllocations();
    RenderContext* context = CreateRenderContext();
    ASSERT_NE(context, nullptr);
    FailArrayAllocation(failing);
    EXPECT_EQ(SetUpRenderContextFromValues(values, sliders.data(), *context),
              failing ? PF_Err_OUT_OF_MEMORY : PF_Err_NONE)
        << failing;
    FailArrayAllocation(0);
    // 1080.5 ties to even: 1080
    EXPECT_TRUE(context->outputRect.right == 1921 && context->outputRect.bottom == 1081) << failing;
    DisposeRenderContext(context);
    EXPECT_EQ(LiveArrayAllocations(), before) << failing;
  }
}

}  // namespace
