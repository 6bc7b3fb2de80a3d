#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "FakeHost.h"
#include "Host/HostSuites.h"
#include "Host/SuiteAccess.h"

namespace {

// Every way the host can fail to hand out a suite: 516, the flag, the message, a null table.
TEST(AcquireHostSuite, RefusalsReport516WithTheMessage) {
  enum class Refusal { kNoBasicSuite, kRefused, kWrongVersion, kNoSprintf };
  for (Refusal refusal :
       {Refusal::kNoBasicSuite, Refusal::kRefused, Refusal::kWrongVersion, Refusal::kNoSprintf}) {
    SCOPED_TRACE(static_cast<int>(refusal));
    FakeHost host;
    int32_t version = 1;
    if (refusal == Refusal::kNoBasicSuite) host.in_data.pica_basicP = nullptr;
    if (refusal == Refusal::kRefused) host.refuseAcquire.push_back("PF ANSI Suite");
    if (refusal == Refusal::kWrongVersion) version = 2;
    if (refusal == Refusal::kNoSprintf) {
      host.utils.ansi.sprintf = nullptr;
      host.refuseAcquire.push_back("PF ANSI Suite");
    }
    host.out_data.out_flags = 0x40;
    const void* suite = &host;
    EXPECT_EQ(AcquireHostSuite(&host.in_data, &host.out_data, "PF ANSI Suite", version,
                               "Couldn't load suite.", &suite),
              PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(suite, nullptr);
    EXPECT_EQ(host.out_data.out_flags, 0x40 | PF_OutFlag_DISPLAY_ERROR_MESSAGE);
    EXPECT_STREQ(host.out_data.return_msg, "Couldn't load suite.");
    EXPECT_TRUE(host.acquired.empty());
  }
}

// Only a missing basic suite is the command's failure; a release the host objects to is
// not. A table handed out with an error code is taken (and so released). Success writes
// nothing into out_data.
TEST(HostSuite, OnlyAMissingBasicSuiteFailsARelease) {
  struct Case {
    const char* what;
    bool noBasicSuite, refuseRelease, acquireWithError;
    PF_Err acquireResult, releaseResult;
    const char* message;
  };
  const Case cases[] = {
      {"no basic suite", true, false, false, PF_Err_BAD_CALLBACK_PARAM, PF_Err_BAD_CALLBACK_PARAM,
       "Couldn't release suite."},
      {"suite handed out", false, false, false, PF_Err_NONE, PF_Err_NONE, "earlier"},
      {"release refused", false, true, false, PF_Err_NONE, PF_Err_NONE, "earlier"},
      {"table with an error", false, false, true, PF_Err_NONE, PF_Err_NONE, "earlier"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FakeHost host;
    if (c.noBasicSuite) host.in_data.pica_basicP = nullptr;
    if (c.refuseRelease) host.refuseRelease.push_back("PF ANSI Suite");
    if (c.acquireWithError) host.acquireWithError.push_back("PF ANSI Suite");
    std::strcpy(host.out_data.return_msg, "earlier");
    const void* suite = nullptr;
    EXPECT_EQ(AcquireHostSuite(&host.in_data, &host.out_data, "PF ANSI Suite", 1,
                               kCouldNotLoadSuite, &suite),
              c.acquireResult);
    EXPECT_EQ(suite, c.noBasicSuite ? nullptr : &host.ansiSuite);
    EXPECT_EQ(ReleaseHostSuite(&host.in_data, &host.out_data, "PF ANSI Suite", 1,
                               kCouldNotReleaseSuite),
              c.releaseResult);
    EXPECT_STREQ(host.out_data.return_msg, c.message);
    EXPECT_EQ(host.out_data.out_flags, c.releaseResult ? PF_OutFlag_DISPLAY_ERROR_MESSAGE : 0);
    EXPECT_EQ(host.Outstanding(), 0);
  }
}

// A message longer than the host's field is cut, never written past it.
TEST(ShowHostError, WithoutSprintfCutsToTheField) {
  FakeHost host;
  host.utils.ansi.sprintf = nullptr;
  const std::string longText(400, 'x');
  ShowHostError(&host.in_data, &host.out_data, longText.c_str());
  EXPECT_EQ(std::string(host.out_data.return_msg), std::string(255, 'x'));
}

TEST(HostSuites, WithoutBasicSuiteThrows516) {
  try {
    HostSuites suites(nullptr);
    FAIL() << "no throw";
  } catch (PF_Err err) {
    EXPECT_EQ(err, PF_Err_BAD_CALLBACK_PARAM);
  }
}

TEST(HostSuites, LoadsOnFirstUseOnceAndReleasesInReverse) {
  FakeHost host;
  {
    HostSuites suites(&host.basic);
    EXPECT_TRUE(host.acquired.empty());
    EXPECT_NE(suites.Sampling16Suite1(), nullptr);
    EXPECT_NE(suites.Iterate8Suite1(), nullptr);
    EXPECT_NE(suites.Sampling16Suite1(), nullptr);
    EXPECT_EQ(host.acquired, (std::vector<std::string>{"PF Sampling16 Suite", "PF Iterate8 Suite"}));
    EXPECT_TRUE(host.released.empty());
  }
  EXPECT_EQ(host.released, (std::vector<std::string>{"PF Iterate8 Suite", "PF Sampling16 Suite"}));
}

// The host's names are case-sensitive and irregular; each accessor asks for its own.
TEST(HostSuites, AsksForTheHostsExactNamesAndVersion1) {
  struct Case {
    const void* (*load)(HostSuites&);
    const char* name;
  };
  const Case cases[] = {
      {[](HostSuites& s) -> const void* { return s.Iterate8Suite1(); }, "PF Iterate8 Suite"},
      {[](HostSuites& s) -> const void* { return s.Iterate16Suite1(); }, "PF iterate16 Suite"},
      {[](HostSuites& s) -> const void* { return s.IterateFloatSuite1(); },
       "PF iterateFloat Suite"},
      {[](HostSuites& s) -> const void* { return s.Sampling8Suite1(); }, "PF Sampling8 Suite"},
      {[](HostSuites& s) -> const void* { return s.Sampling16Suite1(); },
       "PF Sampling16 Suite"},
      {[](HostSuites& s) -> const void* { return s.SamplingFloatSuite1(); },
       "PF SamplingFloat Suite"},
  };
  for (const Case& c : cases) {
    FakeHost host;
    {
      HostSuites suites(&host.basic);
      EXPECT_EQ(c.load(suites), host.otherSuite);
    }
    EXPECT_EQ(host.acquired, std::vector<std::string>{c.name});
    EXPECT_EQ(host.acquiredVersions, std::vector<int32_t>{1});
    EXPECT_EQ(host.released, std::vector<std::string>{c.name});
  }
}

// A missing suite throws 516 without a message; what was loaded before is released when the
// throw unwinds the handler.
TEST(HostSuites, MissingSuiteThrowsAndLoadedOnesAreReleased) {
  FakeHost host;
  host.refuseAcquire.push_back("PF iterateFloat Suite");
  try {
    HostSuites suites(&host.basic);
    suites.SamplingFloatSuite1();
    suites.Iterate16Suite1();
    suites.IterateFloatSuite1();
    FAIL() << "no throw";
  } catch (PF_Err err) {
    EXPECT_EQ(err, PF_Err_BAD_CALLBACK_PARAM);
  }
  EXPECT_EQ(host.released,
            (std::vector<std::string>{"PF iterate16 Suite", "PF SamplingFloat Suite"}));
  EXPECT_EQ(host.Outstanding(), 0);
  EXPECT_STREQ(host.out_data.return_msg, "");

  FakeHost lenient;
  lenient.acquireWithError.push_back("PF Iterate8 Suite");
  {
    HostSuites suites(&lenient.basic);
    EXPECT_EQ(suites.Iterate8Suite1(), static_cast<void*>(lenient.otherSuite));
  }
  EXPECT_EQ(lenient.released, std::vector<std::string>{"PF Iterate8 Suite"});
}

}  // namespace
