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
using harness::FaultRule;
using harness::Image;
using harness::RenderRequest;
using harness::RenderResult;

// Parameter indices as the effect declares them (the host addresses them by position).
constexpr PF_ParamIndex kLensModel = 1, kDistortMode = 2, kFilterType = 3, kZoom = 6;
constexpr PF_ParamIndex kDistortedSize = 7, kUndistortedSize = 8, kLensCenter = 9;
constexpr PF_ParamIndex kR4C2 = 25, kR4C4 = 28;

// A deterministic pattern in the depth's range (floats also slightly outside 0..1).
Image Pattern(int32_t width, int32_t height, Depth depth) {
  Image image = harness::MakeImage(width, height, depth);
  uint32_t state = 12345U + static_cast<uint32_t>(width * 31 + height);
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) {
      for (int c = 0; c < 4; ++c) {
        state = state * 1664525U + 1013904223U;
        const uint32_t h = state >> 8;
        if (depth == Depth::k8) {
          image.pixels[(static_cast<size_t>(y) * width + x) * 4 + c] = static_cast<uint8_t>(h);
        } else if (depth == Depth::k16) {
          uint16_t v = static_cast<uint16_t>(h % 32769U);
          std::memcpy(&image.pixels[(static_cast<size_t>(y) * width + x) * 8 + c * 2], &v, 2);
        } else {
          float v = static_cast<float>(static_cast<int32_t>(h % 1400U) - 200) / 1000.0f;
          std::memcpy(&image.pixels[(static_cast<size_t>(y) * width + x) * 16 + c * 4], &v, 4);
        }
      }
    }
  }
  return image;
}

// An instance whose sizes are the layer's and whose centre is the layer's middle.
std::unique_ptr<EffectInstance> Instance(int32_t width, int32_t height) {
  auto instance = std::make_unique<EffectInstance>(LoadedEffect());
  instance->SetLayerSize(width, height);
  EXPECT_TRUE(instance->SetValue(kDistortedSize, {double(width), double(height)}));
  EXPECT_TRUE(instance->SetValue(kUndistortedSize, {double(width), double(height)}));
  EXPECT_TRUE(instance->SetValue(kLensCenter, {0.5 * width, 0.5 * height}));
  return instance;
}

void Realistic(EffectInstance& instance) {
  EXPECT_TRUE(instance.SetValue(kR4C2, {-0.05}));
  EXPECT_TRUE(instance.SetValue(kR4C4, {0.01}));
}

RenderResult Render(const EffectInstance& instance, const Image& layer,
                    int32_t threads = 0) {
  RenderRequest request;
  request.layer = &layer;
  request.options.iterateThreads = threads;
  return instance.Render(request);
}

// Pixel (x, y) is 0 in all four channels (a float channel may be -0: masking multiplies).
bool Transparent(const Image& image, int32_t x, int32_t y) {
  const size_t pixel = static_cast<size_t>(harness::PixelBytes(image.depth));
  const uint8_t* p = &image.pixels[(static_cast<size_t>(y) * image.width + x) * pixel];
  for (size_t c = 0; c < 4; ++c) {
    if (image.depth == Depth::kFloat) {
      float v;
      std::memcpy(&v, p + c * 4, 4);
      if (v != 0.0f) return false;
    } else if (image.depth == Depth::k16) {
      if (p[c * 2] != 0 || p[c * 2 + 1] != 0) return false;
    } else if (p[c] != 0) {
      return false;
    }
  }
  return true;
}

bool SameImage(const Image& a, const Image& b) {
  return a.width == b.width && a.height == b.height && a.originX == b.originX &&
         a.originY == b.originY && a.pixels == b.pixels;
}

// ------------------------------------------------------------------ extent and request

TEST(RenderFrame, OutputExtentAndClippedRequest) {
  struct Case {
    int32_t mode;
    PF_LRect extent;
  };
  const Case cases[] = {
      {1, {-40, -23, 1961, 1104}},
      {3, {0, 0, 1921, 1081}},
      {2, {0, 0, 2000, 1126}},
  };
  const Image layer = Pattern(1920, 1080, Depth::k8);
  for (const Case& c : cases) {
    auto instance = Instance(1920, 1080);
    ASSERT_TRUE(instance->SetValue(kUndistortedSize, {2000.0, 1126.0}));
    ASSERT_TRUE(instance->SetValue(kDistortMode, {double(c.mode)}));
    RenderRequest request;
    request.layer = &layer;
    request.requestRect = PF_LRect{-100, -100, 30, 20};  // clipped on the left and top
    const RenderResult frame = instance->Render(request);
    ASSERT_EQ(frame.err, PF_Err_NONE) << c.mode;
    const PF_PreRenderOutput& out = frame.preRenderOutput;
    EXPECT_EQ(out.max_result_rect.left, c.extent.left) << c.mode;
    EXPECT_EQ(out.max_result_rect.top, c.extent.top) << c.mode;
    EXPECT_EQ(out.max_result_rect.right, c.extent.right) << c.mode;
    EXPECT_EQ(out.max_result_rect.bottom, c.extent.bottom) << c.mode;
    EXPECT_EQ(out.result_rect.left, c.extent.left);
    EXPECT_EQ(out.result_rect.top, c.extent.top);
    EXPECT_EQ(out.result_rect.right, 30);
    EXPECT_EQ(out.result_rect.bottom, 20);
    EXPECT_EQ(out.flags, 0);
    EXPECT_EQ(frame.output.originX, c.extent.left);
    EXPECT_EQ(frame.output.width, 30 - c.extent.left);
    EXPECT_EQ(frame.disposals, 1);

    // Two checkouts of the input: a probe of nothing, then the whole layer.
    ASSERT_EQ(frame.checkouts.size(), 2U);
    EXPECT_EQ(frame.checkouts[0].id, 0);
    EXPECT_EQ(frame.checkouts[0].request.rect.right, 0);
    EXPECT_EQ(frame.checkouts[1].id, 1);
    EXPECT_EQ(frame.checkouts[1].request.rect.right, 1920);
    EXPECT_EQ(frame.checkouts[1].request.rect.bottom, 1080);
  }
}

TEST(RenderFrame, BothRemoveModesGiveTheSameFrameWhenSizesMatch) {
  const Image layer = Pattern(100, 60, Depth::k16);
  auto wf2 = Instance(100, 60);
  Realistic(*wf2);
  auto wf1 = Instance(100, 60);
  Realistic(*wf1);
  ASSERT_TRUE(wf1->SetValue(kDistortMode, {3.0}));
  const RenderResult a = Render(*wf2, layer);
  const RenderResult b = Render(*wf1, layer);
  ASSERT_EQ(a.err, PF_Err_NONE);
  ASSERT_EQ(b.err, PF_Err_NONE);
  EXPECT_TRUE(SameImage(a.output, b.output));
}

// ------------------------------------------------------------------ pixels

TEST(RenderFrame, IdentityNearestReproducesTheInputInEveryDepth) {
  for (Depth depth : {Depth::k8, Depth::k16, Depth::kFloat}) {
    const Image layer = Pattern(67, 9, depth);
    auto instance = Instance(67, 9);
    ASSERT_TRUE(instance->SetValue(kFilterType, {2.0}));
    const RenderResult frame = Render(*instance, layer);
    ASSERT_EQ(frame.err, PF_Err_NONE);
    ASSERT_EQ(frame.output.originX, 0);
    ASSERT_EQ(frame.output.originY, 0);
    ASSERT_EQ(frame.output.width, 68);
    ASSERT_EQ(frame.output.height, 10);
    const size_t pixel = static_cast<size_t>(harness::PixelBytes(depth));
    for (int32_t y = 0; y < 9; ++y) {
      EXPECT_EQ(std::memcmp(&frame.output.pixels[y * 68 * pixel], &layer.pixels[y * 67 * pixel],
                            67 * pixel),
                0)
          << "row " << y << ", depth " << int(depth);
    }
  }
}

// Rows go to the iterate threads in any order; the frame must not depend on it.
TEST(RenderFrame, ThreadCountsAndConcurrentFramesDoNotChangeABit) {
  const Image layer = Pattern(150, 90, Depth::kFloat);
  auto instance = Instance(150, 90);
  Realistic(*instance);
  ASSERT_TRUE(instance->SetValue(kUndistortedSize, {158.0, 95.0}));
  ASSERT_TRUE(instance->SetValue(kFilterType, {5.0}));
  const RenderResult one = Render(*instance, layer, 1);
  ASSERT_EQ(one.err, PF_Err_NONE);
  for (int32_t threads : {2, 16}) {
    EXPECT_TRUE(SameImage(Render(*instance, layer, threads).output, one.output)) << threads;
  }
  std::vector<RenderResult> frames(4);
  std::vector<std::thread> renderers;
  for (RenderResult& frame : frames) {
    renderers.emplace_back([&] { frame = Render(*instance, layer, 2); });
  }
  for (std::thread& t : renderers) t.join();
  for (const RenderResult& frame : frames) EXPECT_TRUE(SameImage(frame.output, one.output));
}

// Every filter in every depth renders the whole extent (151 columns: two full runs and a
// short one), writes nothing outside the output, and leaves unmappable pixels transparent:
// with "R4 C2" = -1.5 the lens folds back before the corners.
TEST(RenderFrame, EveryFilterInEveryDepth) {
  for (Depth depth : {Depth::k8, Depth::k16, Depth::kFloat}) {
    const Image layer = Pattern(150, 40, depth);
    for (int32_t filter = 1; filter <= 6; ++filter) {
      auto instance = Instance(150, 40);
      ASSERT_TRUE(instance->SetValue(kLensModel, {3.0}));  // "Radial 4th-order"
      ASSERT_TRUE(instance->SetValue(kR4C2, {-1.5}));
      ASSERT_TRUE(instance->SetValue(kFilterType, {double(filter)}));
      const RenderResult frame = Render(*instance, layer);
      ASSERT_EQ(frame.err, PF_Err_NONE) << filter;
      EXPECT_EQ(frame.output.width, 151);
      EXPECT_EQ(frame.output.height, 41);
      EXPECT_EQ(frame.rowsIterated, 41);
      EXPECT_TRUE(frame.outputPaddingIntact);
      EXPECT_TRUE(frame.inputIntact);
      EXPECT_TRUE(frame.render.Balanced());
      if (filter == 1) continue;  // the host's sampler decides what lies outside
      EXPECT_TRUE(Transparent(frame.output, 0, 0)) << "filter " << filter << ", depth "
                                                  << int(depth);
      EXPECT_FALSE(Transparent(frame.output, 75, 20));
    }
  }
}

// An empty request still renders: nothing to write; with no rows the iterator is called
// all the same, with no columns it is not.
TEST(RenderFrame, EmptyOutputs) {
  const Image layer = Pattern(20, 10, Depth::k8);
  auto instance = Instance(20, 10);
  RenderRequest request;
  request.layer = &layer;
  request.requestRect = PF_LRect{5, 0, 5, 10};
  RenderResult frame = instance->Render(request);
  EXPECT_EQ(frame.err, PF_Err_NONE);
  EXPECT_EQ(frame.output.width, 0);
  EXPECT_EQ(frame.disposals, 1);
  EXPECT_EQ(frame.iterateCalls, 0);  // no column for the iterated one to point at

  request.requestRect = PF_LRect{0, 4, 20, 4};
  frame = instance->Render(request);
  EXPECT_EQ(frame.err, PF_Err_NONE);
  EXPECT_EQ(frame.output.height, 0);
  EXPECT_EQ(frame.iterateCalls, 1);
  EXPECT_EQ(frame.rowsIterated, 0);
}

// ------------------------------------------------------------------ failures

struct FaultCase {
  const char* call;
  int32_t occurrence;
  PF_Err expected;      // kInjected: the injected code comes back unchanged
  bool handedOver;      // the context reached the host (it must dispose of it once)
  bool rendered;        // the output may have been written
  Depth depth;
};

constexpr PF_Err kInjected = 0x1234;

TEST(RenderFrame, EveryInjectedFailure) {
  std::vector<FaultCase> cases = {
      {"AcquireSuite:PF PointParamSuite", 1, PF_Err_BAD_CALLBACK_PARAM, false, false, Depth::k8},
      // A release the host objects to is not the command's failure.
      {"ReleaseSuite:PF PointParamSuite", 1, PF_Err_NONE, true, true, Depth::k8},
      {"checkout_layer", 1, kInjected, true, false, Depth::k8},
      {"checkout_layer", 2, kInjected, true, false, Depth::k8},
      // Smart render.
      {"checkout_layer_pixels", 1, kInjected, true, false, Depth::k8},
      {"checkout_output", 1, kInjected, true, false, Depth::k8},
      {"AcquireSuite:PF Sampling8 Suite", 1, PF_Err_BAD_CALLBACK_PARAM, true, false, Depth::k8},
      {"AcquireSuite:PF SamplingFloat Suite", 1, PF_Err_BAD_CALLBACK_PARAM, true, false,
       Depth::kFloat},
      {"AcquireSuite:PF Iterate8 Suite", 1, PF_Err_BAD_CALLBACK_PARAM, true, false, Depth::k8},
      {"AcquireSuite:PF iterate16 Suite", 1, PF_Err_BAD_CALLBACK_PARAM, true, false, Depth::k16},
      {"PF_GetPixelFormat", 1, PF_Err_BAD_CALLBACK_PARAM, true, false, Depth::k8},
      {"iterate8", 1, kInjected, true, false, Depth::k8},
      {"iterate_float", 1, kInjected, true, false, Depth::kFloat},
      {"get_pixel_data8", 3, kInjected, true, true, Depth::k8},
      {"get_pixel_data16", 1, kInjected, true, true, Depth::k16},
      {"get_pixel_data_float", 2, kInjected, true, true, Depth::kFloat},
  };
  // Pre-render checks out and in 3 popups, 3 sliders, 3 points, then the 6 sliders of the
  // default lens model: every one of them may fail, and so may each point's value.
  for (int32_t k = 1; k <= 15; ++k) {
    cases.push_back({"checkout_param", k, kInjected, false, false, Depth::k8});
    cases.push_back({"checkin_param", k, kInjected, false, false, Depth::k8});
  }
  for (int32_t k = 1; k <= 3; ++k) {
    cases.push_back({"PF_GetFloatingPointValueFromPointDef", k, kInjected, false, false,
                     Depth::k8});
  }
  constexpr uint8_t kFill = 0x5A;
  for (const FaultCase& c : cases) {
    SCOPED_TRACE(std::string(c.call) + " #" + std::to_string(c.occurrence));
    const Image layer = Pattern(70, 6, c.depth);
    auto instance = Instance(70, 6);
    ASSERT_TRUE(instance->SetValue(kFilterType, {3.0}));
    RenderRequest request;
    request.layer = &layer;
    request.outputFill = kFill;
    request.options.faults.push_back(FaultRule{c.call, c.occurrence, kInjected});
    const RenderResult frame = instance->Render(request);
    EXPECT_EQ(frame.err, c.expected == kInjected ? kInjected : c.expected);
    EXPECT_TRUE(frame.preRender.Balanced());
    EXPECT_TRUE(frame.render.Balanced());
    EXPECT_EQ(frame.preRenderOutput.pre_render_data != nullptr, c.handedOver);
    EXPECT_EQ(frame.disposals, c.handedOver ? 1 : 0);
    if (c.expected == PF_Err_BAD_CALLBACK_PARAM && std::strncmp(c.call, "Acquire", 7) == 0 &&
        std::strstr(c.call, "Sampling") == nullptr && std::strstr(c.call, "terate") == nullptr) {
      const harness::CommandRecord& cmd = c.handedOver ? frame.render : frame.preRender;
      EXPECT_STREQ(cmd.outData.return_msg, "Couldn't load suite.");
      EXPECT_TRUE(cmd.outData.out_flags & PF_OutFlag_DISPLAY_ERROR_MESSAGE);
    }
    if (!c.rendered && frame.outputCheckedOut) {
      for (uint8_t b : frame.output.pixels) ASSERT_EQ(b, kFill);
    }
  }
}

TEST(RenderFrame, NoBasicSuite) {
  const Image layer = Pattern(8, 8, Depth::k8);
  auto instance = Instance(8, 8);
  RenderRequest request;
  request.layer = &layer;
  request.options.noBasicSuite = true;
  const RenderResult frame = instance->Render(request);
  EXPECT_EQ(frame.err, PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(frame.preRenderOutput.pre_render_data, nullptr);
  EXPECT_EQ(frame.disposals, 0);
  EXPECT_TRUE(frame.preRender.Balanced());
}

}  // namespace
