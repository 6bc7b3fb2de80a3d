#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ExpectedParams.h"
#include "FakeHost.h"
#include "Host/EntryPoint.h"

namespace {

using expected_params::kExpected;

TEST(ParamsSetup, DeclaresEveryControlAsTheUserExpects) {
  FakeHost host;
  EXPECT_EQ(EntryPointFunc(PF_Cmd_PARAMS_SETUP, &host.in_data, &host.out_data, nullptr, nullptr,
                           nullptr),
            PF_Err_NONE);
  EXPECT_EQ(host.out_data.num_params, 77);
  ASSERT_EQ(host.added.size(), std::size(kExpected));
  for (size_t i = 0; i < host.added.size(); ++i) {
    EXPECT_EQ(host.addedIndices[i], -1);
    expected_params::ExpectDeclared(static_cast<PF_ParamIndex>(i + 1), host.added[i],
                                    host.addedLists[i]);
  }
  EXPECT_EQ(host.added[1].uu.id, host.added[20].uu.id);  // 'mode' twice, on purpose
  EXPECT_TRUE(host.acquired.empty());
}

// A refused main control stops the main controls; the groups are all still tried, each
// refusal stored, and the last code returned; the count is always 77.
TEST(ParamsSetup, RefusedAdditions) {
  struct Case {
    std::vector<std::pair<int, PF_Err>> refusals;  // add_param call and its code
    int expectedCalls;
    PF_Err expected;
  };
  const Case cases[] = {
      {{{1, 513}}, 1 + 67, 513},            // Lens Model: no other main control
      {{{9, 514}}, 9 + 67, 514},            // Lens Center: the groups follow
      {{{10, 515}}, 76, 515},               // a group start
      {{{10, 515}, {40, 513}}, 76, 513},    // two group failures: the later one counts
      {{{3, 517}, {70, 518}}, 3 + 67, 518}, // then the last group end
  };
  for (const Case& c : cases) {
    FakeHost host;
    for (const auto& refusal : c.refusals) {
      host.addParamFaults[refusal.first] = {FakeHost::Fault::kReturn, refusal.second};
    }
    host.out_data.num_params = 5;
    EXPECT_EQ(EntryPointFunc(PF_Cmd_PARAMS_SETUP, &host.in_data, &host.out_data, nullptr,
                             nullptr, nullptr),
              c.expected);
    EXPECT_EQ(host.addParamCalls, c.expectedCalls);
    EXPECT_EQ(host.out_data.num_params, 77);
  }
}

}  // namespace
