// Its own program: the kernel tables are process-wide, so only a fresh process shows the
// first global set-up building them.
#include <gtest/gtest.h>

#include "FakeHost.h"
#include "Host/EntryPoint.h"
#include "Resampling/FilterKernelTables.h"

namespace {

TEST(GlobalSetup, BuildsTheKernelTablesOnceWithTheHostsSine) {
  const FilterKernelTable* tables[3] = {};
  GetFilterKernelTables(&tables[0], &tables[1], &tables[2]);
  EXPECT_EQ(tables[0], nullptr);
  {
    FakeHost host;
    ASSERT_EQ(EntryPointFunc(PF_Cmd_GLOBAL_SETUP, &host.in_data, &host.out_data, nullptr,
                             nullptr, nullptr),
              PF_Err_NONE);
  }
  const int firstCalls = FakeSineCalls();
  EXPECT_GT(firstCalls, 0);
  GetFilterKernelTables(&tables[0], &tables[1], &tables[2]);
  for (const FilterKernelTable* table : tables) EXPECT_NE(table, nullptr);
  {
    FakeHost host;
    ASSERT_EQ(EntryPointFunc(PF_Cmd_GLOBAL_SETUP, &host.in_data, &host.out_data, nullptr,
                             nullptr, nullptr),
              PF_Err_NONE);
  }
  EXPECT_EQ(FakeSineCalls(), firstCalls);
  const FilterKernelTable* again[3] = {};
  GetFilterKernelTables(&again[0], &again[1], &again[2]);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(again[i], tables[i]);
}

}  // namespace
