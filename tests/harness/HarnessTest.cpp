// The host the harness plays, seen through the built module: loading, accounting, parameter
// values and keyframes.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>

#include "Harness.h"
#include "Win/PiPLImage.h"
#include "support/LoadedEffect.h"

using namespace harness;

namespace {

constexpr PF_ParamIndex kLensModel = 1, kDistortMode = 2, kLensCenter = 9, kRadialGroup = 24;
constexpr PF_ParamIndex kR4C2 = 25;

// The module and its property list damaged one way at a time: each is refused with its
// reason, and the intact pair loads.
TEST(HarnessLoad, ExplainsEveryFailure) {
#ifdef _WIN32
  GTEST_SKIP() << "a Windows module carries its property list inside";
#endif
  namespace fs = std::filesystem;
  const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  const fs::path dir = fs::temp_directory_path() / ("vtafx-harness-" + std::to_string(stamp));
  fs::create_directories(dir);
  fs::copy_file(VTAFX_MODULE_PATH, dir / "Copy.so");
  const std::vector<uint8_t> good = BuildPiPLImage();
  const auto at = [&good](const std::string& text) {
    return size_t(std::search(good.begin(), good.end(), text.begin(), text.end()) - good.begin());
  };
  const size_t none = SIZE_MAX;
  const struct {
    const char* module;
    size_t at;            // where `patch` overwrites the list; `none`: no list beside the module
    std::string patch;    // empty: the list ends at `at`
    const char* message;  // "": loads
  } cases[] = {{"None.so", none, "", "cannot load"},
               {"Copy.so", none, "", "no property list"},
               {"Copy.so", 3, "", "shorter"},
               {"Copy.so", good.size() - 1, "", "runs past the end"},
               {"Copy.so", 0, "\2", "word 1"},
               {"Copy.so", 2, "\1", "version"},
               {"Copy.so", 6, "\16", "runs past the end"},  // one property more than there are
               {"Copy.so", 6, "\14", "bytes follow"},
               {"Copy.so", at("eman") + 10, "\1", "runs past the end"},  // the name's length
               {"Copy.so", at("eman") + 12, "\34", "longer than its data"},
               {"Copy.so", at("EntryPointFunc") + 14, "xx", "no terminator"},
               {"Copy.so", at("REVe") + 8, "\2", "expected 4"},  // 'eVER' of two bytes
               {"Copy.so", at("gtac"), "eman", "twice"},         // 'catg' renamed 'name'
               {"Copy.so", 26, "MFB8", "not an effect"},         // kind '8BFM'
               {"Copy.so", at("EntryPointFunc"), "X", "exports no \"XntryPointFunc\""},
               {"Copy.so", good.size(), "", ""}};
  for (const auto& c : cases) {
    fs::remove(dir / "Copy.pipl");
    if (c.at != none) {
      std::vector<uint8_t> bytes = good;
      if (c.patch.empty()) bytes.resize(c.at);
      std::copy(c.patch.begin(), c.patch.end(), bytes.begin() + long(c.at));
      std::FILE* f = std::fopen((dir / "Copy.pipl").string().c_str(), "wb");
      ASSERT_TRUE(f != nullptr && std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size());
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
  EXPECT_EQ(std::vector<PF_ParamIndex>({host.FindParam("R4 C2"), host.FindParam("r4 c2")}),
            std::vector<PF_ParamIndex>({kR4C2, -1}));

  EffectInstance inst(host);
  inst.SetTimeBase(1, 16);
  inst.SetLayerSize(1000, 501);
  PF_ParamDef def;  // point defaults are percent of the layer, handed out rounded to 16.16
  inst.FillParamDef(kLensCenter, 0, 1000, 501, def);
  EXPECT_EQ(std::vector<double>({inst.ValueAt(kLensCenter, 0).x, inst.ValueAt(kLensCenter, 0).y,
                                 double(def.u.td.x_value), double(def.u.td.y_value)}),
            std::vector<double>({500, 250.5, 500 << 16, (250 << 16) + 32768}));
  // Refused: popups outside their choices, non-finite numbers, parameters without a value.
  for (double model : {0.0, 13.0, 1.5}) EXPECT_FALSE(inst.SetValue(kLensModel, {model})) << model;
  for (PF_ParamIndex index : {kRadialGroup, 0, 77, -1}) EXPECT_FALSE(inst.SetValue(index, {1}));
  EXPECT_FALSE(inst.SetValue(kR4C2, {std::nan("")}));
  std::string error;
  EXPECT_FALSE(inst.SetValue(kLensCenter, {1, HUGE_VAL}, &error));
  EXPECT_NE(error, "");
  for (double v : {30.0, -30.0}) {  // clamped to the valid range
    ASSERT_TRUE(inst.SetValue(kR4C2, {v}));
    EXPECT_EQ(inst.ValueAt(kR4C2, 0).x, v / 30 * 25);
  }
  EXPECT_FALSE(inst.SetKeyframe(kDistortMode, 0, {2}));  // cannot vary in time
  const double x = 12.345678901234567, y = -0.1;         // the doubles, never their 16.16 form
  ASSERT_TRUE(inst.SetValue(kLensCenter, {x, y}));
  EXPECT_EQ(inst.FloatingPointValue(kLensCenter, 0, 1000, 501).x, x);
  EXPECT_EQ(inst.FloatingPointValue(kLensCenter, 0, 1000, 501).y, y);

  ASSERT_TRUE(inst.SetKeyframe(kR4C2, 8, {20}) && inst.SetKeyframe(kR4C2, 0, {4}));
  ASSERT_TRUE(inst.SetKeyframe(kLensCenter, 0, {10, 20}));
  ASSERT_TRUE(inst.SetKeyframe(kLensCenter, 8, {30, -20}));
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

// A supervised change is sent and what PF_UpdateParamUI asks for becomes the controls' state,
// also after the user closed a group by hand; a change to another parameter is not sent.
TEST(HarnessParams, SupervisedChangesUpdateTheControls) {
  EffectInstance inst(LoadedEffect());
  const CommandRecord r = inst.ChangeParam(kLensModel, {4});
  EXPECT_TRUE(r.sent && r.Balanced());
  ASSERT_EQ(r.uiUpdates.size(), 1u);
  EXPECT_EQ(r.uiUpdates[0].index, kRadialGroup);
  EXPECT_FALSE(inst.Control(kRadialGroup).flags & PF_ParamFlag_COLLAPSE_TWIRLY);
  inst.SetGroupCollapsed(kRadialGroup, true);
  EXPECT_EQ(inst.ChangeParam(kLensModel, {3}).uiUpdates.size(), 1u);
  EXPECT_FALSE(inst.Control(kRadialGroup).flags & PF_ParamFlag_COLLAPSE_TWIRLY);
  EXPECT_FALSE(inst.ChangeParam(kDistortMode, {2}).sent);
}

}  // namespace
