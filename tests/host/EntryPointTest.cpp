#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "FakeHost.h"
#include "Host/EntryPoint.h"

namespace {

PF_Err Send(FakeHost& host, PF_Cmd cmd, void* extra = nullptr) {
  return EntryPointFunc(cmd, &host.in_data, &host.out_data, nullptr, nullptr, extra);
}

// Commands the effect does not answer return 0 and leave every byte of out_data as it was.
TEST(EntryPointFunc, UnhandledCommandsReturnZeroAndTouchNothing) {
  const PF_Cmd unhandled[] = {PF_Cmd_UNUSED_0,      PF_Cmd_GLOBAL_SETDOWN,  PF_Cmd_SEQUENCE_SETUP,
                              PF_Cmd_SEQUENCE_RESETUP, PF_Cmd_SEQUENCE_FLATTEN,
                              PF_Cmd_SEQUENCE_SETDOWN, PF_Cmd_DO_DIALOG,   PF_Cmd_FRAME_SETUP,
                              PF_Cmd_RENDER,        PF_Cmd_FRAME_SETDOWN,   PF_Cmd_UPDATE_PARAMS_UI,
                              PF_Cmd_EVENT,         PF_Cmd_GET_EXTERNAL_DEPENDENCIES,
                              PF_Cmd_COMPLETELY_GENERAL, PF_Cmd_QUERY_DYNAMIC_FLAGS,
                              PF_Cmd_AUDIO_RENDER,  PF_Cmd_AUDIO_SETUP,     PF_Cmd_AUDIO_SETDOWN,
                              PF_Cmd_ARBITRARY_CALLBACK, 25, 26, 27, 28, 29, 30, 31, 32, 33,
                              PF_Cmd_NUM_CMDS,      -1,                     1000000};
  for (PF_Cmd cmd : unhandled) {
    SCOPED_TRACE(cmd);
    FakeHost host;
    std::memset(&host.out_data, 0xA5, sizeof host.out_data);
    PF_OutData before;
    std::memcpy(&before, &host.out_data, sizeof before);
    EXPECT_EQ(Send(host, cmd), PF_Err_NONE);
    EXPECT_EQ(std::memcmp(&before, &host.out_data, sizeof before), 0);
    EXPECT_TRUE(host.acquired.empty());
    EXPECT_EQ(host.addParamCalls, 0);
  }
  // Not even the records are looked at.
  EXPECT_EQ(EntryPointFunc(PF_Cmd_RENDER, nullptr, nullptr, nullptr, nullptr, nullptr), 0);
}

// Whatever a host callback throws beneath a handler comes back as a code, never as an
// exception: integers as themselves, a failed allocation as out-of-memory, anything else
// as damaged state.
TEST(EntryPointFunc, ThrownFailuresBecomeCodes) {
  struct Case {
    FakeHost::Fault fault;
    PF_Err code;
    PF_Err expected;
  };
  const Case cases[] = {{FakeHost::Fault::kThrowInt, 12345, 12345},
                        {FakeHost::Fault::kThrowInt, PF_Err_BAD_CALLBACK_PARAM, 516},
                        {FakeHost::Fault::kThrowBadAlloc, 0, PF_Err_OUT_OF_MEMORY},
                        {FakeHost::Fault::kThrowOther, 0, PF_Err_INTERNAL_STRUCT_DAMAGED}};
  for (const Case& c : cases) {
    for (int call : {1, 40}) {
      FakeHost host;
      host.addParamFaults[call] = {c.fault, c.code};
      EXPECT_EQ(Send(host, PF_Cmd_PARAMS_SETUP), c.expected);
      EXPECT_EQ(host.addParamCalls, call);
    }
  }
}

TEST(EntryPointFunc, HandledCommandsWithoutTheirRecordsFailCleanly) {
  for (PF_Cmd cmd : {PF_Cmd_ABOUT, PF_Cmd_GLOBAL_SETUP, PF_Cmd_PARAMS_SETUP,
                     PF_Cmd_USER_CHANGED_PARAM, PF_Cmd_SMART_PRE_RENDER, PF_Cmd_SMART_RENDER}) {
    EXPECT_EQ(EntryPointFunc(cmd, nullptr, nullptr, nullptr, nullptr, nullptr),
              PF_Err_INTERNAL_STRUCT_DAMAGED);
  }
  FakeHost host;
  EXPECT_EQ(Send(host, PF_Cmd_SMART_PRE_RENDER), PF_Err_INTERNAL_STRUCT_DAMAGED);
  EXPECT_EQ(Send(host, PF_Cmd_SMART_RENDER), PF_Err_INTERNAL_STRUCT_DAMAGED);
  EXPECT_EQ(Send(host, PF_Cmd_USER_CHANGED_PARAM), PF_Err_NONE);
}

// What the render callbacks hand out, per case.
PF_EffectWorld* gInputWorld = nullptr;
PF_EffectWorld* gOutputWorld = nullptr;
PF_Err HandInput(PF_ProgPtr, A_long, PF_EffectWorld** world) {
  *world = gInputWorld;
  return PF_Err_NONE;
}
PF_Err HandOutput(PF_ProgPtr, PF_EffectWorld** world) {
  *world = gOutputWorld;
  return PF_Err_NONE;
}

// Records a host may hand over empty, and worlds that calls reporting success may yield:
// a defined code, and no byte read of the context (one byte here, so the address sanitizer
// sees any reach into it) or of anything else the host did not hand out.
TEST(EntryPointFunc, UnusableRenderRecordsAndWorlds) {
  PF_EffectWorld pixels{};
  pixels.width = pixels.height = 4;
  PF_EffectWorld noPixels = pixels;
  PF_Pixel somewhere{};
  pixels.data = &somewhere;  // never read
  struct Case {
    const char* what;
    bool input, cb, context;
    PF_EffectWorld *inputWorld, *outputWorld;
    PF_Err expected;
  };
  const Case cases[] = {
      {"no input record", false, true, true, &pixels, &pixels, PF_Err_INTERNAL_STRUCT_DAMAGED},
      {"no callbacks", true, false, true, &pixels, &pixels, PF_Err_INTERNAL_STRUCT_DAMAGED},
      {"no pre-render data", true, true, false, &pixels, &pixels, PF_Err_BAD_CALLBACK_PARAM},
      {"null input world", true, true, true, nullptr, &pixels, PF_Err_BAD_CALLBACK_PARAM},
      {"null output world", true, true, true, &pixels, nullptr, PF_Err_BAD_CALLBACK_PARAM},
      {"input without pixels", true, true, true, &noPixels, &pixels, PF_Err_BAD_CALLBACK_PARAM},
      {"output without pixels", true, true, true, &pixels, &noPixels, PF_Err_BAD_CALLBACK_PARAM},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
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
    EXPECT_EQ(Send(host, PF_Cmd_SMART_PRE_RENDER, &extra), PF_Err_INTERNAL_STRUCT_DAMAGED);
  }
  EXPECT_TRUE(host.acquired.empty());
}

TEST(About, NameVersionAndTextFitTheMessage) {
  FakeHost host;
  EXPECT_EQ(Send(host, PF_Cmd_ABOUT), PF_Err_NONE);
  const std::string expected =
      "Vantrel Adv. Distortion 1.4\r\r"
      "Vantrel Advanced Distortion\r"
      "Removes or applies camera-lens distortion with the Vantrel lens models.\r"
      "Twelve models, three modes, six resampling filters.\r"
      "Copyright 2026 Halvard Vantrel.";
  EXPECT_EQ(std::string(host.out_data.return_msg), expected);
  EXPECT_LE(expected.size(), 255u);
  EXPECT_TRUE(host.acquired.empty());
}

constexpr A_u_long kVersion = 0x000A0601;
constexpr PF_OutFlags kOutFlags = 0x02000040;
constexpr PF_OutFlags2 kOutFlags2 = 0x08001408;

TEST(GlobalSetup, ReportsVersionAndFlagsKeepingTheHostsBits) {
  FakeHost host;
  host.out_data.out_flags = PF_OutFlag_NON_PARAM_VARY;
  host.out_data.out_flags2 = PF_OutFlag2_I_USE_3D_CAMERA;
  EXPECT_EQ(Send(host, PF_Cmd_GLOBAL_SETUP), PF_Err_NONE);
  EXPECT_EQ(host.out_data.my_version, kVersion);
  EXPECT_EQ(host.out_data.out_flags, kOutFlags | PF_OutFlag_NON_PARAM_VARY);
  EXPECT_EQ(host.out_data.out_flags2, kOutFlags2);
  EXPECT_EQ(host.acquired, std::vector<std::string>{"PF ANSI Suite"});
  EXPECT_EQ(host.released, std::vector<std::string>{"PF ANSI Suite"});
  EXPECT_STREQ(host.out_data.return_msg, "");
}

// A host without a basic suite is refused before anything is written; every other way
// out reports the version and flags, and only a refused acquisition is an error (with the
// host's message). Nothing acquired stays acquired.
TEST(GlobalSetup, FailuresAndTheVersionAndFlags) {
  enum class Failure { kNoBasicSuite, kAnsiRefused, kReleaseRefused, kAnsiWithErrorCode };
  struct Case {
    Failure failure;
    PF_Err result;
    bool reported;  // version and flags written
    const char* message;
  };
  const Case cases[] = {{Failure::kNoBasicSuite, PF_Err_BAD_CALLBACK_PARAM, false, ""},
                        {Failure::kAnsiRefused, PF_Err_BAD_CALLBACK_PARAM, true,
                         "Couldn't load suite."},
                        {Failure::kReleaseRefused, PF_Err_NONE, true, ""},
                        {Failure::kAnsiWithErrorCode, PF_Err_NONE, true, ""}};
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.failure));
    FakeHost host;
    if (c.failure == Failure::kNoBasicSuite) host.in_data.pica_basicP = nullptr;
    if (c.failure == Failure::kAnsiRefused) host.refuseAcquire.push_back("PF ANSI Suite");
    if (c.failure == Failure::kReleaseRefused) host.refuseRelease.push_back("PF ANSI Suite");
    if (c.failure == Failure::kAnsiWithErrorCode) host.acquireWithError.push_back("PF ANSI Suite");
    EXPECT_EQ(Send(host, PF_Cmd_GLOBAL_SETUP), c.result);
    EXPECT_EQ(host.out_data.my_version, c.reported ? kVersion : 0u);
    EXPECT_EQ(host.out_data.out_flags, (c.reported ? kOutFlags : 0) |
                                           (c.message[0] ? PF_OutFlag_DISPLAY_ERROR_MESSAGE : 0));
    EXPECT_EQ(host.out_data.out_flags2, c.reported ? kOutFlags2 : 0);
    EXPECT_STREQ(host.out_data.return_msg, c.message);
    EXPECT_EQ(host.Outstanding(), 0);
  }
}

}  // namespace
