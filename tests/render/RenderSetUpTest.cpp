// From parameter values to the lens inputs and a set-up context, without a host.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "Host/ParamIndices.h"
#include "Host/RenderContext.h"
#include "Host/RenderSetUp.h"
#include "support/FailingArrayNew.h"

namespace {

constexpr double kDegree = 0.017453292519943295;

// Slider i holds i + 0.25 and every read is logged, so a test sees which parameter fed
// which slot and in what order the sliders were asked for.
double Read(void* refcon, int32_t index) {
  static_cast<std::vector<int32_t>*>(refcon)->push_back(index);
  return index + 0.25;
}

// Choices outside 1..12 read nothing and leave the kind alone.
TEST(FillLensParams, EveryLensModelReadsItsOwnSlidersInOrder) {
  struct Case {
    int32_t choice;
    ModelKind kind;
    int32_t firstSlider, sliders;
    std::vector<std::pair<int32_t, double>> coef;  // slot, value
  };
  // clang-format off
  const std::vector<std::pair<int32_t, double>> radial = {
      {0, 25.25}, {3, 28.25}, {5, 30.25}, {6, 0.0}, {7, 0.0}};
  const std::vector<std::pair<int32_t, double>> merged = {
      {0, 33.25}, {8, 41.25}, {9, 0.0}, {10, 0.0}, {11, 42.25}, {12, 43.25}, {13, 44.25 * kDegree}};
  const std::vector<std::pair<int32_t, double>> anamorphic = {
      {0, 47.25}, {17, 64.25}, {18, 0.0}, {19, 0.0}, {20, 65.25}, {21, 66.25}, {22, 67.25 * kDegree}};
  const std::vector<std::pair<int32_t, double>> fisheye = {{0, 70.25}, {5, 75.25}, {6, 0.0}, {7, 0.0}};
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
    for (const auto& slot : c.coef) {
      EXPECT_EQ(params.coef[slot.first], slot.second) << c.choice << " slot " << slot.first;
    }
    if (c.choice == 1) {  // thousandths, then the shape sliders as they are
      const double fields[] = {params.quadratic,    params.cubic,  params.quartic,
                               params.eccentricity, params.vScale, params.hCenter};
      const double values[] = {11.25 * 0.001, 12.25 * 0.001, 13.25 * 0.001, 14.25, 15.25, 0.0};
      for (int k = 0; k < 6; ++k) EXPECT_EQ(fields[k], values[k]) << k;
    } else {  // the classic fields keep their defaults
      EXPECT_EQ(params.quadratic, 0.0) << c.choice;
      EXPECT_EQ(params.vScale, 1.0) << c.choice;
    }
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
