// The host the harness plays: loading, accounting, parameter values and keyframes (seen
// through the built module), its row pool and its worlds.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "Harness.h"
#include "HostScope.h"
#include "RowPool.h"
#include "Win/PiPLImage.h"
#include "support/LoadedEffect.h"

using namespace harness;

namespace {

constexpr PF_ParamIndex kLensModel = 1, kDistortMode = 2, kLensCenter = 9, kRadialGroup = 24,
                        kR4C2 = 25;

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
      std::ofstream(dir / "Copy.pipl", std::ios::binary)
          .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
    std::string error;
    const std::unique_ptr<EffectHost> host = EffectHost::Load((dir / c.module).string(), error);
    EXPECT_EQ(host == nullptr, c.message[0] != 0) << c.message;
    EXPECT_NE(error.find(c.message), std::string::npos) << c.message << ": " << error;
    EXPECT_TRUE(!host || host->PiplBytes() == good);
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
  EXPECT_EQ(std::vector<PF_ParamIndex>({p[kLensModel].group, p[kR4C2].group, p[31].group,
                                        host.FindParam("R4 C2"), host.FindParam("r4 c2")}),
            std::vector<PF_ParamIndex>({0, kRadialGroup, kRadialGroup, kR4C2, -1}));
  EXPECT_EQ(p[kLensModel].def.u.pd.u.namesptr, p[kLensModel].popupNames.c_str());

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
  std::string error;
  EXPECT_FALSE(inst.SetValue(kR4C2, {std::nan("")}) ||
               inst.SetValue(kLensCenter, {1, HUGE_VAL}, &error));
  EXPECT_NE(error, "");
  for (double v : {30.0, -30.0}) {  // clamped to the valid range
    ASSERT_TRUE(inst.SetValue(kR4C2, {v}));
    EXPECT_EQ(inst.ValueAt(kR4C2, 0).x, v / 30 * 25);
  }
  EXPECT_FALSE(inst.SetKeyframe(kDistortMode, 0, {2}));  // cannot vary in time
  const double x = 12.345678901234567, y = -0.1;         // the doubles, never their 16.16 form
  ASSERT_TRUE(inst.SetValue(kLensCenter, {x, y}));
  const A_FloatPoint exact = inst.FloatingPointValue(kLensCenter, 0, 1000, 501);
  EXPECT_TRUE(exact.x == x && exact.y == y);

  ASSERT_TRUE(inst.SetKeyframe(kR4C2, 8, {20}) && inst.SetKeyframe(kR4C2, 0, {4}));
  ASSERT_TRUE(inst.SetKeyframe(kLensCenter, 0, {10, 20}));
  ASSERT_TRUE(inst.SetKeyframe(kLensCenter, 8, {30, -20}));
  const struct {
    A_long time;
    double c2, x, y;
  } table[] = {{-5, 4, 10, 20}, {0, 4, 10, 20},   {4, 12, 20, 0},
               {2, 8, 15, 10},  {8, 20, 30, -20}, {100, 20, 30, -20}};
  for (const auto& t : table) {
    const ParamValue c2 = inst.ValueAt(kR4C2, t.time), centre = inst.ValueAt(kLensCenter, t.time);
    EXPECT_TRUE(c2.x == t.c2 && centre.x == t.x && centre.y == t.y) << t.time;
  }
  ASSERT_TRUE(inst.SetKeyframe(kR4C2, 8, {16}));  // replaces
  EXPECT_EQ(inst.KeyframeCount(kR4C2), 2u);
  EXPECT_EQ(inst.ValueAt(kR4C2, 4).x, 10.0);
  ASSERT_TRUE(inst.SetValue(kR4C2, {3}));  // constant again
  EXPECT_EQ(inst.KeyframeCount(kR4C2), 0u);
  EXPECT_EQ(inst.ValueAt(kR4C2, 4).x, 3.0);
}

// Every item runs exactly once; a job whose item 37 stops has run every earlier item and a
// lone worker starts none after it (others may have taken some while 37 ran).
TEST(RowPool, RunsEveryItemOnceAndStopsAfterAFailure) {
  for (int32_t threads : {1, 3, 16}) {
    RowPool pool(threads);
    EXPECT_EQ(pool.Threads(), threads);
    for (int32_t count : {0, 1, 7, 1000}) {
      for (bool stop : {false, true}) {
        std::vector<std::atomic<int32_t>> runs(size_t(count) + 1);
        pool.Run(count, [&](int32_t i) { return runs[size_t(i)].fetch_add(1), !stop || i != 37; });
        for (int32_t i = 0; i < count; ++i) {
          const int32_t n = runs[size_t(i)].load();
          EXPECT_TRUE(!stop || i <= 37 ? n == 1
                      : threads == 1   ? n == 0
                                       : n <= 1)
              << threads << " threads, item " << i << " ran " << n;
        }
      }
    }
  }
}

TEST(RowPool, ServesJobsFromSeveralThreadsAtOnce) {
  RowPool pool(3);
  std::atomic<int64_t> total{0};
  std::vector<std::thread> callers;
  for (int c = 0; c < 6; ++c) {
    callers.emplace_back([&, c] {
      for (int round = 0; round < 20; ++round) {
        pool.Run(50 + c, [&](int32_t i) { return total.fetch_add(i + 1), true; });
      }
    });
  }
  for (std::thread& t : callers) t.join();
  EXPECT_EQ(total.load(), 168700);  // 20 times the sum of 1 + 2 + ... + (50 + c), c = 0..5
}

// Rows are padded, the buffer ends with the last pixel, and copies take the part of the
// image the world covers (the rest keeps its fill); empty worlds still have an address.
TEST(Worlds, PaddedRowsCopiesAndEmptyWorlds) {
  const std::unique_ptr<World> w = MakeWorld(5, 3, Depth::k16, 3, 0x11, 0xA5);
  EXPECT_EQ(w->world.rowbytes, (5 + 3) * 8);
  EXPECT_EQ(w->size, size_t(2 * 64 + 5 * 8));
  EXPECT_EQ(w->world.world_flags, PF_WorldFlag_DEEP | PF_WorldFlag_WRITEABLE);
  for (size_t i = 0; i < w->size; ++i) EXPECT_EQ(w->bytes[i], i % 64 >= 40 ? 0xA5 : 0x11) << i;
  EXPECT_TRUE(PaddingIntact(*w, 0xA5));
  w->bytes[64 + 40] = 0;  // first padding byte of row 1
  EXPECT_FALSE(PaddingIntact(*w, 0xA5));

  Image image = MakeImage(6, 4, Depth::k8);
  for (size_t i = 0; i < image.pixels.size(); ++i) image.pixels[i] = uint8_t(i);
  const std::unique_ptr<World> part = MakeWorldOver(image, -1, 1, 8, 4, 2, 0xEE, 0xA5);
  const Image back = WorldToImage(*part);
  const auto red = [&back](int32_t x, int32_t y) {
    return int(PixelAt<PF_Pixel8>(back, x, y)->red);
  };
  // (1, 0) and (6, 2) are the image's (0, 1) and (5, 3); (0, 0), (7, 0) and (1, 3) lie
  // outside it, left, right and below.
  EXPECT_EQ(std::vector<int>({back.originX, back.originY, red(1, 0), red(6, 2), red(0, 0),
                              red(7, 0), red(1, 3)}),
            std::vector<int>({-1, 1, (1 * 6 + 0) * 4 + 1, (3 * 6 + 5) * 4 + 1, 0xEE, 0xEE, 0xEE}));
  EXPECT_TRUE(PaddingIntact(*part, 0xA5));

  for (auto size : {std::make_pair(0, 0), std::make_pair(0, 7), std::make_pair(-3, 2)}) {
    const std::unique_ptr<World> empty = MakeWorld(size.first, size.second, Depth::kFloat, 3, 0, 0);
    EXPECT_TRUE(empty->world.data && empty->world.width == 0 && WorldToImage(*empty).pixels.empty())
        << size.first << " x " << size.second;
  }
}

}  // namespace
