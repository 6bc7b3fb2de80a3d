// From parameter values to the lens inputs and a set-up context, without a host.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "support/FailingArrayNew.h"
#include "Host/ParamIndices.h"
#include "Host/RenderContext.h"
#include "Host/RenderSetUp.h"

namespace {

constexpr double kDegree = 0.017453292519943295;

// Slider i holds i + 0.25, and every read is logged, so a test sees which parameter fed
// which slot and in what order the sliders were asked for.
struct LoggingReader {
  std::vector<int32_t> reads;
};

double Read(void* refcon, int32_t index) {
  static_cast<LoggingReader*>(refcon)->reads.push_back(index);
  return index + 0.25;
}

std::vector<int32_t> Range(int32_t first, int32_t count) {
  std::vector<int32_t> r;
  for (int32_t i = 0; i < count; ++i) r.push_back(first + i);
  return r;
}

// A coefficient slot and the value it must hold.
struct Slot {
  int32_t index;
  double value;
};

struct ChoiceCase {
  int32_t choice;
  ModelKind kind;
  std::vector<int32_t> reads;
  std::vector<Slot> coef;
};

TEST(FillLensParams, EveryLensModelReadsItsOwnSlidersInOrder) {
  std::vector<ChoiceCase> cases;
  cases.push_back({2, kModelRadialSquash, Range(18, 5),
                   {{0, 18.25}, {4, 22.25}, {5, 0.0}, {6, 0.0}}});
  for (int32_t choice : {3, 4}) {
    cases.push_back({choice, choice == 3 ? kModelRadial4 : kModelStdRadial4, Range(25, 6),
                     {{0, 25.25}, {3, 28.25}, {5, 30.25}, {6, 0.0}, {7, 0.0}}});
  }
  for (int32_t choice : {5, 6}) {
    cases.push_back({choice, choice == 5 ? kModelAnamorphicMerged6 : kModelStdAnamorphicMerged6,
                     Range(33, 12),
                     {{0, 33.25},
                      {8, 41.25},
                      {9, 0.0},
                      {10, 0.0},
                      {11, 42.25},
                      {12, 43.25},
                      {13, 44.25 * kDegree}}});
  }
  for (int32_t choice : {7, 8}) {
    cases.push_back({choice, choice == 7 ? kModelAnamorphic6 : kModelStdAnamorphic6,
                     Range(47, 21),
                     {{0, 47.25},
                      {17, 64.25},
                      {18, 0.0},
                      {19, 0.0},
                      {20, 65.25},
                      {21, 66.25},
                      {22, 67.25 * kDegree}}});
  }
  for (int32_t choice = 9; choice <= 12; ++choice) {
    cases.push_back({choice, static_cast<ModelKind>(choice), Range(70, 6), {{0, 70.25}, {5, 75.25}, {6, 0.0}, {7, 0.0}}});
  }
  for (const ChoiceCase& c : cases) {
    LensParams params{};
    ResetLensParams(params);
    LoggingReader reader;
    FillLensParams(c.choice, Read, &reader, params);
    EXPECT_TRUE(params.kind == c.kind) << c.choice;
    EXPECT_EQ(reader.reads, c.reads) << c.choice;
    for (const Slot& slot : c.coef) {
      EXPECT_EQ(params.coef[slot.index], slot.value) << c.choice << " slot " << slot.index;
    }
    EXPECT_EQ(params.quadratic, 0.0) << c.choice;  // the classic fields keep their defaults
    EXPECT_EQ(params.vScale, 1.0) << c.choice;
  }
}

TEST(FillLensParams, ClassicTakesThousandthsAndItsShapeSliders) {
  LensParams params{};
  ResetLensParams(params);
  LoggingReader reader;
  FillLensParams(1, Read, &reader, params);
  EXPECT_TRUE(params.kind == kModelClassic);
  EXPECT_EQ(reader.reads, Range(11, 5));
  EXPECT_EQ(params.quadratic, 11.25 * 0.001);
  EXPECT_EQ(params.cubic, 12.25 * 0.001);
  EXPECT_EQ(params.quartic, 13.25 * 0.001);
  EXPECT_EQ(params.eccentricity, 14.25);
  EXPECT_EQ(params.vScale, 15.25);
  EXPECT_EQ(params.hCenter, 0.0);
}

TEST(FillLensParams, AnyOtherChoiceReadsNothing) {
  for (int32_t choice : {0, -1, 13, 1000}) {
    LensParams params{};
    ResetLensParams(params);
    params.kind = ModelKind::None;
    LoggingReader reader;
    FillLensParams(choice, Read, &reader, params);
    EXPECT_TRUE(params.kind == ModelKind::None);
    EXPECT_TRUE(reader.reads.empty());
  }
}

RenderParameterValues ClassicFrame() {
  RenderParameterValues values{};
  values.lensModelChoice = 1;
  values.distortMode = 1;
  values.filterType = 2;
  values.pixelAspect = 1.0;
  values.squeeze = 1.0;
  values.zoom = 2.0;
  values.distortedSize[0] = values.undistortedSize[0] = 1920.4;
  values.distortedSize[1] = values.undistortedSize[1] = 1080.5;
  values.lensCenter[0] = 960.0;
  values.lensCenter[1] = 540.0;
  return values;
}

TEST(SetUpRenderContext, StoresRoundedSizesAndTheReciprocalZoom) {
  std::vector<double> sliders(kParamCount, 0.0);
  sliders[kParamClassicEccentricity] = 1.0;
  sliders[kParamClassicVerticalScale] = 1.0;
  RenderContext* context = CreateRenderContext();
  ASSERT_NE(context, nullptr);
  EXPECT_EQ(SetUpRenderContextFromValues(ClassicFrame(), sliders.data(), *context), 0);
  EXPECT_EQ(context->distortedSize[0], 1920);
  EXPECT_EQ(context->distortedSize[1], 1080);  // 1080.5 ties to even
  EXPECT_EQ(context->invZoom, 0.5);
  EXPECT_EQ(context->model.params.kind, kModelClassic);
  EXPECT_EQ(context->model.aspect, 1920.0 / 1080.0);
  EXPECT_EQ(context->outputRect.right, 1921);
  DisposeRenderContext(context);
}

// Building the classic lens's tables can run out of memory: that becomes the host's
// out-of-memory code, the rest of the context is still set up, and disposing of it
// releases everything (no table array survives).
TEST(SetUpRenderContext, AnAllocationFailureInTheLensModelIsOutOfMemory) {
  std::vector<double> sliders(kParamCount, 0.0);
  sliders[kParamClassicDistortion] = -80.0;  // a strong barrel: the tables are needed
  sliders[kParamClassicCubic] = 5.0;
  sliders[kParamClassicEccentricity] = 1.0;
  sliders[kParamClassicVerticalScale] = 1.0;
  for (int32_t failing = 1; failing <= 3; ++failing) {
    const int64_t before = LiveArrayAllocations();
    RenderContext* context = CreateRenderContext();
    ASSERT_NE(context, nullptr);
    FailArrayAllocation(failing);
    EXPECT_EQ(SetUpRenderContextFromValues(ClassicFrame(), sliders.data(), *context),
              PF_Err_OUT_OF_MEMORY)
        << failing;
    FailArrayAllocation(0);
    EXPECT_EQ(context->outputRect.right, 1921);
    EXPECT_EQ(context->invZoom, 0.5);
    DisposeRenderContext(context);
    EXPECT_EQ(LiveArrayAllocations(), before) << failing;
  }
}

}  // namespace
