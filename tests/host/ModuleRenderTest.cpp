// The built module's side of a frame, seen from the host: which suites and calls it uses,
// in which order, with which arguments, and what it hands the host for odd parameters.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "Harness.h"
#include "support/LoadedEffect.h"

using namespace harness;

namespace {

constexpr PF_ParamIndex kLensModel = 1, kDistortMode = 2, kFilterType = 3, kZoom = 6;
constexpr PF_ParamIndex kDistortedSize = 7, kUndistortedSize = 8, kLensCenter = 9, kR4C2 = 25;
constexpr uint8_t kFill = 0x5A;

// A 64 x 32 layer of distinct values in the depth's range, with an instance whose sizes are
// the layer's and whose centre is its middle: every step of the identity lens is exact.
Image Layer(Depth depth) {
  Image image = MakeImage(64, 32, depth);
  for (size_t i = 0; i < image.pixels.size(); ++i) image.pixels[i] = uint8_t(i * 37 % 101);
  if (depth == Depth::kFloat) {
    for (size_t i = 0; i < image.pixels.size() / 4; ++i) {
      const float v = float(i % 97) / 64.0f;
      std::memcpy(&image.pixels[i * 4], &v, 4);
    }
  }
  return image;
}

EffectInstance Instance() {
  EffectInstance instance(LoadedEffect());
  instance.SetLayerSize(64, 32);
  EXPECT_TRUE(instance.SetValue(kDistortedSize, {64, 32}));
  EXPECT_TRUE(instance.SetValue(kUndistortedSize, {64, 32}));
  EXPECT_TRUE(instance.SetValue(kLensCenter, {32, 16}));
  return instance;
}

// Channel c of pixel (x, y) as a double.
double Channel(const Image& image, int32_t x, int32_t y, int c) {
  const size_t at = (size_t(y) * size_t(image.width) + size_t(x)) * size_t(PixelBytes(image.depth));
  if (image.depth == Depth::k8) return image.pixels[at + size_t(c)];
  if (image.depth == Depth::k16) {
    uint16_t v;
    std::memcpy(&v, &image.pixels[at + 2 * size_t(c)], 2);
    return v;
  }
  float v;
  std::memcpy(&v, &image.pixels[at + 4 * size_t(c)], 4);
  return v;
}

// The harness's sampler as documented: integer depths the exact weighted sum rounded half
// up, float the stated single-precision expression. Positions stay inside the layer here.
double Bilinear(const Image& image, PF_Fixed fx, PF_Fixed fy, int c) {
  const int32_t x = fx >> 16, y = fy >> 16;
  const float wx = float(fx & 0xFFFF) / 65536.0f, wy = float(fy & 0xFFFF) / 65536.0f;
  const double a = Channel(image, x, y, c), b = Channel(image, x + 1, y, c);
  const double d = Channel(image, x, y + 1, c), e = Channel(image, x + 1, y + 1, c);
  if (image.depth == Depth::kFloat) {
    const float fa = float(a), fb = float(b), fd = float(d), fe = float(e);
    return (fa * (1.0f - wx) + fb * wx) * (1.0f - wy) + (fd * (1.0f - wx) + fe * wx) * wy;
  }
  const double gx = double(fx & 0xFFFF) / 65536.0, gy = double(fy & 0xFFFF) / 65536.0;
  const double sum = (a * (1 - gx) + b * gx) * (1 - gy) + (d * (1 - gx) + e * gx) * gy;
  return std::floor(sum + 0.5);
}

// "Built-in" in each depth: one iteration over one column of every row, the sampler of the
// depth called once per output pixel with the effect's reference, a block that is zero but
// for its source, and 16.16 positions; its pixels are what that sampler gives.
TEST(ModuleRender, BuiltInSamplesThroughTheHostInEveryDepth) {
  struct Case {
    Depth depth;
    const char* iterate;
    const char* sampler;
  };
  const Case cases[] = {{Depth::k8, "iterate8", "subpixel_sample"},
                        {Depth::k16, "iterate16", "subpixel_sample16"},
                        {Depth::kFloat, "iterate_float", "subpixel_sample_float"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sampler);
    const Image layer = Layer(c.depth);
    EffectInstance instance = Instance();
    ASSERT_TRUE(instance.SetValue(kFilterType, {1}));
    ASSERT_TRUE(instance.SetValue(kZoom, {2}));  // output pixel p samples at p / 2 + 15.75
    RenderRequest request(&layer, 0);
    request.options.recordSamples = true;
    const RenderResult frame = instance.Render(request);
    ASSERT_EQ(frame.err, PF_Err_NONE);
    const Image& out = frame.output;
    ASSERT_EQ(std::vector<int32_t>({out.width, out.height}), std::vector<int32_t>({65, 33}));

    ASSERT_EQ(frame.iterations.size(), 1u);
    const IterateCall& it = frame.iterations[0];
    EXPECT_EQ(it.call, c.iterate);
    EXPECT_EQ(std::vector<A_long>({it.progressBase, it.progressFinal}),
              std::vector<A_long>({0, 33}));
    EXPECT_FALSE(it.withSource);
    ASSERT_TRUE(it.withArea);
    EXPECT_EQ(std::vector<A_long>({it.area.left, it.area.top, it.area.right, it.area.bottom}),
              std::vector<A_long>({0, 0, 1, 33}));
    EXPECT_EQ(it.refcon, frame.preRenderOutput.pre_render_data);
    EXPECT_TRUE(it.intoOutput);
    EXPECT_EQ(frame.render.Calls("checkin_layer_pixels"), 0);
    EXPECT_EQ(frame.render.Calls(c.sampler), 65 * 33);
    EXPECT_EQ(frame.render.Calls("nn_sample") + frame.render.Calls("area_sample"), 0);

    std::vector<std::pair<PF_Fixed, PF_Fixed>> positions;
    for (const SampleCall& s : frame.samples) {
      EXPECT_EQ(s.call, c.sampler);
      EXPECT_EQ(s.effectRef, frame.effectRef);
      PF_SampPB zeroButSource{};
      zeroButSource.src = s.params.src;
      EXPECT_NE(s.params.src, nullptr);
      EXPECT_EQ(std::memcmp(&s.params, &zeroButSource, sizeof zeroButSource), 0);
      positions.emplace_back(s.x, s.y);
    }
    std::vector<std::pair<PF_Fixed, PF_Fixed>> expected;
    for (int32_t y = 0; y < 33; ++y) {
      for (int32_t x = 0; x < 65; ++x) expected.emplace_back(x * 32768 + 1032192, y * 32768 + 507904);
    }
    std::sort(positions.begin(), positions.end());
    std::sort(expected.begin(), expected.end());
    ASSERT_EQ(positions, expected);
    for (int32_t y = 0; y < 33; ++y) {
      for (int32_t x = 0; x < 65; ++x) {
        for (int ch = 0; ch < 4; ++ch) {
          ASSERT_EQ(Channel(out, x, y, ch),
                    Bilinear(layer, x * 32768 + 1032192, y * 32768 + 507904, ch))
              << x << "," << y << " channel " << ch;
        }
      }
    }
  }
}

// A position the lens cannot map reaches the host's sampler as the fixed-point marker.
TEST(ModuleRender, BuiltInHandsUnmappablePositionsAsTheMarker) {
  const Image layer = Layer(Depth::k8);
  EffectInstance instance = Instance();
  ASSERT_TRUE(instance.SetValue(kFilterType, {1}));
  ASSERT_TRUE(instance.SetValue(kLensModel, {3}));  // folds near the corners
  ASSERT_TRUE(instance.SetValue(kR4C2, {-1}));
  RenderRequest request(&layer, 0);
  request.options.recordSamples = true;
  const RenderResult frame = instance.Render(request);
  ASSERT_EQ(frame.err, PF_Err_NONE);
  int32_t markers = 0;
  for (const SampleCall& s : frame.samples) {
    EXPECT_EQ(s.x == INT32_MIN, s.y == INT32_MIN);
    markers += s.x == INT32_MIN;
  }
  EXPECT_GT(markers, 0);
  EXPECT_LT(markers, int32_t(frame.samples.size()));
}

// Suites in the stated order; a refusal skips what needs the suite while the sampling
// suites are loaded all the same, and a refused release changes nothing.
TEST(ModuleRender, SuiteOrderAndRefusals) {
  struct Case {
    const char* fault;
    PF_Err result;
    std::vector<std::string> log;  // W World, P Pixel Data, S Sequence Data, 8/16/F sampling,
                                   // I Iterate8; + acquire, ! refuse, - release
  };
  const std::vector<std::string> clean = {"+W", "+P", "+S", "+8", "+16", "+F", "+I",
                                          "-W", "-P", "-S", "-I", "-F", "-16", "-8"};
  const Case cases[] = {
      {"", PF_Err_NONE, clean},
      {"ReleaseSuite:PF World Suite", PF_Err_NONE, clean},
      {"ReleaseSuite:PF Iterate8 Suite", PF_Err_NONE, clean},
      {"AcquireSuite:PF World Suite", PF_Err_BAD_CALLBACK_PARAM,
       {"!W", "+8", "+16", "+F", "-F", "-16", "-8"}},
      {"AcquireSuite:PF Pixel Data Suite", PF_Err_BAD_CALLBACK_PARAM,
       {"+W", "!P", "+8", "+16", "+F", "-W", "-F", "-16", "-8"}},
      {"AcquireSuite:PF Effect Sequence Data Suite", PF_Err_BAD_CALLBACK_PARAM,
       {"+W", "+P", "!S", "+8", "+16", "+F", "-W", "-P", "-F", "-16", "-8"}},
  };
  const std::pair<const char*, const char*> names[] = {
      {"W", "PF World Suite"},     {"P", "PF Pixel Data Suite"},
      {"S", "PF Effect Sequence Data Suite"}, {"8", "PF Sampling8 Suite"},
      {"16", "PF Sampling16 Suite"}, {"F", "PF SamplingFloat Suite"},
      {"I", "PF Iterate8 Suite"}};
  const Image layer = Layer(Depth::k8);
  EffectInstance instance = Instance();
  const RenderResult reference = instance.Render({&layer, 0});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fault);
    RenderRequest request(&layer, 0);
    if (c.fault[0]) request.options.faults = {{c.fault, 1, PF_Err_OUT_OF_MEMORY}};
    const RenderResult frame = instance.Render(request);
    std::vector<std::string> log;
    for (const std::string& entry : c.log) {
      const char* verb = entry[0] == '+' ? "acquire " : entry[0] == '!' ? "refuse " : "release ";
      for (const auto& n : names) {
        if (entry.substr(1) == n.first) log.push_back(verb + std::string(n.second));
      }
    }
    EXPECT_EQ(frame.render.suiteLog, log);
    EXPECT_EQ(frame.err, c.result);
    EXPECT_STREQ(frame.render.outData.return_msg, c.result ? "Couldn't load suite." : "");
    if (!c.result) {
      EXPECT_EQ(frame.output.pixels, reference.output.pixels);
    }
  }
}

// A format the world suite reports without error but that is none of the three: 516, and
// the output world as the host handed it over.
TEST(ModuleRender, UnknownPixelFormatLeavesTheOutputAlone) {
  const Image layer = Layer(Depth::k8);
  EffectInstance instance = Instance();
  RenderRequest request(&layer, 0);
  request.outputFill = kFill;
  request.options.reportFormat = 0x34365241;  // 'AR64' read the wrong way round
  const RenderResult frame = instance.Render(request);
  EXPECT_EQ(frame.err, PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_TRUE(frame.iterations.empty());
  ASSERT_TRUE(frame.outputCheckedOut);
  EXPECT_EQ(frame.output.pixels, std::vector<uint8_t>(frame.output.pixels.size(), kFill));
  EXPECT_TRUE(frame.render.Balanced());
}

// A layer with no pixels (the host hands a 0 x 0 world) renders transparent black with
// every filter in every depth, reading nothing.
TEST(ModuleRender, EmptyLayerRendersTransparent) {
  for (Depth depth : {Depth::k8, Depth::k16, Depth::kFloat}) {
    const Image layer = MakeImage(0, 0, depth);
    for (int filter = 1; filter <= 6; ++filter) {
      SCOPED_TRACE("filter " + std::to_string(filter) + " depth " + std::to_string(int(depth)));
      EffectInstance instance = Instance();
      ASSERT_TRUE(instance.SetValue(kFilterType, {double(filter)}));
      RenderRequest request(&layer, 0);
      request.outputFill = kFill;
      const RenderResult frame = instance.Render(request);
      EXPECT_EQ(frame.err, PF_Err_NONE);
      ASSERT_EQ(frame.output.width, 65);
      for (size_t i = 0; i < frame.output.pixels.size(); i += 4) {
        float v;  // as bytes, -0 shows as 0x80 in the last byte of a float
        std::memcpy(&v, &frame.output.pixels[i], 4);
        ASSERT_TRUE(depth == Depth::kFloat ? v == 0.0f
                                           : std::memcmp(&frame.output.pixels[i], "\0\0\0\0", 4) == 0)
            << i;
      }
    }
  }
}

// Negative sizes would turn the extent inside out: in every mode the host gets an empty
// rectangle at the formula's corner, and nothing is rendered.
TEST(ModuleRender, NegativeSizesGiveAnEmptyExtentInEveryMode) {
  struct Case {
    int32_t mode;
    ParamValue distorted, undistorted;
    PF_LRect extent;
  };
  const Case cases[] = {
      {1, {64, 32}, {-100, -50}, {81, 40, 81, 40}},
      {2, {64, 32}, {-100, -50}, {0, 0, 0, 0}},
      {3, {-100, -50}, {64, 32}, {81, 40, 81, 40}},
      {1, {64, 32}, {64, -50}, {0, 40, 0, 40}},  // one axis reversed empties both
  };
  for (Depth depth : {Depth::k8, Depth::kFloat}) {
    const Image layer = Layer(depth);
    for (const Case& c : cases) {
      SCOPED_TRACE("mode " + std::to_string(c.mode) + " depth " + std::to_string(int(depth)));
      EffectInstance instance = Instance();
      ASSERT_TRUE(instance.SetValue(kDistortMode, {double(c.mode)}));
      ASSERT_TRUE(instance.SetValue(kDistortedSize, c.distorted));
      ASSERT_TRUE(instance.SetValue(kUndistortedSize, c.undistorted));
      const RenderResult frame = instance.Render({&layer, 0});
      EXPECT_EQ(frame.err, PF_Err_NONE);
      for (const PF_LRect& r :
           {frame.preRenderOutput.max_result_rect, frame.preRenderOutput.result_rect}) {
        EXPECT_EQ(std::vector<A_long>({r.left, r.top, r.right, r.bottom}),
                  std::vector<A_long>({c.extent.left, c.extent.top, c.extent.right,
                                       c.extent.bottom}));
      }
      EXPECT_EQ(frame.output.pixels.size(), 0u);
      EXPECT_EQ(frame.callbackCalls, 0);
      EXPECT_TRUE(frame.render.Balanced());
    }
  }
}

}  // namespace
