// The built module, loaded and driven by the harness as the host drives it: what the host
// reads before loading it, what it declares, and its side of a frame (which suites and calls
// it uses, in which order, with which arguments, and what it hands the host for odd values).
// Then under every failure the host can make: each host call that a command or a frame makes
// is failed in turn, at every occurrence, and whatever the effect answers, it must give back
// everything it took, hand its frame data to the host at most once, and write nothing outside
// the output world.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
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
  for (const char* at = kPiplHex; *at; at += 2)
    golden.push_back(uint8_t(std::stoi({at, 2}, 0, 16)));
  EXPECT_EQ(BuildPiPLImage(), golden);
  EXPECT_EQ(LoadedEffect().PiplBytes(), golden);
}

// The shortest text that reads back as the same value (as a float when `single`).
std::string Shortest(double v, bool single) {
  char text[32];
  return std::string(text, single ? std::to_chars(text, text + 32, float(v)).ptr
                                  : std::to_chars(text, text + 32, v).ptr);
}

// A declared parameter as one line of text, the form of ParamsGolden.inc: index, kind, id,
// flags, name and the kind's own fields.
std::string ParamLine(PF_ParamIndex index, const PF_ParamDef& def, const std::string& list) {
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
  } else if (def.param_type == PF_Param_FLOAT_SLIDER) {
    const PF_FloatSliderDef& s = def.u.fs_d;
    line << " valid " << Shortest(s.valid_min, true) << ".." << Shortest(s.valid_max, true)
         << " slider " << Shortest(s.slider_min, true) << ".." << Shortest(s.slider_max, true)
         << " default " << Shortest(s.dephault, true) << " value " << Shortest(s.value, false)
         << " precision " << s.precision;
  } else if (def.param_type == PF_Param_POINT) {
    const PF_PointDef& p = def.u.td;
    line << " default " << Shortest(p.x_dephault / 65536.0, false) << ','
         << Shortest(p.y_dephault / 65536.0, false) << " value "
         << Shortest(p.x_value / 65536.0, false) << ',' << Shortest(p.y_value / 65536.0, false);
  }
  return line.str();
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
  EXPECT_EQ(text, kGoldenParams);  // every group collapsed (32), the default model's too
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

// Changing Lens Model opens its family's group and collapses the others that are open, in the
// order 10, 24, 32, 46, 17, 69, each update the control as the host handed it with only the
// twirl flipped and the change marked, and the host's controls follow (a group the user
// opened or closed by hand too); a change to any other parameter updates nothing, and only
// Lens Model is supervised.
TEST(Module, LensModelChangeOpensItsGroupOnly) {
  struct Case {
    double model;
    std::vector<PF_ParamIndex> open;
    std::string expected;  // the groups updated in order, + opened, - collapsed
    PF_ParamIndex changed = kLensModel;
  };
  std::vector<Case> cases = {{1, {69, 17, 46, 24, 32}, "+10 -24 -32 -46 -17 -69"},
                             {11, {10, 24, 32, 46, 17, 69}, "-10 -24 -32 -46 -17"}};
  const PF_ParamIndex groupOf[] = {0, 10, 17, 24, 24, 32, 32, 46, 46, 69, 69, 69, 69};
  for (int model = 1; model <= 12; ++model) {
    cases.push_back({double(model), {}, "+" + std::to_string(groupOf[model])});
    cases.push_back({double(model), {groupOf[model]}, ""});
  }
  for (PF_ParamIndex changed : {0, 2, 3, 9, 10, 21, 76, 77, -1})
    cases.push_back({4, {}, "", changed});
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.model) + " changed " + std::to_string(c.changed));
    EffectInstance instance(LoadedEffect());
    ASSERT_TRUE(instance.SetValue(kLensModel, {c.model}));
    for (PF_ParamIndex group : c.open) instance.SetGroupCollapsed(group, false);
    std::vector<PF_ParamDef> before(77);
    for (PF_ParamIndex i = 0; i < 77; ++i)
      instance.FillParamDef(i, 0, 1920, 1080, before[size_t(i)]);
    const CommandRecord r = instance.UserChangedParam(c.changed);
    std::string updates;
    for (const ParamUiUpdate& u : r.uiUpdates) {
      const PF_ParamDef& was = before[size_t(u.index)];
      updates += std::string(updates.empty() ? "" : " ") +
                 (u.def.flags & PF_ParamFlag_COLLAPSE_TWIRLY ? '-' : '+') + std::to_string(u.index);
      EXPECT_TRUE(u.def.flags == (was.flags ^ PF_ParamFlag_COLLAPSE_TWIRLY) &&
                  u.def.uu.change_flags == (was.uu.change_flags | PF_ChangeFlag_CHANGED_VALUE) &&
                  u.def.param_type == was.param_type && std::strcmp(u.def.name, was.name) == 0);
      EXPECT_EQ(instance.Control(u.index).flags, u.def.flags);
    }
    EXPECT_EQ(updates, c.expected);
    EXPECT_TRUE(r.result == 0 && r.Balanced());
    EXPECT_EQ(r.suites.size(), c.changed == kLensModel ? 1u : 0u);
  }
  EffectInstance instance(LoadedEffect());
  EXPECT_TRUE(instance.ChangeParam(kLensModel, {3}).sent);
  EXPECT_FALSE(instance.ChangeParam(kDistortMode, {2}).sent);
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

// `set` then changes more controls.
EffectInstance Instance(std::vector<std::pair<PF_ParamIndex, ParamValue>> set = {},
                        int32_t width = 64, int32_t height = 32) {
  EffectInstance instance(LoadedEffect());
  instance.SetLayerSize(width, height);
  set.insert(set.begin(), {{kDistortedSize, {double(width), double(height)}},
                           {kUndistortedSize, {double(width), double(height)}},
                           {kLensCenter, {width / 2.0, height / 2.0}}});
  for (const auto& [index, value] : set) EXPECT_TRUE(instance.SetValue(index, value)) << index;
  return instance;
}

// FNV-1a of the pixels: golden outputs in one number each.
uint64_t Fingerprint(const Image& image) {
  uint64_t h = 14695981039346656037u;
  for (uint8_t byte : image.pixels) h = (h ^ byte) * 1099511628211u;
  return h;
}

// "Built-in" in each depth: one iteration over one column of every row, the depth's sampler
// called once per output pixel with the effect's reference and a block that is zero but for
// its source; its pixels are what the host's bilinear sampler gives there.
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
    // Output pixel p samples at p / 2 + 15.75.
    EffectInstance instance = Instance({{kFilterType, {1}}, {kZoom, {2}}});
    RenderRequest request(&layer, 0);
    request.options.recordSamples = true;
    const RenderResult frame = instance.Render(request);
    ASSERT_EQ(frame.err, PF_Err_NONE);
    ASSERT_EQ(Longs({frame.output.width, frame.output.height}), Longs({65, 33}));
    ASSERT_EQ(frame.iterations.size(), 1u);
    const IterateCall& it = frame.iterations[0];
    EXPECT_TRUE(it.call == c.iterate && it.refcon == frame.preRenderOutput.pre_render_data);
    EXPECT_EQ(Longs({it.progressBase, it.progressFinal, it.withArea, it.area.left, it.area.top,
                     it.area.right, it.area.bottom, it.withSource, it.intoOutput}),
              Longs({0, 33, true, 0, 0, 1, 33, false, true}));
    EXPECT_EQ(Longs({frame.render.Calls("checkin_layer_pixels"), frame.render.Calls(c.sampler),
                     frame.render.Calls("nn_sample") + frame.render.Calls("area_sample")}),
              Longs({0, 65 * 33, 0}));
    for (const SampleCall& s : frame.samples) {
      PF_SampPB zeroButSource{};
      zeroButSource.src = s.params.src;
      EXPECT_TRUE(s.call == c.sampler && s.effectRef == frame.effectRef && s.params.src &&
                  std::memcmp(&s.params, &zeroButSource, sizeof zeroButSource) == 0);
    }
    EXPECT_EQ(Fingerprint(frame.output), c.pixels);
  }
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
             (entry[2] == 'q'   ? '+'
              : entry[2] == 'f' ? '!'
                                : '-') +
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
  EXPECT_TRUE(frame.iterations.empty() && frame.outputCheckedOut && frame.render.Balanced());
  EXPECT_EQ(frame.output.pixels, std::vector<uint8_t>(frame.output.pixels.size(), kFill));
}

// A layer with no pixels (the host hands a 0 x 0 world) renders transparent black with every
// filter in every depth, reading nothing.
TEST(ModuleRender, EmptyLayerRendersTransparent) {
  for (Depth depth : {Depth::k8, Depth::k16, Depth::kFloat}) {
    const Image layer = MakeImage(0, 0, depth);
    for (int filter = 1; filter <= 6; ++filter) {
      SCOPED_TRACE("filter " + std::to_string(filter) + " depth " + std::to_string(int(depth)));
      EffectInstance instance = Instance({{kFilterType, {double(filter)}}});
      RenderRequest request(&layer, 0);
      request.outputFill = kFill;
      const RenderResult frame = instance.Render(request);
      EXPECT_EQ(frame.err, PF_Err_NONE);
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
  const Image layer = Layer(Depth::kFloat);
  for (const auto& c : cases) {
    SCOPED_TRACE(&c - cases);
    EffectInstance instance = Instance({{kDistortMode, {double(c.mode)}},
                                        {kDistortedSize, c.distorted},
                                        {kUndistortedSize, c.undistorted}});
    const RenderResult frame = instance.Render({&layer, 0});
    EXPECT_EQ(frame.err, PF_Err_NONE);
    for (const PF_LRect& r :
         {frame.preRenderOutput.max_result_rect, frame.preRenderOutput.result_rect}) {
      EXPECT_EQ(Longs({r.left, r.top, r.right, r.bottom}), c.extent);
    }
    EXPECT_TRUE(frame.output.pixels.empty() && frame.callbackCalls == 0 && frame.render.Balanced());
  }
}

// Output worlds over the host's 30000 pixels are refused as out of memory; the user cancelling
// during the rows, or before them, stops the frame with the host's code. Either way the
// frame's data is disposed of.
TEST(ModuleRender, TheHostsLimitAndCancelStopTheFrame) {
  const Image line = Layer(Depth::k8, 100, 1);
  EffectInstance wide = Instance({{kFilterType, {2}}}, 100, 1);
  for (double width : {29999.0, 30000.0}) {
    ASSERT_TRUE(wide.SetValue(kUndistortedSize, {width, 1}));
    const RenderResult r = wide.Render({&line, 0});
    EXPECT_EQ(Longs({r.err, r.output.width, r.outputCheckedOut, r.disposals, r.render.Balanced()}),
              width < 30000 ? Longs({0, 30000, true, 1, true})
                            : Longs({PF_Err_OUT_OF_MEMORY, 0, false, 1, true}));
  }
  const Image layer = Layer(Depth::k16, 4, 20);
  std::atomic<bool> cancel{true};
  EffectInstance instance = Instance({{kFilterType, {2}}}, 4, 20);
  for (int32_t afterRows : {3, -1}) {
    RenderRequest request{&layer, 0};
    request.options.iterateThreads = 1;
    request.options.abortAfterRows = afterRows;
    if (afterRows < 0) request.options.abort = &cancel;
    const RenderResult r = instance.Render(request);
    EXPECT_EQ(Longs({r.err, r.rowsIterated, r.disposals}),
              Longs({PF_Interrupt_CANCEL, std::max(afterRows, 0), 1}));
  }
}

const PF_Err kInjected = 7001;

// Every (call, occurrence) a command made, as fault rules; suites by their acquisitions
// and releases. Calls made more than `cap` times are failed at their first `cap` only.
std::vector<FaultRule> EveryFault(const std::vector<const CommandRecord*>& records, int32_t cap) {
  std::map<std::string, int32_t> calls;
  for (const CommandRecord* r : records) {
    for (const auto& c : r->calls) calls[c.first] += c.second;
    for (const SuiteUse& s : r->suites) {
      calls["AcquireSuite:" + s.name] += s.acquired + s.refused;
      calls["ReleaseSuite:" + s.name] += s.released;
    }
  }
  std::vector<FaultRule> rules;
  for (const auto& [call, n] : calls) {
    for (int32_t i = 1; i <= n && i <= cap; ++i) rules.push_back({call, i, kInjected});
  }
  return rules;
}

// Each command clean, without a basic suite, and with each call it makes failed: a refused
// suite is 516 with the host's message; a refused release or interface update is not the
// command's failure; a refused declaration is.
TEST(EffectFaultSweep, CommandsGiveBackWhatTheyTake) {
  EffectHost& host = LoadedEffect();
  const auto changeLensModel = [&host](const CallOptions& options) {
    EffectInstance instance(host);
    EXPECT_TRUE(instance.SetValue(1, {1}));  // Classic: its group opens
    return instance.UserChangedParam(1, options);
  };
  const struct {
    const char* name;
    std::function<CommandRecord(const CallOptions&)> send;
    int32_t cap;
    size_t atLeast;  // a sweep that fails nothing would prove nothing
    PF_Err withoutBasicSuite;
  } commands[] = {
      // Only the ANSI suite: the kernel tables are already built.
      {"global set-up", [&host](const CallOptions& o) { return host.GlobalSetup(o); }, 3, 2, 516},
      {"parameter set-up", [&host](const CallOptions& o) { return host.ParamsSetup(o); }, 100, 77,
       0},
      {"Lens Model change", changeLensModel, 10, 3, 516}};
  for (const auto& command : commands) {
    const CommandRecord clean = command.send({});
    ASSERT_EQ(clean.result, 0) << command.name;
    EXPECT_EQ(command.send({{}, true}).result, command.withoutBasicSuite) << command.name;
    const std::vector<FaultRule> faults = EveryFault({&clean}, command.cap);
    EXPECT_GE(faults.size(), command.atLeast) << command.name;
    for (const FaultRule& f : faults) {
      const CommandRecord r = command.send({{f}});
      SCOPED_TRACE(std::string(command.name) + ": " + f.call + " #" + std::to_string(f.occurrence));
      const bool refused = f.call.rfind("AcquireSuite:", 0) == 0;
      EXPECT_TRUE(r.Balanced());
      EXPECT_EQ(r.outData.my_version, clean.outData.my_version);
      EXPECT_EQ(r.outData.out_flags2, clean.outData.out_flags2);
      EXPECT_EQ(r.result, refused ? 516 : f.call == "add_param" ? kInjected : 0);
      EXPECT_STREQ(r.outData.return_msg, refused ? "Couldn't load suite." : "");
    }
    ASSERT_EQ(host.ParamsSetup().result, 0);  // the declarations back for what follows
  }
}

// Each frame call failed in turn, in every depth, with the host's sampler and the effect's own.
TEST(EffectFaultSweep, FramesGiveBackWhatTheyTakeInEveryDepth) {
  EffectInstance instance(LoadedEffect());
  instance.SetLayerSize(70, 23);
  for (Depth depth : {Depth::k8, Depth::k16, Depth::kFloat}) {
    for (double filter : {1.0, 4.0}) {
      ASSERT_TRUE(instance.SetValue(kFilterType, {filter}));
      const Image layer = Layer(depth, 70, 23);
      const RenderResult clean = instance.Render({&layer, 0});
      ASSERT_TRUE(clean.err == 0 && clean.disposals == 1);
      const std::vector<FaultRule> faults = EveryFault({&clean.preRender, &clean.render}, 3);
      EXPECT_GE(faults.size(), 20u);
      for (const FaultRule& f : faults) {
        RenderRequest request(&layer, 0);
        request.options.faults = {f};
        const RenderResult r = instance.Render(request);
        SCOPED_TRACE(f.call + " #" + std::to_string(f.occurrence) + " depth " +
                     std::to_string(int(depth)) + " filter " + std::to_string(int(filter)));
        EXPECT_TRUE(r.preRender.Balanced() && r.render.Balanced());
        EXPECT_EQ(r.disposals, r.preRenderOutput.delete_pre_render_data_func != nullptr ? 1 : 0);
        EXPECT_TRUE(r.outputPaddingIntact && r.inputIntact);
        // A refused release leaves the frame as it was; a failing host sampler of
        // "Built-in" is passed over; every other failure must show.
        if (f.call.rfind("ReleaseSuite:", 0) == 0) {
          EXPECT_TRUE(r.err == 0 && r.output.pixels == clean.output.pixels);
        } else if (f.call.find("sample") == std::string::npos) {
          EXPECT_NE(r.err, 0);
        }
      }
    }
  }
}

}  // namespace
