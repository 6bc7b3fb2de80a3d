// The render path from the static library: parameter values to frame transforms, lens inputs
// and a set-up context, then the mapping of output positions and the row callbacks with a
// minimal host (worlds guarded by sentinel bytes, pixel-data callbacks, a recording sampler).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <tuple>
#include <type_traits>
#include <vector>

#include "Host/FrameTransform.h"
#include "Host/ParamIndices.h"
#include "Host/RenderContext.h"
#include "Host/RenderSetUp.h"
#include "Host/RowCallbacks.h"
#include "Resampling/CpuFeatures.h"
#include "Resampling/FilterKernelTables.h"
#include "support/FailingArrayNew.h"

namespace {

constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
const double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr uint8_t kSentinel = 0xA5;

// Every field of both frames, undistorted then distorted, x then y, half of them completed from
// the other. Powers of two keep the scales exact, so only the stated roundings show; 2000 x 1126
// shows the single-precision ones (2 / 2000 stored as a float).
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
      {-2147483648.0, kMin}, {-3.0e9, kMin}, {1.0e300, kMax}, {-1.0e300, kMin}, {HUGE_VAL, kMax},
      {-HUGE_VAL, kMin}, {kNaN, 0}};
  const std::pair<double, int32_t> truncated[] = {
      {-40.5, -40}, {2000.9999, 2000}, {-0.9, 0}, {2147483647.9, kMax}, {2147483648.0, kMax},
      {-2147483648.9, kMin}, {-2147483649.0, kMin}, {HUGE_VAL, kMax}, {-HUGE_VAL, kMin}, {kNaN, 0}};
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

double LogRead(void* refcon, int32_t index) {
  static_cast<std::vector<int32_t>*>(refcon)->push_back(index);
  return index + 0.25;
}

// Each model reads its own sliders, in order (the host sees its checkouts in that order on every
// platform); choices outside 1..12 read nothing and leave the kind alone. Where the values land
// is held by the golden frames of every model.
TEST(FillLensParams, EveryLensModelReadsItsOwnSlidersInOrder) {
  // clang-format off
  const std::tuple<int32_t, ModelKind, int32_t, int32_t> cases[] = {
      {1, kModelClassic, 11, 5}, {2, kModelRadialSquash, 18, 5},
      {3, kModelRadial4, 25, 6}, {4, kModelStdRadial4, 25, 6},
      {5, kModelAnamorphicMerged6, 33, 12}, {6, kModelStdAnamorphicMerged6, 33, 12},
      {7, kModelAnamorphic6, 47, 21}, {8, kModelStdAnamorphic6, 47, 21},
      {9, kModelFisheyeStereographic, 70, 6}, {10, kModelFisheyeEquidistant, 70, 6},
      {11, kModelFisheyeEquisolid, 70, 6}, {12, kModelFisheyeOrthographic, 70, 6},
      {0, ModelKind::None, 0, 0}, {-1, ModelKind::None, 0, 0}, {13, ModelKind::None, 0, 0},
      {1000, ModelKind::None, 0, 0}};
  // clang-format on
  for (const auto& [choice, kind, firstSlider, sliders] : cases) {
    LensParams params{};
    ResetLensParams(params);
    params.kind = ModelKind::None;
    std::vector<int32_t> reads, expected;
    for (int32_t i = 0; i < sliders; ++i) expected.push_back(firstSlider + i);
    FillLensParams(choice, LogRead, &reads, params);
    EXPECT_TRUE(params.kind == kind) << choice;
    EXPECT_EQ(reads, expected) << choice;
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

// Padded rows and a guard after the last row, all sentinel until written.
struct TestWorld {
  std::vector<uint8_t> bytes;
  PF_EffectWorld world{};
  TestWorld(int32_t width, int32_t height, size_t pixelBytes, int32_t originX = 0,
            int32_t originY = 0)
      : bytes((width + 3) * pixelBytes * height + 256, kSentinel) {
    world.data = reinterpret_cast<PF_PixelPtr>(bytes.data());
    world.rowbytes = int32_t((width + 3) * pixelBytes);
    world.width = width, world.height = height, world.origin_x = originX, world.origin_y = originY;
  }
  uint8_t* Row(int32_t y) { return bytes.data() + size_t(world.rowbytes) * size_t(y); }
  // The pixels row by row; empty when a byte outside them (padding, guard) was written.
  std::vector<uint8_t> Pixels(size_t pixelBytes) const {
    std::vector<uint8_t> pixels;
    const size_t rowBytes = size_t(world.rowbytes), used = size_t(world.width) * pixelBytes;
    for (size_t i = 0; i < bytes.size(); ++i) {
      if (i < rowBytes * size_t(world.height) && i % rowBytes < used) {
        pixels.push_back(bytes[i]);
      } else if (bytes[i] != kSentinel) {
        return {};
      }
    }
    return pixels;
  }
};

// Whole numbers in each depth's range (floats a little outside 0..1 too).
template <typename Pixel>
void FillPattern(TestWorld& w) {
  using Channel = decltype(Pixel::alpha);
  uint32_t state = 12345u;
  for (int32_t i = 0; i < w.world.height * w.world.width * 4; ++i) {
    state = state * 1664525u + 1013904223u;
    const uint32_t h = state >> 8;
    reinterpret_cast<Channel*>(w.Row(i / (w.world.width * 4)))[i % (w.world.width * 4)] =
        sizeof(Channel) == 4 ? Channel(float(int32_t(h % 1700u) - 200) / 1000.0f)
                             : Channel(sizeof(Channel) == 1 ? h % 256u : h % 32769u);
  }
}

int32_t gPixelDataCalls = 0;
PF_Err gPixelDataError = PF_Err_NONE;
std::vector<std::pair<PF_Fixed, PF_Fixed>> gSamples;

template <typename Pixel>
PF_Err GetPixelData(PF_EffectWorld* world, PF_PixelPtr, Pixel** base) {
  ++gPixelDataCalls;
  if (gPixelDataError) return gPixelDataError;
  *base = reinterpret_cast<Pixel*>(world->data);
  return PF_Err_NONE;
}

template <typename Pixel>
PF_Err RecordSample(PF_ProgPtr, PF_Fixed x, PF_Fixed y, const PF_SampPB*, Pixel* out) {
  gSamples.emplace_back(x, y);
  *out = Pixel{};
  return PF_Err_INTERNAL_STRUCT_DAMAGED;  // ignored by the callback
}

PF_PixelDataSuite1 gPixelData{GetPixelData<PF_Pixel8>, GetPixelData<PF_Pixel16>,
                              GetPixelData<PF_PixelFloat>};
PF_UtilCallbacks gUtils{};
PF_InData gInData{};

using ContextPtr = std::unique_ptr<RenderContext, void (*)(void*)>;

// A frame of the default model ("Std. Radial 4th-order", "Remove WF2", "Nearest") whose
// sizes are the layer's and whose centre is its middle; `c2` and `c4` are "R4 C2", "R4 C4".
struct Frame {
  RenderParameterValues values;
  std::vector<double> sliders = std::vector<double>(kParamCount, 0.0);
  Frame(int32_t w, int32_t h, double c2 = 0.0, double c4 = 0.0)
      : values{4, 1, 2, 1, 1, 1, {1.0 * w, 1.0 * h}, {1.0 * w, 1.0 * h}, {0.5 * w, 0.5 * h}} {
    sliders[kParamRadial4First] = c2;
    sliders[kParamRadial4First + 3] = c4;
  }
  ContextPtr Context() const {
    ContextPtr context(CreateRenderContext(), DisposeRenderContext);
    EXPECT_EQ(SetUpRenderContextFromValues(values, sliders.data(), *context), 0);
    BuildFilterKernelTables([](double v) { return std::sin(v); });
    GetFilterKernelTables(&context->kernelLanczos2, &context->kernelLanczos3,
                          &context->kernelMitchell);
    gUtils.get_pixel_data8 = GetPixelData<PF_Pixel8>;
    gUtils.get_pixel_data16 = GetPixelData<PF_Pixel16>;
    gInData.utils = &gUtils;
    context->inData = &gInData;
    context->pixelDataSuite = &gPixelData;
    return context;
  }
};

// Renders every row of an output world over the context's output extent, or of `rect`.
template <typename Pixel>
TestWorld Render(RenderContext& context, TestWorld& input, const PF_LRect* rect = nullptr) {
  const PF_LRect r = rect ? *rect : context.outputRect;
  TestWorld output(r.right - r.left, r.bottom - r.top, sizeof(Pixel), r.left, r.top);
  gPixelDataCalls = 0;
  gSamples.clear();
  context.inputWorld = &input.world;
  context.outputWorld = &output.world;
  context.samplingParams = PF_SampPB{};
  context.samplingParams.src = &input.world;
  context.subpixelSample8 = RecordSample<PF_Pixel8>;
  context.subpixelSample16 = RecordSample<PF_Pixel16>;
  context.subpixelSampleFloat = RecordSample<PF_PixelFloat>;
  for (int32_t y = 0; y < output.world.height; ++y) {
    Pixel* row = reinterpret_cast<Pixel*>(output.Row(y));
    // The column and the input pixel are ignored, whatever they hold.
    if constexpr (std::is_same_v<Pixel, PF_Pixel8>) {
      EXPECT_EQ(DistortRow8(&context, 12345, y, row, row), PF_Err_NONE);
    } else if constexpr (std::is_same_v<Pixel, PF_Pixel16>) {
      EXPECT_EQ(DistortRow16(&context, -7, y, nullptr, row), PF_Err_NONE);
    } else {
      EXPECT_EQ(DistortRowFloat(&context, 0, y, nullptr, row), PF_Err_NONE);
    }
  }
  return output;
}

template <typename Pixel>
std::vector<uint8_t> RenderPattern(const Frame& frame) {
  TestWorld input(150, 90, sizeof(Pixel));
  FillPattern<Pixel>(input);
  const std::vector<uint8_t> pixels = Render<Pixel>(*frame.Context(), input).Pixels(sizeof(Pixel));
  EXPECT_FALSE(pixels.empty());
  return pixels;
}

std::vector<std::vector<uint8_t>> RenderEveryDepth(const Frame& frame) {
  return {RenderPattern<PF_Pixel8>(frame), RenderPattern<PF_Pixel16>(frame),
          RenderPattern<PF_PixelFloat>(frame)};
}

// 1024 x 512 makes every frame step exact. "Apply WF2" with the identity lens: source =
// zoom * n * 512 + 511.5 for normalised n. Zoom 2 halves the normalised position before the
// lens: output 767.5 (n = 0.5) must reach the lens as 639.5 (n = 0.25) does at zoom 1. A
// radial lens folds back where 1 + C2 r^2 turns negative: the marker in both axes.
TEST(MapRunToSource, FramesZoomAndUnmappablePositions) {
  Frame identityApply(1024, 512), zoomed(1024, 512, -0.05, 0.01), folded(64, 64, -1.5);
  identityApply.values.distortMode = 2;
  identityApply.values.zoom = zoomed.values.zoom = 2.0;
  folded.values.lensModelChoice = 3;  // "Radial 4th-order": the closed form that way
  // The sources of two outputs in row `y`, x then y.
  auto map = [](const Frame& frame, float x0, float x1, float y) {
    PointPacket out, src;
    out.x.count = out.y.count = 2;
    out.x[0] = x0, out.x[1] = x1, out.y[0] = out.y[1] = y;
    MapRunToSource(*frame.Context(), out, src);
    EXPECT_EQ(src.x.count, 2);
    return std::vector<float>{src.x[0], src.x[1], src.y[0], src.y[1]};
  };
  const std::vector<float> half = map(Frame(1024, 512, -0.05, 0.01), 639.5f, 447.5f, 319.5f);
  ASSERT_NE(half[0], 639.5f);  // the lens did act
  EXPECT_EQ(map(zoomed, 767.5f, 383.5f, 383.5f), half);
  EXPECT_EQ(map(identityApply, 767.5f, 383.5f, 319.5f),
            (std::vector<float>{1023.5f, 255.5f, 383.5f, 383.5f}));
  const float u = kUnmappedPosition;
  EXPECT_EQ(map(folded, 31.5f, 250.0f, 31.5f), (std::vector<float>{31.5f, u, 31.5f, u}));
}

TEST(ToHostFixed, RoundsToNearestEvenAndMarksWhatDoesNotFit) {
  // Half a unit ties to even; 32767.99609375 is the largest float position that fits, and
  // exactly -2^31 fits too.
  const float unit = 1.0f / 65536.0f;
  // clang-format off
  const std::pair<float, PF_Fixed> cases[] = {
      {1.5f, 98304}, {-2.25f, -147456}, {0.5f * unit, 0}, {1.5f * unit, 2}, {-0.5f * unit, 0},
      {32767.99609375f, 2147483392}, {32768.0f, kMin}, {-32768.0f, kMin}, {1.0e9f, kMin},
      {kUnmappedPosition, kMin}, {std::numeric_limits<float>::quiet_NaN(), kMin},
      {std::numeric_limits<float>::infinity(), kMin}};
  // clang-format on
  for (const auto& c : cases) EXPECT_EQ(ToHostFixed(c.first), c.second) << c.first;
}

// The SSE2 paths against SSE4.1 and the widest the processor has (samplers and lens lanes),
// every table-driven filter, every depth; 150 = 2 * 64 + 22 columns.
TEST(RowCallbacks, EveryCpuPathRendersTheSameBits) {
  const uint32_t detected = QueryCpuFeatures();
  for (int32_t filter = 2; filter <= 6; ++filter) {
    Frame frame(150, 90, -0.05, 0.01);
    frame.values.undistortedSize[0] = 158, frame.values.undistortedSize[1] = 95;
    frame.values.filterType = filter;
    OverrideCpuFeatures(0);
    const auto sse2 = RenderEveryDepth(frame);
    for (uint32_t path : {kCpuFeatureSse41, detected}) {
      OverrideCpuFeatures(path);
      EXPECT_TRUE(RenderEveryDepth(frame) == sse2) << filter << " " << path;
    }
  }
  OverrideCpuFeatures(detected);
}

// "Built-in" hands the host sampler 16.16 positions in the input buffer's grid (the input
// origin moves them) and reads no pixels itself; the extent reaches a pixel past each side.
TEST(RowCallbacks, BuiltInPassesFixedPointPositionsInTheInputGrid) {
  Frame frame(70, 3);
  frame.values.filterType = 1;
  TestWorld input(70, 3, sizeof(PF_Pixel8), -2, 1);
  ContextPtr context = frame.Context();
  EXPECT_FALSE(Render<PF_Pixel8>(*context, input).Pixels(4).empty());
  EXPECT_EQ(gPixelDataCalls, 0);
  ASSERT_EQ(gSamples.size(), 71u * 4u);
  for (size_t i = 0; i < gSamples.size(); ++i) {
    const int32_t x = int32_t(i % 71) + context->outputRect.left;
    const int32_t y = int32_t(i / 71) + context->outputRect.top;
    ASSERT_EQ(gSamples[i], std::make_pair((x + 2) * 65536, (y - 1) * 65536)) << i;
  }
}

// Failure paths write nothing, or only the row: an input whose row offsets pass 2^31 bytes is
// refused before anything is read; a failing pixel-data call comes back even for an empty
// row; positions that are not numbers (a NaN centre) render transparent with every filter.
TEST(RowCallbacks, RefusalsAndPositionsThatAreNotNumbers) {
  TestWorld small(16, 3, 4), huge(16, 3, 4), output(17, 4, 4), empty(0, 1, 16);
  huge.world.rowbytes = 1 << 30;
  ContextPtr context = Frame(16, 3).Context();
  context->inputWorld = &huge.world;
  context->outputWorld = &output.world;
  EXPECT_EQ(DistortRow8(context.get(), 0, 1, nullptr, reinterpret_cast<PF_Pixel8*>(output.Row(1))),
            PF_Err_OUT_OF_MEMORY);
  EXPECT_EQ(output.Pixels(4), std::vector<uint8_t>(17 * 4 * 4, kSentinel));
  context->inputWorld = &small.world;
  context->outputWorld = &empty.world;
  for (PF_Err failure : {PF_Err_NONE, PF_Err_BAD_CALLBACK_PARAM}) {
    gPixelDataCalls = 0;
    gPixelDataError = failure;
    auto* row = reinterpret_cast<PF_PixelFloat*>(empty.Row(0));
    EXPECT_EQ(DistortRowFloat(context.get(), 0, 0, nullptr, row), failure);
    EXPECT_EQ(gPixelDataCalls, 1);
    EXPECT_EQ(std::count(empty.bytes.begin(), empty.bytes.end(), kSentinel),
              std::ptrdiff_t(empty.bytes.size()));
  }
  gPixelDataError = PF_Err_NONE;
  for (int32_t filter = 2; filter <= 6; ++filter) {
    Frame frame(40, 8);
    frame.values.filterType = filter;
    frame.values.lensCenter[0] = kNaN;
    TestWorld input(40, 8, sizeof(PF_Pixel8));
    FillPattern<PF_Pixel8>(input);
    const PF_LRect rect{0, 0, 40, 8};  // the NaN frame's own extent is empty
    EXPECT_EQ(Render<PF_Pixel8>(*frame.Context(), input, &rect).Pixels(4),
              std::vector<uint8_t>(40 * 8 * 4, 0))
        << filter;
  }
}

}  // namespace
