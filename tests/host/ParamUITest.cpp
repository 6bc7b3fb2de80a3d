#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "FakeHost.h"
#include "Host/EntryPoint.h"

namespace {

constexpr PF_ParamIndex kGroupStarts[] = {10, 17, 24, 32, 46, 69};

// The host's parameter array as it stands after set-up: Lens Model at `lensModel`, every
// group collapsed unless listed in `open`, each with a recognisable id.
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
  return EntryPointFunc(PF_Cmd_USER_CHANGED_PARAM, &host.in_data, &host.out_data,
                        params.pointers, nullptr, &extra);
}

// (index, opened) of each PF_UpdateParamUI call, in order.
using Calls = std::vector<std::pair<PF_ParamIndex, bool>>;

TEST(UserChangedParam, OpensTheChosenModelsGroupOnly) {
  struct Case {
    PF_ParamValue lensModel;
    std::vector<PF_ParamIndex> openBefore;
    Calls expected;
  };
  const Case cases[] = {
      {4, {}, {{24, true}}},
      {3, {24}, {}},  // same group already open: no call at all
      {1, {}, {{10, true}}},
      {2, {}, {{17, true}}},
      {5, {}, {{32, true}}},
      {6, {32}, {}},
      {7, {}, {{46, true}}},
      {8, {}, {{46, true}}},
      {9, {}, {{69, true}}},
      {12, {}, {{69, true}}},
      // Groups opened by hand are collapsed again, in the order 10, 24, 32, 46, 17, 69.
      {1, {69, 17, 46, 24, 32}, {{10, true}, {24, false}, {32, false}, {46, false}, {17, false},
                                 {69, false}}},
      {11, {10, 24, 32, 46, 17, 69}, {{10, false}, {24, false}, {32, false}, {46, false},
                                       {17, false}}},
      // No such model: nothing changes.
      {0, {24}, {}},
      {13, {}, {}},
      {-2147483647 - 1, {}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("lens model " + std::to_string(c.lensModel));
    FakeHost host;
    Params params(c.lensModel, c.openBefore);
    const Params before = params;
    EXPECT_EQ(ChangeParam(host, params, 1), PF_Err_NONE);

    Calls calls;
    for (const auto& update : host.updates) {
      const PF_ParamDef& def = update.second;
      const PF_ParamDef& current = params.defs[update.first];
      calls.emplace_back(update.first, !(def.flags & PF_ParamFlag_COLLAPSE_TWIRLY));
      // A copy of the current record with only the twirly bit flipped and the change marked.
      EXPECT_EQ(def.flags ^ current.flags, PF_ParamFlag_COLLAPSE_TWIRLY);
      EXPECT_EQ(def.uu.change_flags, PF_ChangeFlag_SET_TO_CONSTANT | PF_ChangeFlag_CHANGED_VALUE);
      EXPECT_EQ(def.param_type, PF_Param_GROUP_START);
      EXPECT_STREQ(def.name, current.name);
    }
    EXPECT_EQ(calls, c.expected);
    // The host's own array is never written.
    EXPECT_EQ(std::memcmp(&before.defs, &params.defs, sizeof params.defs), 0);
    EXPECT_EQ(host.acquired, std::vector<std::string>{"PF Param Utils Suite"});
    EXPECT_EQ(host.released, std::vector<std::string>{"PF Param Utils Suite"});
  }
}

TEST(UserChangedParam, OtherParametersDoNothing) {
  for (PF_ParamIndex changed : {0, 2, 3, 9, 10, 21, 76, 77, -1}) {
    FakeHost host;
    Params params(4, {});
    EXPECT_EQ(ChangeParam(host, params, changed), PF_Err_NONE);
    EXPECT_TRUE(host.updates.empty());
    EXPECT_TRUE(host.acquired.empty());
  }
}

// The host's answer to an update is ignored. A refused suite is 516 with the message, no
// basic suite 516 without one, and no group changes either way; a refused release is not
// the command's failure.
TEST(UserChangedParam, HostFailures) {
  enum class Failure { kUpdateRefused, kNoBasicSuite, kSuiteRefused, kReleaseRefused };
  struct Case {
    Failure failure;
    PF_Err result;
    size_t updates;
    const char* message;
  };
  const Case cases[] = {{Failure::kUpdateRefused, PF_Err_NONE, 2, ""},
                        {Failure::kNoBasicSuite, PF_Err_BAD_CALLBACK_PARAM, 0, ""},
                        {Failure::kSuiteRefused, PF_Err_BAD_CALLBACK_PARAM, 0,
                         "Couldn't load suite."},
                        {Failure::kReleaseRefused, PF_Err_NONE, 2, ""}};
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.failure));
    FakeHost host;
    if (c.failure == Failure::kUpdateRefused) host.updateResult = PF_Err_INVALID_INDEX;
    if (c.failure == Failure::kNoBasicSuite) host.in_data.pica_basicP = nullptr;
    if (c.failure == Failure::kSuiteRefused) host.refuseAcquire.push_back("PF Param Utils Suite");
    if (c.failure == Failure::kReleaseRefused) host.refuseRelease.push_back("PF Param Utils Suite");
    Params params(1, {24});
    EXPECT_EQ(ChangeParam(host, params, 1), c.result);
    EXPECT_EQ(host.updates.size(), c.updates);
    EXPECT_STREQ(host.out_data.return_msg, c.message);
    EXPECT_EQ(host.Outstanding(), 0);
  }
}

}  // namespace
