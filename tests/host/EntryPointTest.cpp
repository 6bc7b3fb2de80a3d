// The effect's handlers and suite access called directly, with a stand-in host that records
// every request.
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

#include "Host/EntryPoint.h"
#include "Host/HostSuites.h"
#include "Host/SuiteAccess.h"
#include "SPErrorCodes.h"

namespace {

using Names = std::vector<std::string>;

// in_data with add_param and a basic suite serving every "PF " suite; records what the effect
// asked. Its callbacks are plain C functions, so one exists at a time and they find it through
// gHost. No utility callbacks: the effect then copies names and messages itself.
struct FakeHost;
FakeHost* gHost = nullptr;

struct FakeHost {
  FakeHost();
  ~FakeHost() { gHost = nullptr; }
  PF_InData in_data{};
  PF_OutData out_data{};
  SPBasicSuite basic{};
  void* otherSuite[8] = {};      // served for every name: never called here
  std::string acquireWithError;  // handed out with an error code all the same
  Names acquired, released;      // in call order
  std::map<int, std::function<PF_Err()>> addParamFaults;  // by call (1-based): a code or a throw
  int addParamCalls = 0;
};

FakeHost::FakeHost() {
  gHost = this;
  basic.AcquireSuite = [](const char* name, int32, const void** suite) -> SPErr {
    *suite = std::strncmp(name, "PF ", 3) == 0 ? gHost->otherSuite : nullptr;
    if (*suite) gHost->acquired.push_back(name);
    return *suite && gHost->acquireWithError != name ? kSPNoError : kSPSuiteNotFoundError;
  };
  basic.ReleaseSuite = [](const char* name, int32) -> SPErr {
    gHost->released.push_back(name);
    return kSPNoError;
  };
  in_data.inter.add_param = [](PF_ProgPtr, PF_ParamIndex, PF_ParamDefPtr) -> PF_Err {
    const auto fault = gHost->addParamFaults.find(++gHost->addParamCalls);
    return fault == gHost->addParamFaults.end() ? PF_Err_NONE : fault->second();
  };
  in_data.pica_basicP = &basic;
}

PF_Err Send(FakeHost& host, PF_Cmd cmd, void* extra = nullptr) {
  return EntryPointFunc(cmd, &host.in_data, &host.out_data, nullptr, nullptr, extra);
}

// Commands the effect does not answer return 0 and leave every byte of out_data as it was;
// the handled ones refuse missing records.
TEST(EntryPointFunc, UnhandledCommandsTouchNothingAndMissingRecordsAreRefused) {
  const std::set<PF_Cmd> handled{PF_Cmd_ABOUT,
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
    EXPECT_TRUE(host.acquired.empty() && host.addParamCalls == 0);
  }
  EXPECT_EQ(EntryPointFunc(1000000, nullptr, nullptr, nullptr, nullptr, nullptr), 0);
  FakeHost host;
  EXPECT_EQ(Send(host, PF_Cmd_SMART_PRE_RENDER), PF_Err_INTERNAL_STRUCT_DAMAGED);
  EXPECT_EQ(Send(host, PF_Cmd_SMART_RENDER), PF_Err_INTERNAL_STRUCT_DAMAGED);
  EXPECT_EQ(Send(host, PF_Cmd_USER_CHANGED_PARAM), PF_Err_NONE);
}

PF_EffectWorld* gInputWorld = nullptr;
PF_EffectWorld* gOutputWorld = nullptr;

// Records a host may hand over empty, and worlds that calls reporting success may yield: a
// defined code, and no byte read of the context (one byte, so the address sanitizer sees any
// reach into it) or of pixels the host did not hand out.
TEST(EntryPointFunc, UnusableRenderRecordsAndWorlds) {
  PF_EffectWorld pixels{}, thin{}, flat{};  // one row or column, yet no pixels
  pixels.width = pixels.height = thin.height = flat.width = 4;
  thin.width = flat.height = 1;
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
               {true, true, true, &thin, &pixels, bad},
               {true, true, true, &pixels, &flat, bad}};
  FakeHost host;
  for (const auto& c : cases) {
    std::unique_ptr<char[]> context(new char[1]);
    gInputWorld = c.inputWorld;
    gOutputWorld = c.outputWorld;
    PF_SmartRenderInput input{};
    input.pre_render_data = c.context ? context.get() : nullptr;
    PF_SmartRenderCallbacks cb{
        [](PF_ProgPtr, A_long, PF_EffectWorld** w) -> PF_Err { return *w = gInputWorld, 0; },
        nullptr, [](PF_ProgPtr, PF_EffectWorld** w) -> PF_Err { return *w = gOutputWorld, 0; }};
    PF_SmartRenderExtra extra{c.input ? &input : nullptr, c.cb ? &cb : nullptr};
    EXPECT_EQ(Send(host, PF_Cmd_SMART_RENDER, &extra), c.expected) << &c - cases;
  }
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
    EXPECT_EQ(host.out_data.num_params, c.calls > 40 ? 77 : 5);  // no throw: every control tried
  }
}

// A refusal is 516 with the flag, the message and a null table; without the host's sprintf
// the message is cut to the host's field, never written past it. Only a missing basic suite
// fails a release. A table handed out with an error code is used (and so released).
TEST(SuiteAccess, RefusalsMessagesAndTablesWithAnError) {
  for (bool noBasicSuite : {true, false}) {
    FakeHost host;
    if (noBasicSuite) host.in_data.pica_basicP = nullptr;
    host.out_data.out_flags = 0x40;
    const void* suite = &host;
    EXPECT_EQ(
        AcquireHostSuite(&host.in_data, &host.out_data, "No Suite", 1, kCouldNotLoadSuite, &suite),
        PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(suite, nullptr);
    EXPECT_EQ(host.out_data.out_flags, 0x40 | PF_OutFlag_DISPLAY_ERROR_MESSAGE);
    EXPECT_STREQ(host.out_data.return_msg, "Couldn't load suite.");
    EXPECT_EQ(ReleaseHostSuite(&host.in_data, &host.out_data, "No Suite", 1, kCouldNotReleaseSuite),
              noBasicSuite ? PF_Err_BAD_CALLBACK_PARAM : PF_Err_NONE);
    EXPECT_STREQ(host.out_data.return_msg,
                 noBasicSuite ? "Couldn't release suite." : "Couldn't load suite.");
  }
  FakeHost host;
  ShowHostError(&host.in_data, &host.out_data, std::string(400, 'x').c_str());
  EXPECT_EQ(std::string(host.out_data.return_msg), std::string(255, 'x'));
  host.acquireWithError = "PF Iterate8 Suite";
  {
    HostSuites suites(&host.basic);
    EXPECT_EQ(static_cast<const void*>(suites.Iterate8Suite1()), host.otherSuite);
  }
  EXPECT_EQ(host.released, Names{"PF Iterate8 Suite"});
}

}  // namespace
