// Its own program, so the module is loaded here for the first time.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "Harness.h"

namespace {

TEST(Module, KernelTablesAreBuiltOnceWithTheHostsSine) {
  std::string error;
  // Never unloaded, as a host keeps an effect: the tables live until the process ends.
  static harness::EffectHost* const host =
      harness::EffectHost::Load(VTAFX_MODULE_PATH, error).release();
  ASSERT_TRUE(host) << error;
  const harness::CommandRecord first = host->GlobalSetup();
  EXPECT_EQ(first.result, PF_Err_NONE);
  EXPECT_GT(first.Calls("sin"), 0);
  const harness::CommandRecord second = host->GlobalSetup();
  EXPECT_EQ(second.result, PF_Err_NONE);
  EXPECT_EQ(second.Calls("sin"), 0);
}

}  // namespace
