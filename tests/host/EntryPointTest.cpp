// The effect's handlers called directly, with a stand-in host that records every request.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <new>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "FakeHost.h"
#include "Host/EntryPoint.h"

namespace {

using Names = std::vector<std::string>;

PF_Err Send(FakeHost& host, PF_Cmd cmd, void* extra = nullptr, PF_ParamDef** params = nullptr) {
  return EntryPointFunc(cmd, &host.in_data, &host.out_data, params, nullptr, extra);
}

// Commands the effect does not answer return 0 and leave every byte of out_data as it was;
// the handled ones refuse missing records.
TEST(EntryPointFunc, UnhandledCommandsTouchNothingAndMissingRecordsAreRefused) {
  const std::set<PF_Cmd> handled = {PF_Cmd_ABOUT,
                                    PF_Cmd_GLOBAL_SETUP,
                                    PF_Cmd_PARAMS_SETUP,
                                    PF_Cmd_USER_CHANGED_PARAM,
                                    PF_Cmd_SMART_PRE_RENDER,
                                    PF_Cmd_SMART_RENDER};
  for (PF_Cmd cmd = -1; cmd <= PF_Cmd_NUM_CMDS + 1; ++cmd) {
    SCOPED_TRACE(cmd);
    if (handled.count(cmd)) {
      EXPECT_EQ(EntryPointFunc(cmd, nullptr, nullptr, nullptr, nullptr, nullptr),
                PF_Err_INTERNAL_STRUCT_DAMAGED);
      continue;
    }
    FakeHost host;
    std::memset(&host.out_data, 0xA5, sizeof host.out_data);
    const PF_OutData before = host.out_data;
    EXPECT_EQ(Send(host, cmd), PF_Err_NONE);
    EXPECT_EQ(std::memcmp(&before, &host.out_data, sizeof before), 0);
    EXPECT_TRUE(host.acquired.empty());
    EXPECT_EQ(host.addParamCalls, 0);
  }
  EXPECT_EQ(EntryPointFunc(1000000, nullptr, nullptr, nullptr, nullptr, nullptr), 0);
  FakeHost host;
  EXPECT_EQ(Send(host, PF_Cmd_SMART_PRE_RENDER), PF_Err_INTERNAL_STRUCT_DAMAGED);
  EXPECT_EQ(Send(host, PF_Cmd_SMART_RENDER), PF_Err_INTERNAL_STRUCT_DAMAGED);
  EXPECT_EQ(Send(host, PF_Cmd_USER_CHANGED_PARAM), PF_Err_NONE);
}

PF_EffectWorld* gInputWorld = nullptr;
PF_EffectWorld* gOutputWorld = nullptr;
PF_Err HandInput(PF_ProgPtr, A_long, PF_EffectWorld** world) { return *world = gInputWorld, 0; }
PF_Err HandOutput(PF_ProgPtr, PF_EffectWorld** world) { return *world = gOutputWorld, 0; }

// Records a host may hand over empty, and worlds that calls reporting success may yield: a
// defined code, and no byte read of the context (one byte, so the address sanitizer sees any
// reach into it) or of pixels the host did not hand out.
TEST(EntryPointFunc, UnusableRenderRecordsAndWorlds) {
  PF_EffectWorld pixels{}, noPixels{};
  pixels.width = pixels.height = noPixels.width = noPixels.height = 4;
  PF_Pixel somewhere{};
  pixels.data = &somewhere;
  const PF_Err damaged = PF_Err_INTERNAL_STRUCT_DAMAGED, bad = PF_Err_BAD_CALLBACK_PARAM;
  const struct {
    bool input, cb, context;
    PF_EffectWorld *inputWorld, *outputWorld;
    PF_Err expected;
  } cases[] = {{false, true, true, &pixels, &pixels, damaged},
               {true, false, true, &pixels, &pixels, damaged},
               {true, true, false, &pixels, &pixels, bad},
               {true, true, true, nullptr, &pixels, bad},
               {true, true, true, &pixels, nullptr, bad},
               {true, true, true, &noPixels, &pixels, bad},
               {true, true, true, &pixels, &noPixels, bad}};
  for (const auto& c : cases) {
    SCOPED_TRACE(&c - cases);
    FakeHost host;
    std::unique_ptr<char[]> context(new char[1]);
    gInputWorld = c.inputWorld;
    gOutputWorld = c.outputWorld;
    PF_SmartRenderInput input{};
    input.pre_render_data = c.context ? context.get() : nullptr;
    PF_SmartRenderCallbacks cb{HandInput, nullptr, HandOutput};
    PF_SmartRenderExtra extra{c.input ? &input : nullptr, c.cb ? &cb : nullptr};
    EXPECT_EQ(Send(host, PF_Cmd_SMART_RENDER, &extra), c.expected);
    EXPECT_TRUE(host.acquired.empty());
  }
  FakeHost host;
  PF_PreRenderInput input{};
  PF_PreRenderOutput output{};
  PF_PreRenderCallbacks cb{};
  for (int missing = 0; missing < 3; ++missing) {
    PF_PreRenderExtra extra{missing == 0 ? nullptr : &input, missing == 1 ? nullptr : &output,
                            missing == 2 ? nullptr : &cb};
    EXPECT_EQ(Send(host, PF_Cmd_SMART_PRE_RENDER, &extra), damaged);
  }
  EXPECT_TRUE(host.acquired.empty());
}

// A refused main control stops the main controls; the groups are all still tried, each
// refusal stored and the last one returned; the count is always 77. Whatever add_param throws
// comes back as a code: integers as themselves, a failed allocation as out-of-memory,
// anything else as damaged state.
TEST(ParamsSetup, FailedAdditions) {
  using Fault = std::function<PF_Err()>;
  const auto code = [](PF_Err err) -> Fault { return [err] { return err; }; };
  const auto thrown = [](PF_Err err) -> Fault { return [err]() -> PF_Err { throw err; }; };
  const Fault badAlloc = []() -> PF_Err { throw std::bad_alloc(); };
  const Fault other = []() -> PF_Err { throw std::runtime_error("host trouble"); };
  const struct {
    std::map<int, Fault> faults;  // by add_param call
    int calls;
    PF_Err expected;
  } cases[] = {{{{1, code(513)}}, 1 + 67, 513},  // Lens Model: no other main control
               {{{9, code(514)}}, 9 + 67, 514},  // Lens Center: the groups follow
               {{{10, code(515)}}, 76, 515},     // a group start
               {{{10, code(515)}, {40, code(513)}}, 76, 513},
               {{{3, code(517)}, {70, code(518)}}, 3 + 67, 518},
               {{{1, thrown(12345)}}, 1, 12345},
               {{{40, thrown(12345)}}, 40, 12345},
               {{{1, thrown(PF_Err_BAD_CALLBACK_PARAM)}}, 1, 516},
               {{{1, badAlloc}}, 1, PF_Err_OUT_OF_MEMORY},
               {{{40, badAlloc}}, 40, PF_Err_OUT_OF_MEMORY},
               {{{1, other}}, 1, PF_Err_INTERNAL_STRUCT_DAMAGED},
               {{{40, other}}, 40, PF_Err_INTERNAL_STRUCT_DAMAGED}};
  for (const auto& c : cases) {
    SCOPED_TRACE(&c - cases);
    FakeHost host;
    host.addParamFaults = c.faults;
    host.out_data.num_params = 5;
    EXPECT_EQ(Send(host, PF_Cmd_PARAMS_SETUP), c.expected);
    EXPECT_EQ(host.addParamCalls, c.calls);
    if (c.calls > 40) {  // no throw: every control tried
      EXPECT_EQ(host.out_data.num_params, 77);
    }
  }
}

constexpr PF_ParamIndex kGroupStarts[] = {10, 17, 24, 32, 46, 69};

// The host's parameter array after set-up: Lens Model at `lensModel`, every group collapsed
// unless listed in `open`, each with a recognisable name.
struct Params {
  PF_ParamDef defs[77] = {};
  PF_ParamDef* pointers[77] = {};

  Params(PF_ParamValue lensModel, std::vector<PF_ParamIndex> open) {
    for (int i = 0; i < 77; ++i) pointers[i] = &defs[i];
    defs[1].param_type = PF_Param_POPUP;
    defs[1].u.pd.value = lensModel;
    for (PF_ParamIndex start : kGroupStarts) {
      defs[start].param_type = PF_Param_GROUP_START;
      defs[start].flags = PF_ParamFlag_COLLAPSE_TWIRLY | PF_ParamFlag_CANNOT_INTERP;
      defs[start].uu.change_flags = PF_ChangeFlag_SET_TO_CONSTANT;
      defs[start].name[0] = static_cast<char>('A' + start % 26);
    }
    for (PF_ParamIndex start : open) defs[start].flags &= ~PF_ParamFlag_COLLAPSE_TWIRLY;
  }
};

PF_Err ChangeParam(FakeHost& host, Params& params, PF_ParamIndex changed) {
  PF_UserChangedParamExtra extra{changed};
  return Send(host, PF_Cmd_USER_CHANGED_PARAM, &extra, params.pointers);
}

// Changing Lens Model opens its family's group and collapses the others that are open, in
// the order 10, 24, 32, 46, 17, 69, with copies of the host's records; a value that is no
// model, or a change to any other parameter, does nothing.
TEST(UserChangedParam, OpensTheChosenModelsGroupOnly) {
  struct Case {
    PF_ParamValue lensModel;
    std::vector<PF_ParamIndex> openBefore;
    std::string expected;  // the groups updated in order, + opened, - collapsed
  };
  std::vector<Case> cases = {{1, {69, 17, 46, 24, 32}, "+10 -24 -32 -46 -17 -69"},
                             {11, {10, 24, 32, 46, 17, 69}, "-10 -24 -32 -46 -17"},
                             {0, {24}, ""},
                             {13, {}, ""},
                             {-2147483647 - 1, {}, ""}};
  const PF_ParamIndex groupOf[] = {0, 10, 17, 24, 24, 32, 32, 46, 46, 69, 69, 69, 69};
  for (PF_ParamValue model = 1; model <= 12; ++model) {
    cases.push_back({model, {}, "+" + std::to_string(groupOf[model])});
    cases.push_back({model, {groupOf[model]}, ""});
  }
  for (const auto& c : cases) {
    SCOPED_TRACE(c.lensModel);
    FakeHost host;
    Params params(c.lensModel, c.openBefore);
    const Params before = params;
    EXPECT_EQ(ChangeParam(host, params, 1), PF_Err_NONE);
    std::string calls;
    for (const auto& update : host.updates) {
      const PF_ParamDef &def = update.second, &current = params.defs[update.first];
      calls += std::string(calls.empty() ? "" : " ") +
               (def.flags & PF_ParamFlag_COLLAPSE_TWIRLY ? '-' : '+') +
               std::to_string(update.first);
      EXPECT_EQ(def.flags ^ current.flags, PF_ParamFlag_COLLAPSE_TWIRLY);
      EXPECT_EQ(def.uu.change_flags, PF_ChangeFlag_SET_TO_CONSTANT | PF_ChangeFlag_CHANGED_VALUE);
      EXPECT_EQ(def.param_type, PF_Param_GROUP_START);
      EXPECT_STREQ(def.name, current.name);
    }
    EXPECT_EQ(calls, c.expected);
    EXPECT_EQ(std::memcmp(&before.defs, &params.defs, sizeof params.defs), 0);
    EXPECT_EQ(host.acquired, Names{"PF Param Utils Suite"});
    EXPECT_EQ(host.released, Names{"PF Param Utils Suite"});
  }
  for (PF_ParamIndex changed : {0, 2, 3, 9, 10, 21, 76, 77, -1}) {
    FakeHost host;
    Params params(4, {});
    EXPECT_EQ(ChangeParam(host, params, changed), PF_Err_NONE);
    EXPECT_TRUE(host.updates.empty());
    EXPECT_TRUE(host.acquired.empty());
  }
}

}  // namespace
