// Its own program: the kernel tables live as long as the module, so only a module no test
// has set up yet shows the first global set-up building them with the host's sine.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Harness.h"

TEST(Module, KernelTablesAreBuiltOnceWithTheHostsSine) {
  std::string error;
  // Never unloaded, as a host keeps an effect: the tables live until the process ends.
  static harness::EffectHost* const host =
      harness::EffectHost::Load(VTAFX_MODULE_PATH, error).release();
  ASSERT_TRUE(host) << error;
  const harness::CommandRecord first = host->GlobalSetup(), second = host->GlobalSetup();
  EXPECT_GT(first.Calls("sin"), 0);
  EXPECT_EQ(std::vector<int32_t>({first.result, second.result, second.Calls("sin")}),
            std::vector<int32_t>({PF_Err_NONE, PF_Err_NONE, 0}));
}
