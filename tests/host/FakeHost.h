// A small stand-in host for calling the effect's handlers directly: in_data with its
// callbacks, a basic suite serving the suites the front door uses, per-suite refusals,
// failures or throws injected into add_param, and a record of everything the effect asked.
// One FakeHost exists at a time (its callbacks are plain C functions that find it through a
// pointer set by the constructor).
#pragma once

#include <map>
#include <string>
#include <vector>

#include "AE_Effect.h"
#include "AE_EffectCB.h"
#include "AE_EffectCBSuites.h"
#include "AE_EffectSuites.h"
#include "SPBasic.h"

struct FakeHost {
  FakeHost();
  ~FakeHost();
  FakeHost(const FakeHost&) = delete;
  FakeHost& operator=(const FakeHost&) = delete;

  // What the fake does when add_param is called for the n-th time (1-based).
  enum class Fault { kNone, kReturn, kThrowInt, kThrowBadAlloc, kThrowOther };
  struct AddParamFault {
    Fault fault;
    PF_Err code;  // returned or thrown
  };

  PF_InData in_data{};
  PF_OutData out_data{};
  PF_UtilCallbacks utils{};
  SPBasicSuite basic{};
  PF_ANSICallbacksSuite1 ansiSuite{};
  PF_ParamUtilsSuite3 paramUtilsSuite{};
  void* otherSuite[8] = {};  // served for every other name: never called here

  // Suite names the basic suite refuses to acquire (null table and an error) or to release.
  std::vector<std::string> refuseAcquire;
  std::vector<std::string> refuseRelease;
  // Suite names handed out with an error code all the same.
  std::vector<std::string> acquireWithError;
  // Suites acquired, and releases asked for (refused ones too), by name, in call order.
  std::vector<std::string> acquired;
  std::vector<int32_t> acquiredVersions;
  std::vector<std::string> released;

  std::map<int, AddParamFault> addParamFaults;
  int addParamCalls = 0;
  // Every parameter added, with its popup list copied.
  std::vector<PF_ParamDef> added;
  std::vector<std::string> addedLists;
  std::vector<PF_ParamIndex> addedIndices;

  // Every PF_UpdateParamUI call: index and the record passed.
  std::vector<std::pair<PF_ParamIndex, PF_ParamDef>> updates;
  PF_Err updateResult = PF_Err_NONE;

  // Suites acquired minus releases asked for, over all names.
  int Outstanding() const;
};

// Calls of the fake ANSI sine since the program started (the suite's and the callbacks').
int FakeSineCalls();
