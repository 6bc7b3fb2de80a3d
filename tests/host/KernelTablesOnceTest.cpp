// Its own program: the kernel tables are process-wide, so only a fresh process shows the
// first global set-up building them, called directly and in the module the host loads.
#include <gtest/gtest.h>

#include <string>

#include "FakeHost.h"
#include "Harness.h"
#include "Host/EntryPoint.h"
#include "Resampling/FilterKernelTables.h"

namespace {

TEST(GlobalSetup, BuildsTheKernelTablesOnceWithTheHostsSine) {
  const FilterKernelTable *tables[3] = {}, *again[3] = {};
  GetFilterKernelTables(&tables[0], &tables[1], &tables[2]);
  EXPECT_EQ(tables[0], nullptr);
  FakeHost host;
  const auto setUp = [&host] {
    return EntryPointFunc(PF_Cmd_GLOBAL_SETUP, &host.in_data, &host.out_data, nullptr, nullptr,
                          nullptr);
  };
  ASSERT_EQ(setUp(), PF_Err_NONE);
  const int firstCalls = FakeSineCalls();
  EXPECT_GT(firstCalls, 0);
  GetFilterKernelTables(&tables[0], &tables[1], &tables[2]);
  ASSERT_EQ(setUp(), PF_Err_NONE);
  EXPECT_EQ(FakeSineCalls(), firstCalls);
  GetFilterKernelTables(&again[0], &again[1], &again[2]);
  for (int i = 0; i < 3; ++i) {
    EXPECT_NE(tables[i], nullptr);
    EXPECT_EQ(again[i], tables[i]);
  }
}

TEST(Module, KernelTablesAreBuiltOnceWithTheHostsSine) {
  std::string error;
  // Never unloaded, as a host keeps an effect: the tables live until the process ends.
  static harness::EffectHost* const host =
      harness::EffectHost::Load(VTAFX_MODULE_PATH, error).release();
  ASSERT_TRUE(host) << error;
  const harness::CommandRecord first = host->GlobalSetup(), second = host->GlobalSetup();
  EXPECT_EQ(first.result, PF_Err_NONE);
  EXPECT_GT(first.Calls("sin"), 0);
  EXPECT_EQ(second.result, PF_Err_NONE);
  EXPECT_EQ(second.Calls("sin"), 0);
}

}  // namespace
