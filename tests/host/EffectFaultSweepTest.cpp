// The built effect module under every failure the host can make: each host call that a
// command or a frame makes is failed in turn, at every occurrence, and whatever the
// effect answers, it must give back everything it took, hand its frame data to the host
// at most once, and write nothing outside the output world.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "Harness.h"
#include "support/LoadedEffect.h"

using namespace harness;

namespace {

const PF_Err kInjected = 7001;

// Every (call, occurrence) a command made, as fault rules; suites by their acquisitions
// and releases. Calls made more than `cap` times are failed at their first `cap` only.
std::vector<FaultRule> EveryFault(const std::vector<const CommandRecord*>& records, int32_t cap) {
  std::vector<FaultRule> rules;
  auto add = [&](const std::string& call, int32_t count) {
    for (int32_t i = 1; i <= count && i <= cap; ++i) rules.push_back({call, i, kInjected});
  };
  std::map<std::string, int32_t> calls;
  for (const CommandRecord* r : records) {
    for (const auto& c : r->calls) calls[c.first] += c.second;
    for (const SuiteUse& s : r->suites) {
      calls["AcquireSuite:" + s.name] += s.acquired + s.refused;
      calls["ReleaseSuite:" + s.name] += s.released;
    }
  }
  for (const auto& c : calls) add(c.first, c.second);
  return rules;
}

bool IsRelease(const FaultRule& f) { return f.call.rfind("ReleaseSuite:", 0) == 0; }

std::string Describe(const FaultRule& f) { return f.call + " #" + std::to_string(f.occurrence); }

TEST(EffectFaultSweep, CommandsGiveBackWhatTheyTake) {
  EffectHost& host = LoadedEffect();
  EffectInstance instance(host);
  const PF_ParamIndex lensModel = 1;
  ASSERT_EQ(host.Params()[size_t(lensModel)].def.param_type, PF_Param_POPUP);

  const CommandRecord global = host.GlobalSetup();
  const CommandRecord params = host.ParamsSetup();
  ASSERT_TRUE(instance.SetValue(lensModel, {1}));
  const CommandRecord change = instance.UserChangedParam(lensModel);
  ASSERT_EQ(global.result, 0);
  ASSERT_EQ(params.result, 0);
  ASSERT_EQ(change.result, 0);
  ASSERT_FALSE(change.uiUpdates.empty());

  // A sweep that fails nothing would prove nothing.
  EXPECT_GE(EveryFault({&global}, 3).size(), 2u);  // the ANSI suite; the tables are built
  EXPECT_GE(EveryFault({&params}, 100).size(), 77u);
  EXPECT_GE(EveryFault({&change}, 10).size(), 3u);
  for (const FaultRule& f : EveryFault({&global}, 3)) {
    const CommandRecord r = host.GlobalSetup({{f}});
    EXPECT_TRUE(r.Balanced()) << Describe(f);
    EXPECT_EQ(r.outData.my_version, global.outData.my_version) << Describe(f);
    EXPECT_EQ(r.outData.out_flags2, global.outData.out_flags2) << Describe(f);
    if (IsRelease(f)) {
      EXPECT_EQ(r.result, global.result) << Describe(f);
    }
  }
  for (const FaultRule& f : EveryFault({&params}, 100)) {
    const CommandRecord r = host.ParamsSetup({{f}});
    EXPECT_TRUE(r.Balanced()) << Describe(f);
    if (f.call == "add_param") {
      EXPECT_EQ(r.result, kInjected) << Describe(f);
    }
  }
  ASSERT_EQ(host.ParamsSetup().result, 0);  // the declarations back for what follows
  for (const FaultRule& f : EveryFault({&change}, 10)) {
    EffectInstance fresh(host);
    ASSERT_TRUE(fresh.SetValue(lensModel, {1}));
    const CommandRecord r = fresh.UserChangedParam(lensModel, {{f}});
    EXPECT_TRUE(r.Balanced()) << Describe(f);
    if (IsRelease(f)) {
      EXPECT_EQ(r.result, change.result) << Describe(f);
    }
  }
}

TEST(EffectFaultSweep, FramesGiveBackWhatTheyTakeInEveryDepth) {
  EffectHost& host = LoadedEffect();
  EffectInstance instance(host);
  instance.SetLayerSize(70, 23);
  for (Depth depth : {Depth::k8, Depth::k16, Depth::kFloat}) {
    for (double filter : {1.0, 4.0}) {  // the host's sampler and the effect's own
      ASSERT_TRUE(instance.SetValue(3, {filter}));
      Image layer = MakeImage(70, 23, depth);
      if (depth != Depth::kFloat) {  // float layers stay zero: any byte pattern may be NaN
        for (size_t i = 0; i < layer.pixels.size(); ++i) layer.pixels[i] = uint8_t(i * 37 % 251);
      }
      const RenderResult clean = instance.Render({&layer, 0});
      ASSERT_EQ(clean.err, 0);
      ASSERT_EQ(clean.disposals, 1);
      EXPECT_GE(EveryFault({&clean.preRender, &clean.render}, 3).size(), 20u);
      for (const FaultRule& f : EveryFault({&clean.preRender, &clean.render}, 3)) {
        RenderRequest request(&layer, 0);
        request.options.faults = {f};
        const RenderResult r = instance.Render(request);
        const std::string what = Describe(f) + " depth " + std::to_string(int(depth)) + " filter " +
                                 std::to_string(int(filter));
        EXPECT_TRUE(r.preRender.Balanced()) << what;
        EXPECT_TRUE(r.render.Balanced()) << what;
        EXPECT_LE(r.disposals, 1) << what;
        EXPECT_EQ(r.disposals, r.preRenderOutput.delete_pre_render_data_func != nullptr ? 1 : 0)
            << what;
        EXPECT_TRUE(r.outputPaddingIntact) << what;
        EXPECT_TRUE(r.inputIntact) << what;
        // A refused release leaves the frame as it was; a failing host sampler of
        // "Built-in" is passed over; every other failure must show.
        if (IsRelease(f)) {
          EXPECT_EQ(r.err, 0) << what;
          EXPECT_EQ(r.output.pixels, clean.output.pixels) << what;
        } else if (f.call.find("sample") == std::string::npos) {
          EXPECT_NE(r.err, 0) << what;
        }
      }
    }
  }
}

}  // namespace
