// The built module, loaded and driven by the harness exactly as the host would.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "ExpectedParams.h"
#include "Harness.h"

using namespace harness;

namespace {

// The module, loaded once with its parameters declared and never unloaded, as a host keeps
// an effect: its kernel tables are process-wide and live until the process ends. Null when
// the module could not be loaded.
EffectHost* Effect() {
  static EffectHost* const host = [] {
    std::string error;
    std::unique_ptr<EffectHost> loaded = EffectHost::Load(VTAFX_MODULE_PATH, error);
    EXPECT_TRUE(loaded != nullptr) << error;
    if (loaded) {
      EXPECT_EQ(loaded->GlobalSetup().result, PF_Err_NONE);
      EXPECT_EQ(loaded->ParamsSetup().result, PF_Err_NONE);
    }
    return loaded.release();
  }();
  return host;
}

constexpr uint32_t kVersion = 0x000A0601;
constexpr PF_OutFlags kOutFlags = 0x02000040;
constexpr PF_OutFlags2 kOutFlags2 = 0x08001408;

TEST(Module, PropertyListSaysWhatGlobalSetupSays) {
  EffectHost* host = Effect();
  ASSERT_TRUE(host);
  const PiplInfo& pipl = host->Pipl();
  ASSERT_EQ(pipl.properties.size(), 13u);
  const char* const keys[] = {"kind", "name", "catg", "8664", "ePVR", "eSVR", "eVER",
                              "eINF", "eGLO", "eGL2", "eMNA", "aeFL", "eURL"};
  for (size_t i = 0; i < 13; ++i) {
    EXPECT_EQ(FourCCText(pipl.properties[i].key), keys[i]);
    EXPECT_EQ(FourCCText(pipl.properties[i].vendor), "8BIM");
  }
  EXPECT_EQ(pipl.kind, FourCC("eFKT"));
  EXPECT_EQ(pipl.name, "Vantrel Advanced Distortion");
  EXPECT_EQ(pipl.category, "Halvard Vantrel");
  EXPECT_EQ(pipl.entryPoint, "EntryPointFunc");
  EXPECT_EQ(pipl.piplMajor, 2);
  EXPECT_EQ(pipl.piplMinor, 0);
  EXPECT_EQ(pipl.specMajor, 13);
  EXPECT_EQ(pipl.specMinor, 28);
  EXPECT_EQ(pipl.effectVersion, kVersion);
  EXPECT_EQ(pipl.infoFlags, 0u);
  EXPECT_EQ(pipl.outFlags, kOutFlags);
  EXPECT_EQ(pipl.outFlags2, kOutFlags2);
  EXPECT_EQ(pipl.matchName, "Halvard VtAFXAdvLens");
  EXPECT_EQ(pipl.reservedInfo, 8);
  EXPECT_FALSE(pipl.supportUrl.empty());

  const CommandRecord setup = host->GlobalSetup();
  EXPECT_EQ(setup.result, PF_Err_NONE);
  EXPECT_EQ(setup.outData.my_version, pipl.effectVersion);
  EXPECT_EQ(setup.outData.out_flags, pipl.outFlags);
  EXPECT_EQ(setup.outData.out_flags2, pipl.outFlags2);
  EXPECT_TRUE(setup.Balanced());
}

TEST(Module, DeclaresAll77Parameters) {
  EffectHost* host = Effect();
  ASSERT_TRUE(host);
  EXPECT_EQ(host->DeclaredParamCount(), 77);
  const std::vector<ParamDecl>& params = host->Params();
  ASSERT_EQ(params.size(), 77u);
  for (PF_ParamIndex i = 1; i < 77; ++i) {
    expected_params::ExpectDeclared(i, params[size_t(i)].def, params[size_t(i)].popupNames);
  }
  EXPECT_EQ(params[2].def.uu.id, params[21].def.uu.id);
  // A fresh instance: all six groups collapsed, the default model's included.
  EffectInstance instance(*host);
  for (PF_ParamIndex group : {10, 17, 24, 32, 46, 69}) {
    EXPECT_TRUE(instance.Control(group).flags & PF_ParamFlag_COLLAPSE_TWIRLY) << group;
  }
}

TEST(Module, AboutAndUnhandledCommands) {
  EffectHost* host = Effect();
  ASSERT_TRUE(host);
  const CommandRecord about = host->About();
  EXPECT_EQ(about.result, PF_Err_NONE);
  const std::string text = about.outData.return_msg;
  EXPECT_EQ(text.substr(0, 29), "Vantrel Adv. Distortion 1.4\r\r");
  EXPECT_EQ(text.substr(29, 28), "Vantrel Advanced Distortion\r");
  EXPECT_EQ(about.Calls("sprintf"), 1);
  EXPECT_TRUE(about.Balanced());

  for (PF_Cmd cmd : {PF_Cmd_GLOBAL_SETDOWN, PF_Cmd_SEQUENCE_SETUP, PF_Cmd_RENDER,
                     PF_Cmd_UPDATE_PARAMS_UI, PF_Cmd_GET_FLATTENED_SEQUENCE_DATA,
                     PF_Cmd_GPU_DEVICE_SETDOWN}) {
    PF_OutData start;
    std::memset(&start, 0x5A, sizeof start);
    const CommandRecord record = host->SendCommand(cmd, start, nullptr);
    EXPECT_EQ(record.result, PF_Err_NONE) << cmd;
    EXPECT_EQ(std::memcmp(&record.outData, &start, sizeof start), 0) << cmd;
    EXPECT_TRUE(record.suites.empty()) << cmd;
  }
}

// (index, opened) of each PF_UpdateParamUI call.
std::vector<std::pair<PF_ParamIndex, bool>> Updates(const CommandRecord& record) {
  std::vector<std::pair<PF_ParamIndex, bool>> updates;
  for (const ParamUiUpdate& update : record.uiUpdates) {
    updates.emplace_back(update.index, !(update.def.flags & PF_ParamFlag_COLLAPSE_TWIRLY));
  }
  return updates;
}

TEST(Module, LensModelChangesOpenItsGroup) {
  EffectHost* host = Effect();
  ASSERT_TRUE(host);
  EffectInstance instance(*host);
  const PF_ParamIndex lensModel = instance.FindParam("Lens Model");
  ASSERT_EQ(lensModel, 1);

  CommandRecord change = instance.ChangeParam(lensModel, {4});
  EXPECT_TRUE(change.sent);
  EXPECT_EQ(change.result, PF_Err_NONE);
  EXPECT_EQ(Updates(change), (std::vector<std::pair<PF_ParamIndex, bool>>{{24, true}}));
  EXPECT_TRUE(change.Balanced());

  // Same group: nothing to do.
  change = instance.ChangeParam(lensModel, {3});
  EXPECT_TRUE(change.uiUpdates.empty());

  // A group opened by hand closes again; the order is fixed.
  instance.SetGroupCollapsed(46, false);
  change = instance.ChangeParam(lensModel, {10});
  EXPECT_EQ(Updates(change), (std::vector<std::pair<PF_ParamIndex, bool>>{
                                 {24, false}, {46, false}, {69, true}}));
  for (PF_ParamIndex group : {10, 17, 24, 32, 46}) {
    EXPECT_TRUE(instance.Control(group).flags & PF_ParamFlag_COLLAPSE_TWIRLY) << group;
  }
  EXPECT_FALSE(instance.Control(69).flags & PF_ParamFlag_COLLAPSE_TWIRLY);

  // Other parameters are not supervised: the host sends nothing.
  change = instance.ChangeParam(instance.FindParam("Distort Mode"), {2});
  EXPECT_FALSE(change.sent);
  // Even if it did, nothing would happen.
  change = instance.UserChangedParam(instance.FindParam("Distort Mode"));
  EXPECT_EQ(change.result, PF_Err_NONE);
  EXPECT_TRUE(change.suites.empty());
  EXPECT_TRUE(change.uiUpdates.empty());
}

TEST(Module, RefusedParamUtilsSuiteChangesNothing) {
  EffectHost* host = Effect();
  ASSERT_TRUE(host);
  EffectInstance instance(*host);
  CallOptions options;
  options.faults = {{"AcquireSuite:PF Param Utils Suite", 1, PF_Err_BAD_CALLBACK_PARAM}};
  const CommandRecord change = instance.ChangeParam(1, {1}, options);
  EXPECT_EQ(change.result, PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_STREQ(change.outData.return_msg, "Couldn't load suite.");
  EXPECT_TRUE(change.uiUpdates.empty());
  EXPECT_TRUE(instance.Control(10).flags & PF_ParamFlag_COLLAPSE_TWIRLY);
  EXPECT_TRUE(change.Balanced());
}

}  // namespace
