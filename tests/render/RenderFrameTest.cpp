// Whole frames through the built module, with the harness playing the host: smart
// pre-render, smart render on the iterate suites' thread pool, disposal of the context.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "Harness.h"
#include "Image.h"
#include "support/LoadedEffect.h"

namespace {

using harness::Depth;
using harness::EffectInstance;
using harness::Image;
using harness::RenderRequest;
using harness::RenderResult;

// Parameter indices as the effect declares them (the host addresses them by position).
constexpr PF_ParamIndex kLensModel = 1, kDistortMode = 2, kFilterType = 3;
constexpr PF_ParamIndex kDistortedSize = 7, kUndistortedSize = 8, kLensCenter = 9, kR4C2 = 25;

// Distinct values in the depth's range (floats also slightly outside 0..1).
Image Pattern(int32_t width, int32_t height, Depth depth) {
  Image image = harness::MakeImage(width, height, depth);
  uint32_t state = 12345u + uint32_t(width * 31 + height);
  const size_t size = size_t(harness::PixelBytes(depth)) / 4;
  for (size_t i = 0; i < image.pixels.size() / size; ++i) {
    state = state * 1664525u + 1013904223u;
    const uint32_t h = state >> 8;
    const uint16_t v16 = uint16_t(h % 32769u);
    const float f = float(int32_t(h % 1400u) - 200) / 1000.0f;
    if (size == 1) image.pixels[i] = uint8_t(h);
    std::memcpy(&image.pixels[i * size], size == 2 ? static_cast<const void*>(&v16) : &f,
                size == 1 ? 0 : size);
  }
  return image;
}

std::vector<A_long> Corners(const PF_LRect& r) { return {r.left, r.top, r.right, r.bottom}; }

// An instance whose sizes are the layer's and whose centre is the layer's middle.
std::unique_ptr<EffectInstance> Instance(int32_t width, int32_t height,
                                         std::vector<std::pair<PF_ParamIndex, double>> set = {}) {
  auto instance = std::make_unique<EffectInstance>(LoadedEffect());
  instance->SetLayerSize(width, height);
  EXPECT_TRUE(instance->SetValue(kDistortedSize, {double(width), double(height)}));
  EXPECT_TRUE(instance->SetValue(kUndistortedSize, {double(width), double(height)}));
  EXPECT_TRUE(instance->SetValue(kLensCenter, {0.5 * width, 0.5 * height}));
  for (const auto& s : set) EXPECT_TRUE(instance->SetValue(s.first, {s.second}));
  return instance;
}

// The extent of each mode on a 1920 x 1080 layer with an undistorted size of 2000 x 1126,
// and a request clipped on the left and top; the input is checked out twice: a probe of
// nothing, then the whole layer.
TEST(RenderFrame, OutputExtentAndClippedRequest) {
  const std::pair<double, PF_LRect> cases[] = {
      {1, {-40, -23, 1961, 1104}},
      {3, {0, 0, 1921, 1081}},
      {2, {0, 0, 2000, 1126}}};  // 1 / f(2 / 2000) lies just below 1000
  const Image layer = Pattern(1920, 1080, Depth::k8);
  for (const auto& [mode, extent] : cases) {
    auto instance = Instance(1920, 1080, {{kDistortMode, mode}});
    ASSERT_TRUE(instance->SetValue(kUndistortedSize, {2000.0, 1126.0}));
    RenderRequest request(&layer);
    request.requestRect = PF_LRect{-100, -100, 30, 20};
    const RenderResult frame = instance->Render(request);
    ASSERT_EQ(frame.err, PF_Err_NONE) << mode;
    const PF_PreRenderOutput& out = frame.preRenderOutput;
    EXPECT_EQ(Corners(out.max_result_rect), Corners(extent));
    EXPECT_EQ(Corners(out.result_rect), Corners({extent.left, extent.top, 30, 20}));
    EXPECT_EQ(std::vector<int32_t>(
                  {out.flags, frame.output.originX, frame.output.width, frame.disposals}),
              std::vector<int32_t>({0, extent.left, 30 - extent.left, 1}));
    ASSERT_EQ(frame.checkouts.size(), 2u);
    EXPECT_EQ(std::vector<A_long>({frame.checkouts[0].id, frame.checkouts[0].request.rect.right,
                                   frame.checkouts[1].id}),
              std::vector<A_long>({0, 0, 1}));
    EXPECT_EQ(Corners(frame.checkouts[1].request.rect), Corners({0, 0, 1920, 1080}));
  }
}

// Both remove modes agree when the sizes match. (The identity lens giving the layer back, and
// every model's frames in every depth, are held by the module's and the models' tests.)
TEST(RenderFrame, RemoveModesAgree) {
  const Image layer = Pattern(100, 60, Depth::k16);
  const RenderResult wf2 = Instance(100, 60, {{kR4C2, -0.05}})->Render({&layer, 0});
  const RenderResult wf1 =
      Instance(100, 60, {{kR4C2, -0.05}, {kDistortMode, 3}})->Render({&layer, 0});
  ASSERT_EQ(wf2.err, PF_Err_NONE);
  EXPECT_EQ(wf1.output.pixels, wf2.output.pixels);
  EXPECT_EQ(wf1.output.width, wf2.output.width);
}

// Every filter in every depth renders the whole extent (151 columns: two full runs and a
// short one), writes nothing outside the output, and leaves unmappable pixels transparent:
// with "R4 C2" = -1.5 the lens folds back before the corners.
TEST(RenderFrame, EveryFilterInEveryDepth) {
  for (Depth depth : {Depth::k8, Depth::k16, Depth::kFloat}) {
    const Image layer = Pattern(150, 40, depth);
    const size_t pixel = size_t(harness::PixelBytes(depth));
    for (int32_t filter = 1; filter <= 6; ++filter) {
      SCOPED_TRACE("filter " + std::to_string(filter) + ", depth " + std::to_string(int(depth)));
      const RenderResult frame =
          Instance(150, 40, {{kLensModel, 3}, {kR4C2, -1.5}, {kFilterType, filter}})
              ->Render({&layer, 0});
      ASSERT_EQ(frame.err, PF_Err_NONE);
      EXPECT_EQ(std::vector<int32_t>({frame.output.width, frame.output.height, frame.rowsIterated}),
                std::vector<int32_t>({151, 41, 41}));
      EXPECT_TRUE(frame.outputPaddingIntact && frame.inputIntact && frame.render.Balanced());
      if (filter == 1) continue;  // the host's sampler decides what lies outside
      // Zero in every channel; a float channel may be -0, since masking multiplies.
      auto transparent = [&](size_t at) {
        const uint8_t* p = frame.output.pixels.data() + at * pixel;
        uint8_t bits = 0;
        for (size_t b = 0; b < pixel; ++b) bits |= pixel == 16 && b % 4 == 3 ? p[b] & 0x7F : p[b];
        return bits == 0;
      };
      EXPECT_TRUE(transparent(0));
      EXPECT_FALSE(transparent(20 * 151 + 75));
    }
  }
}

// Float colour is bounded above only at 1e10: a kernel over a brighter layer stops there.
TEST(RenderFrame, FloatColourStopsAtTenBillion) {
  Image layer = harness::MakeImage(8, 8, Depth::kFloat);
  float* argb = reinterpret_cast<float*>(layer.pixels.data());
  for (size_t i = 0; i < layer.pixels.size() / 4; ++i) argb[i] = i % 4 == 0 ? 1.0f : 3.0e10f;
  const RenderResult frame = Instance(8, 8, {{kFilterType, 4}})->Render({&layer, 0});
  ASSERT_EQ(frame.err, PF_Err_NONE);
  float centre[4];
  std::memcpy(centre, frame.output.pixels.data() + size_t(4 * frame.output.width + 4) * 16, 16);
  EXPECT_EQ(std::vector<float>(centre, centre + 4),
            std::vector<float>({1.0f, 1e10f, 1e10f, 1e10f}));
}

// An empty request still renders: with no columns the iterator is not called (it would have
// no column to point at), with no rows it is, over nothing.
TEST(RenderFrame, EmptyOutputs) {
  const Image layer = Pattern(20, 10, Depth::k8);
  auto instance = Instance(20, 10);
  const std::pair<PF_LRect, int32_t> cases[] = {{{5, 0, 5, 10}, 0}, {{0, 4, 20, 4}, 1}};
  for (const auto& [rect, iterateCalls] : cases) {
    RenderRequest request(&layer);
    request.requestRect = rect;
    const RenderResult frame = instance->Render(request);
    EXPECT_EQ(std::vector<int64_t>({frame.err, int64_t(frame.output.pixels.size()), frame.disposals,
                                    frame.iterateCalls, frame.rowsIterated}),
              std::vector<int64_t>({PF_Err_NONE, 0, 1, iterateCalls, 0}));
  }
}

// Each failure comes back as the command's result (a suite the host refuses as
// PF_Err_BAD_CALLBACK_PARAM), the context reaches the host and is disposed of once only when
// pre-render got that far, and a frame that failed before rendering leaves the output as
// the host filled it. A refused release is not the command's failure.
TEST(RenderFrame, EveryInjectedFailure) {
  constexpr PF_Err kInjected = 0x1234, kSuite = PF_Err_BAD_CALLBACK_PARAM;
  struct Case {
    std::string call;
    int32_t occurrence;
    PF_Err expected;
    bool handedOver, rendered;
    Depth depth;
  };
  // clang-format off
  std::vector<Case> cases = {
      {"AcquireSuite:PF PointParamSuite", 1, kSuite, false, false, Depth::k8},
      {"ReleaseSuite:PF PointParamSuite", 1, PF_Err_NONE, true, true, Depth::k8},
      {"checkout_layer", 1, kInjected, true, false, Depth::k8},
      {"checkout_layer", 2, kInjected, true, false, Depth::k8},
      {"checkout_layer_pixels", 1, kInjected, true, false, Depth::k8},
      {"checkout_output", 1, kInjected, true, false, Depth::k8},
      {"AcquireSuite:PF Sampling8 Suite", 1, kSuite, true, false, Depth::k8},
      {"AcquireSuite:PF SamplingFloat Suite", 1, kSuite, true, false, Depth::kFloat},
      {"AcquireSuite:PF Iterate8 Suite", 1, kSuite, true, false, Depth::k8},
      {"AcquireSuite:PF iterate16 Suite", 1, kSuite, true, false, Depth::k16},
      {"PF_GetPixelFormat", 1, kSuite, true, false, Depth::k8},
      {"iterate8", 1, kInjected, true, false, Depth::k8},
      {"iterate_float", 1, kInjected, true, false, Depth::kFloat},
      {"get_pixel_data8", 3, kInjected, true, true, Depth::k8},
      {"get_pixel_data16", 1, kInjected, true, true, Depth::k16},
      {"get_pixel_data_float", 2, kInjected, true, true, Depth::kFloat},
      {"", 0, kSuite, false, false, Depth::k8}};  // no basic suite at all
  // clang-format on
  // Pre-render checks out and in 3 popups, 3 sliders, 3 points, then the 6 sliders of the
  // default lens model: every one of them may fail, and so may each point's value.
  for (int32_t k = 1; k <= 15; ++k) {
    for (const char* call :
         {"checkout_param", "checkin_param", "PF_GetFloatingPointValueFromPointDef"}) {
      if (k <= 3 || call[0] == 'c') cases.push_back({call, k, kInjected, false, false, Depth::k8});
    }
  }
  constexpr uint8_t kFill = 0x5A;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.call + " #" + std::to_string(c.occurrence));
    const Image layer = Pattern(70, 6, c.depth);
    RenderRequest request(&layer);
    request.outputFill = kFill;
    request.options.noBasicSuite = c.call.empty();
    if (!c.call.empty()) request.options.faults.push_back({c.call, c.occurrence, kInjected});
    const RenderResult frame = Instance(70, 6, {{kFilterType, 3}})->Render(request);
    EXPECT_EQ(frame.err, c.expected);
    EXPECT_TRUE(frame.preRender.Balanced() && frame.render.Balanced());
    EXPECT_EQ(frame.preRenderOutput.pre_render_data != nullptr, c.handedOver);
    EXPECT_EQ(frame.disposals, c.handedOver ? 1 : 0);
    if (c.expected == kSuite && c.call.find("PointParam") != std::string::npos) {
      EXPECT_STREQ(frame.preRender.outData.return_msg, "Couldn't load suite.");
      EXPECT_TRUE(frame.preRender.outData.out_flags & PF_OutFlag_DISPLAY_ERROR_MESSAGE);
    }
    if (!c.rendered && frame.outputCheckedOut) {
      EXPECT_EQ(frame.output.pixels, std::vector<uint8_t>(frame.output.pixels.size(), kFill));
    }
  }
}

// One instance rendered by eight threads at once, frame after frame, with the controls changed
// between frames as the user does: one control at a time, each with its user-changed-parameter
// command where the control is supervised. Every frame must equal the same controls rendered
// alone on a fresh instance on one iterate thread: nothing of one frame, of the command sent
// between frames, or of how rows were spread over threads may show in another. Under
// ThreadSanitizer this is also the race check of pre-render, render and those commands.
TEST(ConcurrentRender, EightRenderersWithTheControlsChangedBetweenFrames) {
  struct Controls {
    double model, mode, filter;  // popup entries
    const char* coefficient;
    double value;
  };
  // Every lens family, mode and filter turns up; consecutive frames differ in all of them.
  const Controls frames[] = {{4, 1, 4, "R4 C2", -0.08},  {1, 2, 3, "DistortionX1000", 40},
                             {9, 3, 6, "FISH C2", 0.05}, {6, 2, 5, "A6M C02", 0.03},
                             {2, 1, 2, "MOD C2", -0.1},  {8, 2, 1, "A6 CX02", 0.02}};
  const Image layer = Pattern(61, 37, Depth::k16);
  auto apply = [&](EffectInstance& instance, const Controls& c) {
    instance.SetLayerSize(61, 37);
    const std::pair<const char*, double> changes[] = {{"Lens Model", c.model},
                                                      {"Distort Mode", c.mode},
                                                      {"Filter Type", c.filter},
                                                      {c.coefficient, c.value}};
    for (const auto& [name, value] : changes) {
      const harness::CommandRecord record = instance.ChangeParam(instance.FindParam(name), {value});
      EXPECT_TRUE(!record.sent || (record.result == PF_Err_NONE && record.Balanced())) << name;
    }
  };
  auto render = [&](const EffectInstance& instance, int32_t threads) {
    RenderRequest request(&layer);
    request.options.iterateThreads = threads;
    return instance.Render(request);
  };
  EffectInstance shared(LoadedEffect());
  for (const Controls& c : frames) {
    EffectInstance alone(LoadedEffect());
    apply(alone, c);
    const RenderResult expected = render(alone, 1);
    ASSERT_EQ(expected.err, PF_Err_NONE);
    apply(shared, c);
    std::vector<RenderResult> results(8);
    std::vector<std::thread> renderers;
    for (size_t r = 0; r < results.size(); ++r) {
      renderers.emplace_back([&, r] { results[r] = render(shared, int32_t(r % 3 * 7 + 1)); });
    }
    for (std::thread& t : renderers) t.join();
    for (const RenderResult& got : results) {
      EXPECT_TRUE(got.err == PF_Err_NONE && got.preRender.Balanced() && got.render.Balanced() &&
                  got.disposals == 1 && got.output.pixels == expected.output.pixels &&
                  got.output.originX == expected.output.originX &&
                  got.output.originY == expected.output.originY)
          << c.coefficient;
    }
  }
}

}  // namespace
