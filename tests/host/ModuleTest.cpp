// The built module, loaded and driven by the harness as the host drives it: what the host
// reads before loading it, what it declares, and its side of a frame (which suites and calls
// it uses, in which order, with which arguments, and what it hands the host for odd values).
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "Harness.h"
#include "Win/PiPLImage.h"
#include "support/LoadedEffect.h"

using namespace harness;

namespace {

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
// are the golden ones.
TEST(Module, PropertyList) {
  std::vector<uint8_t> golden;
  for (size_t i = 0; kPiplHex[i] != 0; i += 2) {
    golden.push_back(uint8_t(std::stoi(std::string(kPiplHex + i, 2), nullptr, 16)));
  }
  EXPECT_EQ(BuildPiPLImage(), golden);
  EXPECT_EQ(LoadedEffect().PiplBytes(), golden);
}

// A declared parameter as one line of text, the form of ParamsGolden.inc: index, kind, id,
// flags, name and the kind's own fields, then "+junk" when any other byte of the record is
// not zero.
// The shortest text that reads back as the same value (as a float when `single`).
std::string Shortest(double v, bool single) {
  char text[32];
  return std::string(text, single ? std::to_chars(text, text + 32, float(v)).ptr
                                  : std::to_chars(text, text + 32, v).ptr);
}

std::string ParamLine(PF_ParamIndex index, const PF_ParamDef& def, const std::string& list) {
  PF_ParamDef rest = def;
  std::ostringstream line;
  line << index << ' ';
  switch (def.param_type) {
    case PF_Param_POPUP: line << "popup"; break;
    case PF_Param_FLOAT_SLIDER: line << "slider"; break;
    case PF_Param_POINT: line << "point"; break;
    case PF_Param_GROUP_START: line << "start"; break;
    case PF_Param_GROUP_END: line << "end"; break;
    default: line << "type " << def.param_type;
  }
  line << " '";
  for (int shift = 24; shift >= 0 && def.uu.id != 0; shift -= 8) line << char(def.uu.id >> shift);
  line << "' " << def.flags << " \"" << def.name << '"';
  if (def.param_type == PF_Param_POPUP) {
    const PF_PopupDef& p = def.u.pd;
    line << " default " << p.dephault << " value " << p.value << " of " << p.num_choices << ' '
         << list;
    rest.u.pd.value = rest.u.pd.num_choices = rest.u.pd.dephault = 0;
    rest.u.pd.u.namesptr = nullptr;
  } else if (def.param_type == PF_Param_FLOAT_SLIDER) {
    const PF_FloatSliderDef& s = def.u.fs_d;
    line << " valid " << Shortest(s.valid_min, true) << ".." << Shortest(s.valid_max, true)
         << " slider " << Shortest(s.slider_min, true) << ".." << Shortest(s.slider_max, true)
         << " default " << Shortest(s.dephault, true) << " value " << Shortest(s.value, false)
         << " precision " << s.precision;
    PF_FloatSliderDef& r = rest.u.fs_d;
    r.valid_min = r.valid_max = r.slider_min = r.slider_max = r.dephault = 0;
    r.value = 0;
    r.precision = 0;
  } else if (def.param_type == PF_Param_POINT) {
    const PF_PointDef& p = def.u.td;
    line << " default " << Shortest(p.x_dephault / 65536.0, false) << ','
         << Shortest(p.y_dephault / 65536.0, false) << " value "
         << Shortest(p.x_value / 65536.0, false) << ',' << Shortest(p.y_value / 65536.0, false);
    rest.u.td.x_dephault = rest.u.td.y_dephault = rest.u.td.x_value = rest.u.td.y_value = 0;
  }
  rest.uu.id = 0;
  rest.param_type = 0;
  rest.flags = 0;
  std::memset(rest.name, 0, sizeof rest.name);
  const auto* bytes = reinterpret_cast<const unsigned char*>(&rest);
  const bool junk = std::any_of(bytes, bytes + sizeof rest, [](unsigned char b) { return b; });
  return line.str() + (junk ? " +junk" : "");
}

// One parameter (1..76) a line, after a blank one.
const char kGoldenParams[] =
#include "ParamsGolden.inc"
    ;

TEST(Module, AboutAndTheGoldenControls) {
  EffectHost& host = LoadedEffect();
  const CommandRecord about = host.About();
  EXPECT_STREQ(about.outData.return_msg,
               "Vantrel Adv. Distortion 1.4\r\rVantrel Advanced Distortion\r"
               "Removes or applies camera-lens distortion with the Vantrel lens models.\r"
               "Twelve models, three modes, six resampling filters.\r"
               "Copyright 2026 Halvard Vantrel.");
  EXPECT_EQ(about.Calls("sprintf"), 1);
  EXPECT_TRUE(about.Balanced());
  EXPECT_EQ(host.DeclaredParamCount(), 77);
  std::string text = "\n";
  for (PF_ParamIndex i = 1; i < PF_ParamIndex(host.Params().size()); ++i) {
    const ParamDecl& p = host.Params()[size_t(i)];
    text += ParamLine(i, p.def, p.popupNames) + '\n';
  }
  EXPECT_EQ(text, kGoldenParams);
  EffectInstance instance(host);  // every group collapsed, the default model's too
  for (PF_ParamIndex group : {10, 17, 24, 32, 46, 69}) {
    EXPECT_TRUE(instance.Control(group).flags & PF_ParamFlag_COLLAPSE_TWIRLY) << group;
  }
}

constexpr PF_ParamIndex kLensModel = 1, kDistortMode = 2, kFilterType = 3, kZoom = 6;
constexpr PF_ParamIndex kDistortedSize = 7, kUndistortedSize = 8, kLensCenter = 9, kR4C2 = 25;
constexpr uint8_t kFill = 0x5A;

// Version and flags are written on every way out but a missing basic suite (the host's own
// out_flags bits kept, out_flags2 replaced); only a refused suite is an error, with the
// host's message unless its sprintf fails.
TEST(Module, GlobalSetupWhateverTheHostDoes) {
  EffectHost& host = LoadedEffect();
  PF_OutData start{};
  start.out_flags = PF_OutFlag_NON_PARAM_VARY;
  start.out_flags2 = PF_OutFlag2_I_USE_3D_CAMERA;
  const FaultRule refused{"AcquireSuite:PF ANSI Suite", 1, 99};
  const struct {
    CallOptions options;
    PF_Err result;
    const char* message;  // null: nothing written
  } cases[] = {{{}, 0, ""},
               {{{refused}}, 516, "Couldn't load suite."},
               {{{refused, {"sprintf", 1, 1}}}, 516, ""},
               {{{}, true}, 516, nullptr},
               {{{{"ReleaseSuite:PF ANSI Suite", 0, 99}}}, 0, ""}};
  for (const auto& c : cases) {
    SCOPED_TRACE(&c - cases);
    const CommandRecord r = host.SendCommand(PF_Cmd_GLOBAL_SETUP, start, nullptr, c.options);
    const PF_OutData& out = r.outData;
    EXPECT_EQ(r.result, c.result);
    EXPECT_EQ(out.my_version, c.message ? 0x000A0601u : 0u);
    EXPECT_EQ(out.out_flags, (c.message ? 0x02000040 : 0) | PF_OutFlag_NON_PARAM_VARY |
                                 (c.result && c.message ? PF_OutFlag_DISPLAY_ERROR_MESSAGE : 0));
    EXPECT_EQ(out.out_flags2, c.message ? 0x08001408 : PF_OutFlag2_I_USE_3D_CAMERA);
    EXPECT_STREQ(out.return_msg, c.message ? c.message : "");
    EXPECT_TRUE(r.Balanced());
  }
  EXPECT_THROW(host.GlobalSetup({{{"no_such_call", 1, 1}}}), std::invalid_argument);
  EXPECT_THROW(host.GlobalSetup({{{"AcquireSuite:PF World Suite 3", 1, 1}}}),
               std::invalid_argument);
}

// A layer of distinct values in the depth's range, with an instance whose sizes are the
// layer's and whose centre is its middle: every step of the identity lens is exact.
Image Layer(Depth depth, int32_t width = 64, int32_t height = 32) {
  Image image = MakeImage(width, height, depth);
  for (size_t i = 0; i < image.pixels.size(); ++i) image.pixels[i] = uint8_t(i * 37 % 101);
  for (size_t i = 0; depth == Depth::kFloat && i < image.pixels.size() / 4; ++i) {
    const float v = float(i % 97) / 64.0f;
    std::memcpy(&image.pixels[i * 4], &v, 4);
  }
  return image;
}

EffectInstance Instance(int32_t width = 64, int32_t height = 32) {
  EffectInstance instance(LoadedEffect());
  instance.SetLayerSize(width, height);
  EXPECT_TRUE(instance.SetValue(kDistortedSize, {double(width), double(height)}));
  EXPECT_TRUE(instance.SetValue(kUndistortedSize, {double(width), double(height)}));
  EXPECT_TRUE(instance.SetValue(kLensCenter, {width / 2.0, height / 2.0}));
  return instance;
}

// FNV-1a of the pixels: golden outputs in one number each.
uint64_t Fingerprint(const Image& image) {
  uint64_t h = 14695981039346656037u;
  for (uint8_t byte : image.pixels) h = (h ^ byte) * 1099511628211u;
  return h;
}

// "Built-in" in each depth: one iteration over one column of every row, the depth's sampler
// called once per output pixel with the effect's reference, a block that is zero but for its
// source, and 16.16 positions; its pixels are what the host's bilinear sampler gives there.
TEST(ModuleRender, BuiltInSamplesThroughTheHostInEveryDepth) {
  const struct {
    Depth depth;
    const char *iterate, *sampler;
    uint64_t pixels;
  } cases[] = {{Depth::k8, "iterate8", "subpixel_sample", 954086565450374491u},
               {Depth::k16, "iterate16", "subpixel_sample16", 11194536581853889398u},
               {Depth::kFloat, "iterate_float", "subpixel_sample_float", 7044038481596215567u}};
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
      for (int32_t x = 0; x < 65; ++x)
        expected.emplace_back(x * 32768 + 1032192, y * 32768 + 507904);
    }
    EXPECT_EQ(Fingerprint(frame.output), c.pixels);
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
  // W World, P Pixel Data, E Effect Sequence Data, 8/16/Float sampling, I Iterate8;
  // + acquire, ! refuse, - release.
  const std::string clean = "+W +P +E +8 +16 +Float +I -W -P -E -I -Float -16 -8";
  const struct {
    const char* fault;
    PF_Err result;
    std::string log;
  } cases[] = {
      {"", PF_Err_NONE, clean},
      {"ReleaseSuite:PF World Suite", PF_Err_NONE, clean},
      {"ReleaseSuite:PF Iterate8 Suite", PF_Err_NONE, clean},
      {"AcquireSuite:PF World Suite", 516, "!W +8 +16 +Float -Float -16 -8"},
      {"AcquireSuite:PF Pixel Data Suite", 516, "+W !P +8 +16 +Float -W -Float -16 -8"},
      {"AcquireSuite:PF Effect Sequence Data Suite", 516,
       "+W +P !E +8 +16 +Float -W -P -Float -16 -8"},
  };
  const Image layer = Layer(Depth::k8);
  EffectInstance instance = Instance();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.fault);
    RenderRequest request(&layer, 0);
    if (c.fault[0]) request.options.faults = {{c.fault, 1, PF_Err_OUT_OF_MEMORY}};
    const RenderResult frame = instance.Render(request);
    std::string log;
    for (const std::string& entry : frame.render.suiteLog) {
      // "acquire PF Sampling16 Suite" is "+16", "release PF World Suite" "-W".
      const size_t name = entry.find(' ') + 4;
      const std::string word = entry.substr(name, entry.find(' ', name) - name);
      log += std::string(log.empty() ? "" : " ") +
             "+!-"[entry[0] == 'a'   ? 0
                   : entry[2] == 'f' ? 1
                                     : 2] +
             (word.rfind("Sampling", 0) == 0 ? word.substr(8) : word.substr(0, 1));
    }
    EXPECT_EQ(log, c.log);
    EXPECT_EQ(frame.err, c.result);
    EXPECT_STREQ(frame.render.outData.return_msg, c.result ? "Couldn't load suite." : "");
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
      EXPECT_EQ(frame.output.pixels, std::vector<uint8_t>(65 * 33 * size_t(PixelBytes(depth)), 0));
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

// Every output pixel over the layer is the layer's.
void ExpectCopy(const Image& out, const Image& layer) {
  const size_t bytes = size_t(PixelBytes(layer.depth));
  const size_t row = size_t(std::min(out.width, layer.width - out.originX)) * bytes;
  for (int32_t y = 0; y < out.height && y + out.originY < layer.height; ++y) {
    const size_t from = size_t((y + out.originY) * layer.width + out.originX) * bytes;
    EXPECT_EQ(std::memcmp(&out.pixels[size_t(y * out.width) * bytes], &layer.pixels[from], row), 0)
        << y;
  }
}

// The request limits the output world; worlds over the host's 30000 pixels are refused as out
// of memory.
TEST(ModuleRender, TheRequestAndTheHostsLimitShapeTheOutputWorld) {
  const Image layer = Layer(Depth::k8);
  EffectInstance instance = Instance();
  ASSERT_TRUE(instance.SetValue(kFilterType, {2}));
  RenderRequest request{&layer, 0};
  request.requestRect = PF_LRect{-1, 3, 5, 30};
  RenderResult r = instance.Render(request);
  ASSERT_EQ(r.err, 0);
  EXPECT_EQ(
      std::vector<int32_t>({r.output.originX, r.output.originY, r.output.width, r.output.height}),
      std::vector<int32_t>({0, 3, 5, 27}));
  ExpectCopy(r.output, layer);

  const Image line = Layer(Depth::k8, 100, 1);
  EffectInstance wide = Instance(100, 1);
  ASSERT_TRUE(wide.SetValue(kFilterType, {2}));
  for (double width : {29999.0, 30000.0}) {
    ASSERT_TRUE(wide.SetValue(kUndistortedSize, {width, 1}));
    r = wide.Render({&line, 0});
    EXPECT_EQ(r.err, width < 30000 ? 0 : PF_Err_OUT_OF_MEMORY);
    EXPECT_EQ(r.output.width, width < 30000 ? 30000 : 0);
    EXPECT_EQ(r.outputCheckedOut, width < 30000);
    EXPECT_EQ(r.disposals, 1);
    EXPECT_TRUE(r.render.Balanced());
  }
}

// The user cancelling during the rows, or before them: the frame stops with the host's
// code and its data is still disposed of.
TEST(ModuleRender, CancelStopsTheFrame) {
  const Image layer = Layer(Depth::k16, 4, 20);
  RenderRequest request{&layer, 0};
  request.options.iterateThreads = 1;
  request.options.abortAfterRows = 3;
  EffectInstance instance = Instance(4, 20);
  ASSERT_TRUE(instance.SetValue(kFilterType, {2}));
  RenderResult r = instance.Render(request);
  EXPECT_EQ(r.err, PF_Interrupt_CANCEL);
  EXPECT_EQ(r.rowsIterated, 3);
  EXPECT_EQ(r.disposals, 1);
  std::atomic<bool> cancel{true};
  request.options.abortAfterRows = -1;
  request.options.abort = &cancel;
  r = instance.Render(request);
  EXPECT_EQ(r.err, PF_Interrupt_CANCEL);
  EXPECT_EQ(r.rowsIterated, 0);
}

}  // namespace
