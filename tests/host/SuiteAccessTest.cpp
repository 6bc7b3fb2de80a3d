// Suite access on its own; the suites' names, order and balance within commands and frames
// are checked where the module is driven.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FakeHost.h"
#include "Host/HostSuites.h"
#include "Host/SuiteAccess.h"

namespace {

// A refusal is 516 with the flag, the message and a null table; without the host's sprintf
// the message is cut to the host's field, never written past it. Only a missing basic suite
// fails a release.
TEST(SuiteAccess, RefusalsAndMessages) {
  for (bool noBasicSuite : {true, false}) {
    FakeHost host;
    if (noBasicSuite) host.in_data.pica_basicP = nullptr;
    host.refuseAcquire.push_back("PF ANSI Suite");
    host.out_data.out_flags = 0x40;
    const void* suite = &host;
    EXPECT_EQ(AcquireHostSuite(&host.in_data, &host.out_data, "PF ANSI Suite", 1,
                               kCouldNotLoadSuite, &suite),
              PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(suite, nullptr);
    EXPECT_EQ(host.out_data.out_flags, 0x40 | PF_OutFlag_DISPLAY_ERROR_MESSAGE);
    EXPECT_STREQ(host.out_data.return_msg, "Couldn't load suite.");
    EXPECT_EQ(
        ReleaseHostSuite(&host.in_data, &host.out_data, "PF ANSI Suite", 1, kCouldNotReleaseSuite),
        noBasicSuite ? PF_Err_BAD_CALLBACK_PARAM : PF_Err_NONE);
    EXPECT_STREQ(host.out_data.return_msg,
                 noBasicSuite ? "Couldn't release suite." : "Couldn't load suite.");
  }
  FakeHost host;
  host.utils.ansi.sprintf = nullptr;
  ShowHostError(&host.in_data, &host.out_data, std::string(400, 'x').c_str());
  EXPECT_EQ(std::string(host.out_data.return_msg), std::string(255, 'x'));
}

// Without a basic suite HostSuites throws 516; a table handed out with an error code is used
// (and so released).
TEST(HostSuites, NoBasicSuiteAndTablesWithAnError) {
  try {
    HostSuites suites(nullptr);
    ADD_FAILURE() << "no throw";
  } catch (PF_Err err) {
    EXPECT_EQ(err, PF_Err_BAD_CALLBACK_PARAM);
  }
  FakeHost host;
  host.acquireWithError.push_back("PF Iterate8 Suite");
  {
    HostSuites suites(&host.basic);
    EXPECT_EQ(static_cast<const void*>(suites.Iterate8Suite1()), host.otherSuite);
  }
  EXPECT_EQ(host.released, std::vector<std::string>{"PF Iterate8 Suite"});
}

}  // namespace
