#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "FakeEffectModule.h"
#include "Harness.h"

using namespace harness;

namespace {

std::unique_ptr<EffectHost> LoadFake() {
  std::string error;
  std::unique_ptr<EffectHost> host = EffectHost::Load(FakeModulePath(), error);
  EXPECT_TRUE(host != nullptr) << error;
  return host;
}

std::unique_ptr<EffectHost> LoadFakeWithParams() {
  std::unique_ptr<EffectHost> host = LoadFake();
  if (host != nullptr) {
    EXPECT_EQ(host->GlobalSetup().result, 0);
    EXPECT_EQ(host->ParamsSetup().result, 0);
  }
  return host;
}

TEST(HarnessLoad, ReadsThePropertyListAndFindsTheEntryItNames) {
  std::unique_ptr<EffectHost> host = LoadFake();
  ASSERT_TRUE(host);
  EXPECT_EQ(host->Pipl().name, "Fake Effect");
  EXPECT_EQ(host->Pipl().entryPoint, "FakeEntry");
  EXPECT_EQ(host->PiplBytes(), FakePipl());
  EXPECT_NE(host->EntryPoint(), nullptr);
}

TEST(HarnessLoad, ExplainsEveryFailure) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / ("vtafx-harness-load-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
  fs::create_directories(dir);
  const fs::path module = dir / "Copy.so";
  fs::copy_file(FakeModulePath(), module, fs::copy_options::overwrite_existing);
  struct Case {
    const char* what;
    std::string path;
    std::vector<uint8_t> pipl;  // empty: no property list file
    const char* message;
  };
  const Case cases[] = {
      {"missing module", (dir / "None.so").string(), {}, "cannot load"},
      {"no property list", module.string(), {}, "no property list"},
      {"damaged list", module.string(), {1, 0, 0}, "shorter"},
      {"not an effect", module.string(), FakePipl(FourCC("8BFM")), "not an effect"},
      {"entry not exported", module.string(), FakePipl(FourCC("eFKT"), "Missing"),
       "exports no \"Missing\""},
  };
  for (const Case& c : cases) {
    fs::remove(dir / "Copy.pipl");
    if (!c.pipl.empty()) {
      ASSERT_TRUE(WriteFile((dir / "Copy.pipl").string(), c.pipl));
    }
    std::string error;
    EXPECT_EQ(EffectHost::Load(c.path, error), nullptr) << c.what;
    EXPECT_NE(error.find(c.message), std::string::npos) << c.what << ": " << error;
  }
  fs::remove_all(dir);
}

TEST(HarnessCommands, AboutAndUnhandledCommands) {
  std::unique_ptr<EffectHost> host = LoadFake();
  ASSERT_TRUE(host);
  const CommandRecord about = host->About();
  EXPECT_EQ(about.result, 0);
  EXPECT_STREQ(about.outData.return_msg, "Fake 1.2");
  EXPECT_EQ(about.Calls("sprintf"), 1);

  PF_OutData pattern;
  std::memset(&pattern, 0x5A, sizeof pattern);
  for (PF_Cmd cmd : {PF_Cmd_GLOBAL_SETDOWN, PF_Cmd_RENDER, PF_Cmd_SEQUENCE_SETUP}) {
    const CommandRecord r = host->SendCommand(cmd, pattern, nullptr);
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(std::memcmp(&r.outData, &pattern, sizeof pattern), 0) << cmd;
  }
}

TEST(HarnessCommands, GlobalSetupAccountsForItsSuite) {
  std::unique_ptr<EffectHost> host = LoadFake();
  ASSERT_TRUE(host);
  const CommandRecord r = host->GlobalSetup({}, 0x4);
  EXPECT_EQ(r.result, 0);
  EXPECT_EQ(r.outData.my_version, 0x00080001u);
  EXPECT_EQ(r.outData.out_flags, 0x02000044);
  EXPECT_EQ(r.outData.out_flags2, 0x08001408);
  EXPECT_EQ(r.Calls("sin"), 3);
  ASSERT_EQ(r.suites.size(), 1u);
  EXPECT_EQ(r.suites[0].name, "PF ANSI Suite");
  EXPECT_EQ(r.suites[0].acquired, 1);
  EXPECT_EQ(r.suites[0].released, 1);
  EXPECT_TRUE(r.Balanced());
}

TEST(HarnessCommands, FaultsReachSuitesAndCallbacks) {
  std::unique_ptr<EffectHost> host = LoadFake();
  ASSERT_TRUE(host);
  struct Case {
    const char* what;
    CallOptions options;
    PF_Err result;
    int32_t acquired, refused, released, releaseFailed, sin;
    const char* message;
  };
  const Case cases[] = {
      {"refused suite", {{{"AcquireSuite:PF ANSI Suite", 1, 99}}}, 516, 0, 1, 0, 0, 0,
       "Couldn't load suite."},
      {"no basic suite", {{}, true}, 516, 0, 0, 0, 0, 0, "Couldn't load suite."},
      {"failed release", {{{"ReleaseSuite:PF ANSI Suite", 0, 99}}}, 516, 1, 0, 1, 1, 3, ""},
      {"second release only", {{{"ReleaseSuite:PF ANSI Suite", 2, 99}}}, 0, 1, 0, 1, 0, 3, ""},
      {"message call fails", {{{"AcquireSuite:PF ANSI Suite", 1, 99}, {"sprintf", 1, 1}}}, 516, 0,
       1, 0, 0, 0, ""},
  };
  for (const Case& c : cases) {
    const CommandRecord r = host->GlobalSetup(c.options);
    EXPECT_EQ(r.result, c.result) << c.what;
    const SuiteUse* ansi = r.Suite("PF ANSI Suite");
    const SuiteUse none;
    const SuiteUse& use = ansi != nullptr ? *ansi : none;
    EXPECT_EQ(use.acquired, c.acquired) << c.what;
    EXPECT_EQ(use.refused, c.refused) << c.what;
    EXPECT_EQ(use.released, c.released) << c.what;
    EXPECT_EQ(use.releaseFailed, c.releaseFailed) << c.what;
    EXPECT_EQ(r.Calls("sin"), c.sin) << c.what;
    EXPECT_TRUE(r.Balanced()) << c.what;
    EXPECT_STREQ(r.outData.return_msg, c.message) << c.what;
    EXPECT_EQ(r.outData.my_version, 0x00080001u) << c.what;
  }
  EXPECT_THROW(host->GlobalSetup({{{"no_such_call", 1, 1}}}), std::invalid_argument);
  EXPECT_THROW(host->GlobalSetup({{{"AcquireSuite:PF World Suite 3", 1, 1}}}), std::invalid_argument);
}

TEST(HarnessParams, RecordsTheDeclarations) {
  std::unique_ptr<EffectHost> host = LoadFakeWithParams();
  ASSERT_TRUE(host);
  const std::vector<ParamDecl>& p = host->Params();
  ASSERT_EQ(p.size(), 7u);
  EXPECT_EQ(host->DeclaredParamCount(), 7);
  const struct {
    PF_ParamType type;
    const char* name;
    PF_ParamFlags flags;
    PF_ParamIndex group;
  } expected[7] = {{PF_Param_LAYER, "", 0, 0},
                   {PF_Param_POPUP, "Mode", 70, 0},
                   {PF_Param_FLOAT_SLIDER, "Grow", 0, 0},
                   {PF_Param_POINT, "Center", 0, 0},
                   {PF_Param_GROUP_START, "Group", 32, 0},
                   {PF_Param_FLOAT_SLIDER, "Inner", 0, 4},
                   {PF_Param_GROUP_END, "Group", 0, 4}};
  for (size_t i = 0; i < 7; ++i) {
    EXPECT_EQ(p[i].def.param_type, expected[i].type) << i;
    EXPECT_STREQ(p[i].def.name, expected[i].name) << i;
    EXPECT_EQ(p[i].def.flags, expected[i].flags) << i;
    EXPECT_EQ(p[i].group, expected[i].group) << i;
  }
  EXPECT_EQ(p[1].def.uu.id, 0x6D6F6465);
  EXPECT_EQ(p[1].popupNames, "Copy|Sample|Fail");
  EXPECT_EQ(p[1].def.u.pd.u.namesptr, p[1].popupNames.c_str());
  EXPECT_EQ(p[2].def.u.fs_d.valid_max, 20000.0f);
  EXPECT_EQ(host->FindParam("Inner"), 5);
  EXPECT_EQ(host->FindParam("inner"), -1);

  const CommandRecord failed = host->ParamsSetup({{{"add_param", 3, 1234}}});
  EXPECT_EQ(failed.result, 1234);
  EXPECT_EQ(failed.Calls("add_param"), 3);
  EXPECT_EQ(host->Params().size(), 3u);
}

TEST(HarnessParams, ValuesKeyframesAndDefaults) {
  std::unique_ptr<EffectHost> host = LoadFakeWithParams();
  ASSERT_TRUE(host);
  EffectInstance inst(*host);
  inst.SetTimeBase(1, 16);
  inst.SetLayerSize(1000, 501);
  // Point defaults are percent of the layer.
  EXPECT_EQ(inst.ValueAt(3, 0).x, 500.0);
  EXPECT_EQ(inst.ValueAt(3, 0).y, 250.5);
  PF_ParamDef def;
  inst.FillParamDef(3, 0, 1000, 501, def);
  EXPECT_EQ(def.u.td.x_value, 500 << 16);
  EXPECT_EQ(def.u.td.y_value, (250 << 16) + 32768);

  struct Refusal {
    PF_ParamIndex index;
    ParamValue value;
  };
  const Refusal refused[] = {{1, {0}}, {1, {4}}, {1, {1.5}}, {2, {std::nan("")}}, {3, {1, HUGE_VAL}},
                             {4, {1}}, {0, {1}}, {7, {1}}, {-1, {1}}};
  for (const Refusal& r : refused) {
    std::string error;
    EXPECT_FALSE(inst.SetValue(r.index, r.value, &error)) << r.index;
    EXPECT_FALSE(error.empty());
  }
  ASSERT_TRUE(inst.SetValue(2, {30000}));
  EXPECT_EQ(inst.ValueAt(2, 0).x, 20000.0);
  ASSERT_TRUE(inst.SetValue(2, {-1}));
  EXPECT_EQ(inst.ValueAt(2, 0).x, 0.0);
  EXPECT_FALSE(inst.SetKeyframe(1, 0, {2}));  // cannot vary in time

  ASSERT_TRUE(inst.SetKeyframe(2, 8, {20}));
  ASSERT_TRUE(inst.SetKeyframe(2, 0, {4}));
  ASSERT_TRUE(inst.SetKeyframe(3, 0, {10, 20}));
  ASSERT_TRUE(inst.SetKeyframe(3, 8, {30, -20}));
  EXPECT_EQ(inst.KeyframeCount(2), 2u);
  const struct {
    A_long time;
    double grow, x, y;
  } table[] = {{-5, 4, 10, 20}, {0, 4, 10, 20}, {4, 12, 20, 0}, {2, 8, 15, 10},
               {8, 20, 30, -20}, {100, 20, 30, -20}};
  for (const auto& t : table) {
    EXPECT_EQ(inst.ValueAt(2, t.time).x, t.grow) << t.time;
    EXPECT_EQ(inst.ValueAt(3, t.time).x, t.x) << t.time;
    EXPECT_EQ(inst.ValueAt(3, t.time).y, t.y) << t.time;
  }
  ASSERT_TRUE(inst.SetKeyframe(2, 8, {16}));  // replaces
  EXPECT_EQ(inst.KeyframeCount(2), 2u);
  EXPECT_EQ(inst.ValueAt(2, 4).x, 10.0);
  ASSERT_TRUE(inst.SetValue(2, {3}));  // constant again
  EXPECT_EQ(inst.KeyframeCount(2), 0u);
  EXPECT_EQ(inst.ValueAt(2, 4).x, 3.0);
}

TEST(HarnessParams, SupervisedChangesAndInterfaceUpdates) {
  std::unique_ptr<EffectHost> host = LoadFakeWithParams();
  ASSERT_TRUE(host);
  EffectInstance inst(*host);
  EXPECT_EQ(inst.Control(4).flags & PF_ParamFlag_COLLAPSE_TWIRLY, PF_ParamFlag_COLLAPSE_TWIRLY);

  CommandRecord r = inst.ChangeParam(1, {2});
  EXPECT_TRUE(r.sent);
  EXPECT_EQ(r.result, 0);
  ASSERT_EQ(r.uiUpdates.size(), 1u);
  EXPECT_EQ(r.uiUpdates[0].index, 4);
  EXPECT_EQ(r.uiUpdates[0].def.flags & PF_ParamFlag_COLLAPSE_TWIRLY, 0);
  EXPECT_EQ(r.uiUpdates[0].def.uu.change_flags & PF_ChangeFlag_CHANGED_VALUE, PF_ChangeFlag_CHANGED_VALUE);
  EXPECT_EQ(inst.Control(4).flags & PF_ParamFlag_COLLAPSE_TWIRLY, 0);
  EXPECT_TRUE(r.Balanced());

  EXPECT_TRUE(inst.ChangeParam(1, {2}).uiUpdates.empty());  // already open
  inst.SetGroupCollapsed(4, true);                          // the user closes it
  EXPECT_EQ(inst.ChangeParam(1, {2}).uiUpdates.size(), 1u);
  EXPECT_EQ(inst.Control(4).flags & PF_ParamFlag_COLLAPSE_TWIRLY, 0);

  // A refused suite: nothing changes.
  r = inst.ChangeParam(1, {1}, {{{"AcquireSuite:PF Param Utils Suite", 1, 5}}});
  EXPECT_EQ(r.result, 516);
  EXPECT_TRUE(r.uiUpdates.empty());
  EXPECT_EQ(inst.Control(4).flags & PF_ParamFlag_COLLAPSE_TWIRLY, 0);

  // Unsupervised parameters send nothing.
  EXPECT_FALSE(inst.ChangeParam(2, {7}).sent);
  // The leak of the test module shows in the accounting.
  r = inst.UserChangedParam(2);
  ASSERT_NE(r.Suite("PF Param Utils Suite"), nullptr);
  EXPECT_EQ(r.Suite("PF Param Utils Suite")->acquired, 1);
  EXPECT_EQ(r.Suite("PF Param Utils Suite")->released, 0);
  EXPECT_FALSE(r.Balanced());
}

TEST(HarnessParams, PointsKeepFullPrecisionThroughTheirSuite) {
  std::unique_ptr<EffectHost> host = LoadFakeWithParams();
  ASSERT_TRUE(host);
  EffectInstance inst(*host);
  const double x = 12.345678901234567, y = -0.1;
  ASSERT_TRUE(inst.SetValue(3, {x, y}));
  const CommandRecord r = inst.UserChangedParam(3);
  EXPECT_EQ(r.result, 0);
  char expected[256];
  std::snprintf(expected, sizeof expected, "%.17g %.17g", x, y);
  EXPECT_STREQ(r.outData.return_msg, expected);
  EXPECT_EQ(r.paramCheckouts, 1);
  EXPECT_EQ(r.paramCheckins, 1);
  EXPECT_TRUE(r.Balanced());

  const CommandRecord failed = inst.UserChangedParam(3, {{{"checkout_param", 1, 321}}});
  EXPECT_EQ(failed.result, 321);
  EXPECT_EQ(failed.paramCheckouts, 0);
  EXPECT_EQ(failed.strayCheckins, 1);
  EXPECT_TRUE(failed.Balanced());
}

}  // namespace
