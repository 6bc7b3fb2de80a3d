// The built module, loaded and driven by the harness as the host drives it: what the host
// reads before loading it, what it declares, and its side of a frame (which suites and calls
// it uses, in which order, with which arguments, and what it hands the host for odd values).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "Harness.h"
#include "ParamText.h"
#include "Win/PiPLImage.h"
#include "support/LoadedEffect.h"

using namespace harness;

namespace {

using Names = std::vector<std::string>;
using Longs = std::vector<int64_t>;

// The property list as the host's own Windows tools lay it out, byte for byte.
const char kPiplHex[] =
    "0100000000000d0000004d494238646e696b0000000004000000544b46654d49"
    "4238656d616e000000001c0000001b56616e7472656c20416476616e63656420"
    "446973746f7274696f6e4d4942386774616300000000100000000f48616c7661"
    "72642056616e7472656c4d494238343636380000000010000000456e74727950"
    "6f696e7446756e6300004d494238525650650000000004000000020000004d49"
    "42385256536500000000040000000d001c004d49423852455665000000000400"
    "000001060a004d494238464e49650000000002000000000000004d4942384f4c"
    "47650000000004000000400000024d494238324c476500000000040000000814"
    "00084d494238414e4d6500000000180000001448616c76617264205674414658"
    "4164764c656e730000004d4942384c4665610000000004000000080000004d49"
    "42384c52556500000000200000001f68747470733a2f2f76616e7472656c2e65"
    "78616d706c652f737570706f7274";

// The bytes built into the module (the file beside it on Linux, the resource on Windows)
// are the golden ones, and the harness reads from them what the host must.
TEST(Module, PropertyList) {
  std::vector<uint8_t> golden;
  for (size_t i = 0; kPiplHex[i] != 0; i += 2) {
    golden.push_back(uint8_t(std::stoi(std::string(kPiplHex + i, 2), nullptr, 16)));
  }
  EXPECT_EQ(BuildPiPLImage(), golden);
  const EffectHost& host = LoadedEffect();
  EXPECT_EQ(host.PiplBytes(), golden);
  const PiplInfo& p = host.Pipl();
  std::string keys;
  for (const PiplProperty& property : p.properties) {
    keys += FourCCText(property.vendor) + ':' + FourCCText(property.key) + '/' +
            std::to_string(property.length) + ' ';
  }
  EXPECT_EQ(keys,
            "8BIM:kind/4 8BIM:name/28 8BIM:catg/16 8BIM:8664/16 8BIM:ePVR/4 8BIM:eSVR/4 "
            "8BIM:eVER/4 8BIM:eINF/2 8BIM:eGLO/4 8BIM:eGL2/4 8BIM:eMNA/24 8BIM:aeFL/4 "
            "8BIM:eURL/32 ");
  EXPECT_EQ(Longs({p.kind, p.piplMajor, p.piplMinor, p.specMajor, p.specMinor, p.effectVersion,
                   p.infoFlags, p.outFlags, p.outFlags2, p.reservedInfo}),
            Longs({FourCC("eFKT"), 2, 0, 13, 28, 0x000A0601, 0, 0x02000040, 0x08001408, 8}));
  EXPECT_EQ(Names({p.name, p.category, p.entryPoint, p.matchName, p.supportUrl}),
            Names({"Vantrel Advanced Distortion", "Halvard Vantrel", "EntryPointFunc",
                   "Halvard VtAFXAdvLens", "https://vantrel.example/support"}));
}

TEST(Module, AboutAndTheGoldenControls) {
  EffectHost& host = LoadedEffect();
  const CommandRecord about = host.About();
  EXPECT_EQ(std::string(about.outData.return_msg).substr(0, 29), "Vantrel Adv. Distortion 1.4\r\r");
  EXPECT_EQ(about.Calls("sprintf"), 1);
  EXPECT_TRUE(about.Balanced());
  EXPECT_EQ(host.DeclaredParamCount(), 77);
  const std::vector<std::string> golden = GoldenParamLines();
  ASSERT_EQ(host.Params().size(), golden.size() + 1);
  for (PF_ParamIndex i = 1; i <= PF_ParamIndex(golden.size()); ++i) {
    const ParamDecl& p = host.Params()[size_t(i)];
    EXPECT_EQ(ParamLine(i, p.def, p.popupNames), golden[size_t(i - 1)]);
  }
  EffectInstance instance(host);  // every group collapsed, the default model's too
  for (PF_ParamIndex group : {10, 17, 24, 32, 46, 69}) {
    EXPECT_TRUE(instance.Control(group).flags & PF_ParamFlag_COLLAPSE_TWIRLY) << group;
  }
}

constexpr PF_ParamIndex kLensModel = 1, kDistortMode = 2, kFilterType = 3, kZoom = 6;
constexpr PF_ParamIndex kDistortedSize = 7, kUndistortedSize = 8, kLensCenter = 9, kR4C2 = 25;
constexpr uint8_t kFill = 0x5A;

// A 64 x 32 layer of distinct values in the depth's range, with an instance whose sizes are
// the layer's and whose centre is its middle: every step of the identity lens is exact.
Image Layer(Depth depth) {
  Image image = MakeImage(64, 32, depth);
  for (size_t i = 0; i < image.pixels.size(); ++i) image.pixels[i] = uint8_t(i * 37 % 101);
  for (size_t i = 0; depth == Depth::kFloat && i < image.pixels.size() / 4; ++i) {
    const float v = float(i % 97) / 64.0f;
    std::memcpy(&image.pixels[i * 4], &v, 4);
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

// Channel c (0 alpha .. 3 blue) of pixel (x, y) as a double.
double Channel(const Image& image, int32_t x, int32_t y, int c) {
  const size_t size = size_t(PixelBytes(image.depth)) / 4;
  const uint8_t* p = &image.pixels[((size_t(y) * size_t(image.width) + size_t(x)) * 4 + c) * size];
  uint16_t v16;
  float v32;
  if (size == 1) return *p;
  if (size == 2) return std::memcpy(&v16, p, 2), v16;
  return std::memcpy(&v32, p, 4), v32;
}

// The harness's sampler as documented: integer depths the exact weighted sum rounded half
// up, float the stated single-precision expression. Positions stay inside the layer here.
double Bilinear(const Image& image, PF_Fixed fx, PF_Fixed fy, int c) {
  const int32_t x = fx >> 16, y = fy >> 16;
  const double a = Channel(image, x, y, c), b = Channel(image, x + 1, y, c);
  const double d = Channel(image, x, y + 1, c), e = Channel(image, x + 1, y + 1, c);
  if (image.depth == Depth::kFloat) {
    const float wx = float(fx & 0xFFFF) / 65536.0f, wy = float(fy & 0xFFFF) / 65536.0f;
    const float fa = float(a), fb = float(b), fd = float(d), fe = float(e);
    return (fa * (1.0f - wx) + fb * wx) * (1.0f - wy) + (fd * (1.0f - wx) + fe * wx) * wy;
  }
  const double gx = double(fx & 0xFFFF) / 65536.0, gy = double(fy & 0xFFFF) / 65536.0;
  return std::floor((a * (1 - gx) + b * gx) * (1 - gy) + (d * (1 - gx) + e * gx) * gy + 0.5);
}

// "Built-in" in each depth: one iteration over one column of every row, the depth's sampler
// called once per output pixel with the effect's reference, a block that is zero but for its
// source, and 16.16 positions; its pixels are what that sampler gives.
TEST(ModuleRender, BuiltInSamplesThroughTheHostInEveryDepth) {
  const struct {
    Depth depth;
    const char *iterate, *sampler;
  } cases[] = {{Depth::k8, "iterate8", "subpixel_sample"},
               {Depth::k16, "iterate16", "subpixel_sample16"},
               {Depth::kFloat, "iterate_float", "subpixel_sample_float"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.sampler);
    const Image layer = Layer(c.depth);
    EffectInstance instance = Instance();
    ASSERT_TRUE(instance.SetValue(kFilterType, {1}));
    ASSERT_TRUE(instance.SetValue(kZoom, {2}));  // output pixel p samples at p / 2 + 15.75
    RenderRequest request(&layer, 0);
    request.options.recordSamples = true;
    const RenderResult frame = instance.Render(request);
    ASSERT_EQ(frame.err, PF_Err_NONE);
    ASSERT_EQ(Longs({frame.output.width, frame.output.height}), Longs({65, 33}));
    ASSERT_EQ(frame.iterations.size(), 1u);
    const IterateCall& it = frame.iterations[0];
    EXPECT_EQ(it.call, c.iterate);
    ASSERT_TRUE(it.withArea);
    EXPECT_EQ(Longs({it.progressBase, it.progressFinal, it.area.left, it.area.top, it.area.right,
                     it.area.bottom, it.withSource, it.intoOutput}),
              Longs({0, 33, 0, 0, 1, 33, false, true}));
    EXPECT_EQ(it.refcon, frame.preRenderOutput.pre_render_data);
    EXPECT_EQ(frame.render.Calls("checkin_layer_pixels"), 0);
    EXPECT_EQ(frame.render.Calls(c.sampler), 65 * 33);
    EXPECT_EQ(frame.render.Calls("nn_sample") + frame.render.Calls("area_sample"), 0);
    std::vector<std::pair<PF_Fixed, PF_Fixed>> positions, expected;
    for (const SampleCall& s : frame.samples) {
      EXPECT_EQ(s.call, c.sampler);
      EXPECT_EQ(s.effectRef, frame.effectRef);
      PF_SampPB zeroButSource{};
      zeroButSource.src = s.params.src;
      EXPECT_NE(s.params.src, nullptr);
      EXPECT_EQ(std::memcmp(&s.params, &zeroButSource, sizeof zeroButSource), 0);
      positions.emplace_back(s.x, s.y);
    }
    for (int32_t y = 0; y < 33; ++y) {
      for (int32_t x = 0; x < 65; ++x) {
        expected.emplace_back(x * 32768 + 1032192, y * 32768 + 507904);
        for (int ch = 0; ch < 4; ++ch) {
          ASSERT_EQ(Channel(frame.output, x, y, ch),
                    Bilinear(layer, x * 32768 + 1032192, y * 32768 + 507904, ch))
              << x << "," << y << " channel " << ch;
        }
      }
    }
    std::sort(positions.begin(), positions.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(positions, expected);
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

// Suites in the stated order; a refusal skips what needs the suite while the sampling suites
// are loaded all the same, and a refused release changes nothing.
TEST(ModuleRender, SuiteOrderAndRefusals) {
  // W World, P Pixel Data, S Sequence Data, 8/16/F sampling, I Iterate8; + acquire,
  // ! refuse, - release.
  const std::string clean = "+W +P +S +8 +16 +F +I -W -P -S -I -F -16 -8";
  const struct {
    const char* fault;
    PF_Err result;
    std::string log;
  } cases[] = {
      {"", PF_Err_NONE, clean},
      {"ReleaseSuite:PF World Suite", PF_Err_NONE, clean},
      {"ReleaseSuite:PF Iterate8 Suite", PF_Err_NONE, clean},
      {"AcquireSuite:PF World Suite", 516, "!W +8 +16 +F -F -16 -8"},
      {"AcquireSuite:PF Pixel Data Suite", 516, "+W !P +8 +16 +F -W -F -16 -8"},
      {"AcquireSuite:PF Effect Sequence Data Suite", 516, "+W +P !S +8 +16 +F -W -P -F -16 -8"},
  };
  const std::pair<const char*, const char*> names[] = {{"W", "PF World Suite"},
                                                       {"P", "PF Pixel Data Suite"},
                                                       {"S", "PF Effect Sequence Data Suite"},
                                                       {"8", "PF Sampling8 Suite"},
                                                       {"16", "PF Sampling16 Suite"},
                                                       {"F", "PF SamplingFloat Suite"},
                                                       {"I", "PF Iterate8 Suite"}};
  const Image layer = Layer(Depth::k8);
  EffectInstance instance = Instance();
  const RenderResult reference = instance.Render({&layer, 0});
  for (const auto& c : cases) {
    SCOPED_TRACE(c.fault);
    RenderRequest request(&layer, 0);
    if (c.fault[0]) request.options.faults = {{c.fault, 1, PF_Err_OUT_OF_MEMORY}};
    const RenderResult frame = instance.Render(request);
    std::string log;
    for (const std::string& entry : frame.render.suiteLog) {
      const std::string verb = entry.substr(0, entry.find(' ')),
                        name = entry.substr(verb.size() + 1);
      log += std::string(log.empty() ? "" : " ") + (verb == "acquire"  ? "+"
                                                    : verb == "refuse" ? "!"
                                                                       : "-");
      for (const auto& n : names) log += name == n.second ? n.first : "";
    }
    EXPECT_EQ(log, c.log);
    EXPECT_EQ(frame.err, c.result);
    EXPECT_STREQ(frame.render.outData.return_msg, c.result ? "Couldn't load suite." : "");
    if (!c.result) {
      EXPECT_EQ(frame.output.pixels, reference.output.pixels);
    }
  }
}

// A format the world suite reports without error but that is none of the three: 516, and the
// output world as the host handed it over.
TEST(ModuleRender, UnknownPixelFormatLeavesTheOutputAlone) {
  const Image layer = Layer(Depth::k8);
  RenderRequest request(&layer, 0);
  request.outputFill = kFill;
  request.options.reportFormat = 0x34365241;  // 'AR64' read the wrong way round
  const RenderResult frame = Instance().Render(request);
  EXPECT_EQ(frame.err, PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_TRUE(frame.iterations.empty());
  ASSERT_TRUE(frame.outputCheckedOut);
  EXPECT_EQ(frame.output.pixels, std::vector<uint8_t>(frame.output.pixels.size(), kFill));
  EXPECT_TRUE(frame.render.Balanced());
}

// A layer with no pixels (the host hands a 0 x 0 world) renders transparent black with every
// filter in every depth, reading nothing.
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
      for (int32_t i = 0; i < 65 * 33 * 4; ++i) {
        ASSERT_EQ(Channel(frame.output, i / 4 % 65, i / 4 / 65, i % 4), 0.0) << i;
      }
    }
  }
}

// Negative sizes would turn the extent inside out: in every mode the host gets an empty
// rectangle at the formula's corner, and nothing is rendered.
TEST(ModuleRender, NegativeSizesGiveAnEmptyExtentInEveryMode) {
  const struct {
    int32_t mode;
    ParamValue distorted, undistorted;
    Longs extent;
  } cases[] = {
      {1, {64, 32}, {-100, -50}, {81, 40, 81, 40}},
      {2, {64, 32}, {-100, -50}, {0, 0, 0, 0}},
      {3, {-100, -50}, {64, 32}, {81, 40, 81, 40}},
      {1, {64, 32}, {64, -50}, {0, 40, 0, 40}},  // one axis reversed empties both
  };
  for (Depth depth : {Depth::k8, Depth::kFloat}) {
    const Image layer = Layer(depth);
    for (const auto& c : cases) {
      SCOPED_TRACE("mode " + std::to_string(c.mode) + " depth " + std::to_string(int(depth)));
      EffectInstance instance = Instance();
      ASSERT_TRUE(instance.SetValue(kDistortMode, {double(c.mode)}));
      ASSERT_TRUE(instance.SetValue(kDistortedSize, c.distorted));
      ASSERT_TRUE(instance.SetValue(kUndistortedSize, c.undistorted));
      const RenderResult frame = instance.Render({&layer, 0});
      EXPECT_EQ(frame.err, PF_Err_NONE);
      for (const PF_LRect& r :
           {frame.preRenderOutput.max_result_rect, frame.preRenderOutput.result_rect}) {
        EXPECT_EQ(Longs({r.left, r.top, r.right, r.bottom}), c.extent);
      }
      EXPECT_EQ(frame.output.pixels.size(), 0u);
      EXPECT_EQ(frame.callbackCalls, 0);
      EXPECT_TRUE(frame.render.Balanced());
    }
  }
}

}  // namespace
