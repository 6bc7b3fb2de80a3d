// The host the harness plays, seen through the built module: loading, commands and their
// accounting, parameter values, and frames through padded worlds on several threads.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <thread>

#include "Harness.h"
#include "Win/PiPLImage.h"
#include "support/LoadedEffect.h"

using namespace harness;

namespace {

constexpr PF_ParamIndex kLensModel = 1, kDistortMode = 2, kFilterType = 3, kZoom = 6;
constexpr PF_ParamIndex kUndistortedSize = 8, kLensCenter = 9, kRadialGroup = 24, kR4C2 = 25;

TEST(HarnessLoad, ExplainsEveryFailure) {
#ifdef _WIN32
  GTEST_SKIP() << "a Windows module carries its property list inside";
#endif
  namespace fs = std::filesystem;
  const fs::path dir =
      fs::temp_directory_path() /
      ("vtafx-harness-" +
       std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
  fs::create_directories(dir);
  fs::copy_file(VTAFX_MODULE_PATH, dir / "Copy.so");
  const std::vector<uint8_t> good = BuildPiPLImage();
  std::vector<uint8_t> notEffect = good, noEntry = good;
  std::copy_n("MFB8", 4, notEffect.begin() + 26);  // kind '8BFM'
  noEntry[size_t(std::search(good.begin(), good.end(), "EntryPointFunc", "EntryPointFunc" + 14) -
                 good.begin())] = 'X';
  const struct {
    std::string module;
    std::vector<uint8_t> pipl;  // empty: no property list file
    const char* message;        // "": loads
  } cases[] = {{"None.so", {}, "cannot load"},
               {"Copy.so", {}, "no property list"},
               {"Copy.so", {1, 0, 0}, "shorter"},
               {"Copy.so", notEffect, "not an effect"},
               {"Copy.so", noEntry, "exports no \"XntryPointFunc\""},
               {"Copy.so", good, ""}};
  for (const auto& c : cases) {
    fs::remove(dir / "Copy.pipl");
    if (!c.pipl.empty()) {
      std::FILE* f = std::fopen((dir / "Copy.pipl").string().c_str(), "wb");
      ASSERT_TRUE(f != nullptr && std::fwrite(c.pipl.data(), 1, c.pipl.size(), f) == c.pipl.size());
      std::fclose(f);
    }
    std::string error;
    const std::unique_ptr<EffectHost> host = EffectHost::Load((dir / c.module).string(), error);
    EXPECT_EQ(host == nullptr, c.message[0] != 0) << c.message;
    EXPECT_NE(error.find(c.message), std::string::npos) << c.message << ": " << error;
    if (host) {
      EXPECT_EQ(host->PiplBytes(), good);
    }
  }
  fs::remove_all(dir);
}

// Commands the effect does not answer leave out_data as the host set it; faults reach the
// suites and callbacks named, and the accounting shows what was taken and given back.
TEST(HarnessCommands, OutDataFaultsAndAccounting) {
  EffectHost& host = LoadedEffect();
  PF_OutData pattern;
  std::memset(&pattern, 0x5A, sizeof pattern);
  for (PF_Cmd cmd : {PF_Cmd_GLOBAL_SETDOWN, PF_Cmd_RENDER, PF_Cmd_SEQUENCE_SETUP}) {
    const CommandRecord r = host.SendCommand(cmd, pattern, nullptr);
    EXPECT_EQ(std::memcmp(&r.outData, &pattern, sizeof pattern), 0) << cmd;
  }
  const struct {
    CallOptions options;
    PF_Err result;
    int32_t acquired, refused, released, releaseFailed;
    const char* message;
  } cases[] = {
      {{}, 0, 1, 0, 1, 0, ""},
      {{{{"AcquireSuite:PF ANSI Suite", 1, 99}}}, 516, 0, 1, 0, 0, "Couldn't load suite."},
      {{{}, true}, 516, 0, 0, 0, 0, ""},
      {{{{"ReleaseSuite:PF ANSI Suite", 0, 99}}}, 0, 1, 0, 1, 1, ""},
      {{{{"ReleaseSuite:PF ANSI Suite", 2, 99}}}, 0, 1, 0, 1, 0, ""},
      {{{{"AcquireSuite:PF ANSI Suite", 1, 99}, {"sprintf", 1, 1}}}, 516, 0, 1, 0, 0, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(&c - cases);
    const CommandRecord r = host.GlobalSetup(c.options, 0x4);
    EXPECT_EQ(r.result, c.result);
    const SuiteUse* ansi = r.Suite("PF ANSI Suite");
    const SuiteUse use = ansi != nullptr ? *ansi : SuiteUse{};
    EXPECT_EQ(std::vector<int32_t>({use.acquired, use.refused, use.released, use.releaseFailed}),
              std::vector<int32_t>({c.acquired, c.refused, c.released, c.releaseFailed}));
    EXPECT_TRUE(r.Balanced());
    EXPECT_STREQ(r.outData.return_msg, c.message);
    EXPECT_EQ(r.outData.out_flags & 0x02000044, c.options.noBasicSuite ? 4 : 0x02000044);
  }
  EXPECT_THROW(host.GlobalSetup({{{"no_such_call", 1, 1}}}), std::invalid_argument);
  EXPECT_THROW(host.GlobalSetup({{{"AcquireSuite:PF World Suite 3", 1, 1}}}),
               std::invalid_argument);
  const CommandRecord failed = host.ParamsSetup({{{"add_param", 3, 1234}}});
  EXPECT_EQ(failed.result, 1234);
  EXPECT_EQ(host.Params().size(), 70u);  // the layer, then what was added
  ASSERT_EQ(host.ParamsSetup().result, 0);
}

// Whatever is left taken shows: a suite not released or released twice, a parameter not
// checked in, a world not disposed of.
TEST(HarnessCommands, BalancedSeesEveryLeak) {
  for (int leak = 0; leak < 5; ++leak) {
    CommandRecord r;
    r.suites.push_back(SuiteUse{"PF ANSI Suite", 1, 1, 0, leak == 1 ? 0 : 1, 0, leak == 2 ? 1 : 0});
    r.paramCheckouts = r.paramCheckins = 2;
    r.paramCheckins -= leak == 3;
    r.worldsCreated = r.worldsDisposed = 1;
    r.worldsDisposed -= leak == 4;
    EXPECT_EQ(r.Balanced(), leak == 0) << leak;
  }
}

TEST(HarnessParams, DeclarationsValuesAndKeyframes) {
  EffectHost& host = LoadedEffect();
  const std::vector<ParamDecl>& p = host.Params();
  EXPECT_EQ(p[0].def.param_type, PF_Param_LAYER);
  EXPECT_EQ(std::vector<PF_ParamIndex>({p[kLensModel].group, p[kR4C2].group, p[31].group}),
            std::vector<PF_ParamIndex>({0, kRadialGroup, kRadialGroup}));
  EXPECT_EQ(p[kLensModel].def.u.pd.u.namesptr, p[kLensModel].popupNames.c_str());
  EXPECT_EQ(host.FindParam("R4 C2"), kR4C2);
  EXPECT_EQ(host.FindParam("r4 c2"), -1);

  EffectInstance inst(host);
  inst.SetTimeBase(1, 16);
  inst.SetLayerSize(1000, 501);
  EXPECT_EQ(inst.ValueAt(kLensCenter, 0).x, 500.0);  // point defaults are percent of the layer
  EXPECT_EQ(inst.ValueAt(kLensCenter, 0).y, 250.5);
  PF_ParamDef def;
  inst.FillParamDef(kLensCenter, 0, 1000, 501, def);
  EXPECT_EQ(def.u.td.x_value, 500 << 16);
  EXPECT_EQ(def.u.td.y_value, (250 << 16) + 32768);
  const struct {
    PF_ParamIndex index;
    ParamValue value;
  } refused[] = {{kLensModel, {0}},
                 {kLensModel, {13}},
                 {kLensModel, {1.5}},
                 {kR4C2, {std::nan("")}},
                 {kLensCenter, {1, HUGE_VAL}},
                 {kRadialGroup, {1}},
                 {0, {1}},
                 {77, {1}},
                 {-1, {1}}};
  for (const auto& r : refused) {
    std::string error;
    EXPECT_FALSE(inst.SetValue(r.index, r.value, &error)) << r.index;
    EXPECT_FALSE(error.empty());
  }
  for (double v : {30.0, -30.0}) {  // clamped to the valid range
    ASSERT_TRUE(inst.SetValue(kR4C2, {v}));
    EXPECT_EQ(inst.ValueAt(kR4C2, 0).x, v / 30 * 25);
  }
  EXPECT_FALSE(inst.SetKeyframe(kDistortMode, 0, {2}));  // cannot vary in time
  const double x = 12.345678901234567, y = -0.1;         // the doubles, never their 16.16 form
  ASSERT_TRUE(inst.SetValue(kLensCenter, {x, y}));
  EXPECT_EQ(inst.FloatingPointValue(kLensCenter, 0, 1000, 501).x, x);
  EXPECT_EQ(inst.FloatingPointValue(kLensCenter, 0, 1000, 501).y, y);

  ASSERT_TRUE(inst.SetKeyframe(kR4C2, 8, {20}));
  ASSERT_TRUE(inst.SetKeyframe(kR4C2, 0, {4}));
  ASSERT_TRUE(inst.SetKeyframe(kLensCenter, 0, {10, 20}));
  ASSERT_TRUE(inst.SetKeyframe(kLensCenter, 8, {30, -20}));
  EXPECT_EQ(inst.KeyframeCount(kR4C2), 2u);
  const struct {
    A_long time;
    double c2, x, y;
  } table[] = {{-5, 4, 10, 20}, {0, 4, 10, 20},   {4, 12, 20, 0},
               {2, 8, 15, 10},  {8, 20, 30, -20}, {100, 20, 30, -20}};
  for (const auto& t : table) {
    EXPECT_EQ(inst.ValueAt(kR4C2, t.time).x, t.c2) << t.time;
    EXPECT_EQ(inst.ValueAt(kLensCenter, t.time).x, t.x) << t.time;
    EXPECT_EQ(inst.ValueAt(kLensCenter, t.time).y, t.y) << t.time;
  }
  ASSERT_TRUE(inst.SetKeyframe(kR4C2, 8, {16}));  // replaces
  EXPECT_EQ(inst.KeyframeCount(kR4C2), 2u);
  EXPECT_EQ(inst.ValueAt(kR4C2, 4).x, 10.0);
  ASSERT_TRUE(inst.SetValue(kR4C2, {3}));  // constant again
  EXPECT_EQ(inst.KeyframeCount(kR4C2), 0u);
  EXPECT_EQ(inst.ValueAt(kR4C2, 4).x, 3.0);
}

// A supervised change is sent and what PF_UpdateParamUI asks for becomes the controls' state;
// a change to another parameter is not sent at all.
TEST(HarnessParams, SupervisedChangesUpdateTheControls) {
  EffectInstance inst(LoadedEffect());
  const auto open = [&inst] {
    return !(inst.Control(kRadialGroup).flags & PF_ParamFlag_COLLAPSE_TWIRLY);
  };
  CommandRecord r = inst.ChangeParam(kLensModel, {4});
  EXPECT_TRUE(r.sent && r.Balanced());
  ASSERT_EQ(r.uiUpdates.size(), 1u);
  EXPECT_EQ(r.uiUpdates[0].index, kRadialGroup);
  EXPECT_TRUE(open());
  EXPECT_TRUE(inst.ChangeParam(kLensModel, {3}).uiUpdates.empty());  // already open
  inst.SetGroupCollapsed(kRadialGroup, true);                        // the user closes it
  EXPECT_EQ(inst.ChangeParam(kLensModel, {4}).uiUpdates.size(), 1u);
  EXPECT_TRUE(open());
  r = inst.ChangeParam(kLensModel, {1}, {{{"AcquireSuite:PF Param Utils Suite", 1, 5}}});
  EXPECT_EQ(r.result, 516);
  EXPECT_TRUE(r.uiUpdates.empty());
  EXPECT_TRUE(open());
  EXPECT_FALSE(inst.ChangeParam(kDistortMode, {2}).sent);
}

// Distinct values in the depth's range; with sizes the layer's, the centre its middle and
// "Nearest" the output is the layer.
Image Layer(int32_t width, int32_t height, Depth depth) {
  Image image = MakeImage(width, height, depth);
  for (size_t i = 0; i < image.pixels.size(); ++i) image.pixels[i] = uint8_t(i * 37 % 101);
  for (size_t i = 0; depth == Depth::kFloat && i < image.pixels.size() / 4; ++i) {
    const float v = float(i % 97) / 64.0f;
    std::memcpy(&image.pixels[i * 4], &v, 4);
  }
  return image;
}

EffectInstance CopyInstance(EffectHost& host, int32_t width, int32_t height) {
  EffectInstance instance(host);
  instance.SetLayerSize(width, height);
  EXPECT_TRUE(instance.SetValue(7, {double(width), double(height)}));
  EXPECT_TRUE(instance.SetValue(kUndistortedSize, {double(width), double(height)}));
  EXPECT_TRUE(instance.SetValue(kLensCenter, {width / 2.0, height / 2.0}));
  EXPECT_TRUE(instance.SetValue(kFilterType, {2}));
  return instance;
}

// Every output pixel over the layer is the layer's.
void ExpectCopy(const Image& out, const Image& layer) {
  const size_t bytes = size_t(PixelBytes(layer.depth));
  for (int32_t y = 0; y < out.height; ++y) {
    for (int32_t x = 0; x < out.width; ++x) {
      const int32_t lx = x + out.originX, ly = y + out.originY;
      if (lx >= layer.width || ly >= layer.height) continue;
      ASSERT_EQ(std::memcmp(&out.pixels[(size_t(y) * size_t(out.width) + size_t(x)) * bytes],
                            &layer.pixels[(size_t(ly) * size_t(layer.width) + size_t(lx)) * bytes],
                            bytes),
                0)
          << lx << "," << ly;
    }
  }
}

TEST(HarnessRender, CopiesThroughPaddedWorldsInEveryDepth) {
  for (Depth d : {Depth::k8, Depth::k16, Depth::kFloat}) {
    const Image layer = Layer(64, 32, d);
    const RenderResult r = CopyInstance(LoadedEffect(), 64, 32).Render({&layer, 0});
    ASSERT_EQ(r.err, 0);
    EXPECT_TRUE(r.preRender.Balanced() && r.render.Balanced());
    EXPECT_EQ(r.disposals, 1);
    EXPECT_TRUE(r.outputPaddingIntact && r.inputIntact);
    EXPECT_EQ(std::vector<int32_t>({r.iterateCalls, r.rowsIterated, r.callbackCalls, r.output.width,
                                    r.output.height}),
              std::vector<int32_t>({1, 33, 33, 65, 33}));
    ExpectCopy(r.output, layer);
  }
}

// The request limits the output world; an empty one gives a world without pixels, still
// disposed of. Worlds over the host's 30000 pixels are refused as out of memory.
TEST(HarnessRender, TheRequestAndTheHostsLimitShapeTheOutputWorld) {
  const Image layer = Layer(64, 32, Depth::k8);
  const EffectInstance instance = CopyInstance(LoadedEffect(), 64, 32);
  RenderRequest request{&layer, 0};
  request.requestRect = PF_LRect{-1, 3, 5, 30};
  RenderResult r = instance.Render(request);
  ASSERT_EQ(r.err, 0);
  EXPECT_EQ(
      std::vector<int32_t>({r.output.originX, r.output.originY, r.output.width, r.output.height}),
      std::vector<int32_t>({0, 3, 5, 27}));
  ExpectCopy(r.output, layer);
  request.requestRect = PF_LRect{5, 0, 5, 10};
  r = instance.Render(request);
  EXPECT_EQ(r.err, 0);
  EXPECT_EQ(std::vector<int32_t>(
                {r.outputCheckedOut, r.output.width, r.output.height, r.rowsIterated, r.disposals}),
            std::vector<int32_t>({1, 0, 10, 0, 1}));

  const Image line = Layer(100, 1, Depth::k8);
  EffectInstance wide = CopyInstance(LoadedEffect(), 100, 1);
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

TEST(HarnessRender, AbortStopsTheIteration) {
  const Image layer = Layer(4, 20, Depth::k16);
  RenderRequest request{&layer, 0};
  request.options.iterateThreads = 1;
  request.options.abortAfterRows = 3;
  const EffectInstance instance = CopyInstance(LoadedEffect(), 4, 20);
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

// Frames of one instance rendered at once on several threads equal those rendered one by
// one, and the host's totals add up.
TEST(HarnessRender, FramesRenderAtOnceOnSeveralThreads) {
  std::string error;
  std::unique_ptr<EffectHost> host = EffectHost::Load(VTAFX_MODULE_PATH, error, HostOptions{16});
  ASSERT_TRUE(host) << error;
  host->GlobalSetup();
  host->ParamsSetup();
  EffectInstance instance = CopyInstance(*host, 31, 17);
  ASSERT_TRUE(instance.SetKeyframe(kZoom, 0, {1}));
  ASSERT_TRUE(instance.SetKeyframe(kZoom, 10, {2}));
  const Image layer = Layer(31, 17, Depth::k16);
  std::vector<RenderResult> serial, parallel(8);
  for (A_long t = 0; t < 8; ++t) {
    RenderRequest request{&layer, t};
    request.options.iterateThreads = 1;
    serial.push_back(instance.Render(request));
    ASSERT_EQ(serial.back().err, 0);
  }
  EXPECT_NE(serial[0].output.pixels, serial[7].output.pixels);
  std::vector<std::thread> threads;
  for (A_long t = 0; t < 8; ++t) {
    threads.emplace_back([&, t] { parallel[size_t(t)] = instance.Render({&layer, t}); });
  }
  for (std::thread& t : threads) t.join();
  for (size_t t = 0; t < 8; ++t) {
    EXPECT_EQ(parallel[t].err, 0);
    EXPECT_EQ(parallel[t].output.pixels, serial[t].output.pixels) << t;
  }
  EXPECT_EQ(host->Totals().framesRendered.load(), 16);
  EXPECT_EQ(host->Totals().preRenderDataDisposed.load(), 16);
  EXPECT_EQ(host->Totals().suitesAcquired.load(), host->Totals().suitesReleased.load());
}

}  // namespace
