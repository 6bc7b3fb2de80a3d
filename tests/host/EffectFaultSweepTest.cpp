// The built effect module under every failure the host can make: each host call that a
// command or a frame makes is failed in turn, at every occurrence, and whatever the
// effect answers, it must give back everything it took, hand its frame data to the host
// at most once, and write nothing outside the output world.
#include <gtest/gtest.h>

#include <functional>
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
  std::map<std::string, int32_t> calls;
  for (const CommandRecord* r : records) {
    for (const auto& c : r->calls) calls[c.first] += c.second;
    for (const SuiteUse& s : r->suites) {
      calls["AcquireSuite:" + s.name] += s.acquired + s.refused;
      calls["ReleaseSuite:" + s.name] += s.released;
    }
  }
  for (const auto& c : calls) {
    for (int32_t i = 1; i <= c.second && i <= cap; ++i) rules.push_back({c.first, i, kInjected});
  }
  return rules;
}

std::string Describe(const FaultRule& f) { return f.call + " #" + std::to_string(f.occurrence); }

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
      const std::string what = std::string(command.name) + ": " + Describe(f);
      const bool refused = f.call.rfind("AcquireSuite:", 0) == 0;
      EXPECT_TRUE(r.Balanced()) << what;
      EXPECT_EQ(r.outData.my_version, clean.outData.my_version) << what;
      EXPECT_EQ(r.outData.out_flags2, clean.outData.out_flags2) << what;
      EXPECT_EQ(r.result, refused ? 516 : f.call == "add_param" ? kInjected : 0) << what;
      EXPECT_STREQ(r.outData.return_msg, refused ? "Couldn't load suite." : "") << what;
    }
    ASSERT_EQ(host.ParamsSetup().result, 0);  // the declarations back for what follows
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
      const std::vector<FaultRule> faults = EveryFault({&clean.preRender, &clean.render}, 3);
      EXPECT_GE(faults.size(), 20u);
      for (const FaultRule& f : faults) {
        RenderRequest request(&layer, 0);
        request.options.faults = {f};
        const RenderResult r = instance.Render(request);
        const std::string what = Describe(f) + " depth " + std::to_string(int(depth)) + " filter " +
                                 std::to_string(int(filter));
        EXPECT_TRUE(r.preRender.Balanced() && r.render.Balanced()) << what;
        EXPECT_EQ(r.disposals, r.preRenderOutput.delete_pre_render_data_func != nullptr ? 1 : 0)
            << what;
        EXPECT_TRUE(r.outputPaddingIntact && r.inputIntact) << what;
        // A refused release leaves the frame as it was; a failing host sampler of
        // "Built-in" is passed over; every other failure must show.
        if (f.call.rfind("ReleaseSuite:", 0) == 0) {
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
