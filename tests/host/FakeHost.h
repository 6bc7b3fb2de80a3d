// A small stand-in host for calling the effect's handlers directly: in_data with its
// callbacks, a basic suite serving the suites the front door uses, refusals, failures or
// throws injected into add_param, and a record of what the effect asked. One FakeHost exists
// at a time (its callbacks are plain C functions that find it through a pointer set by the
// constructor).
#pragma once

#include <functional>
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

  PF_InData in_data{};
  PF_OutData out_data{};
  PF_UtilCallbacks utils{};
  SPBasicSuite basic{};
  PF_ParamUtilsSuite3 paramUtilsSuite{};
  void* otherSuite[8] = {};  // served for every other name: never called here

  std::vector<std::string> refuseAcquire;       // names refused (null table and an error)
  std::vector<std::string> acquireWithError;    // names handed out with an error code all the same
  std::vector<std::string> acquired, released;  // in call order, refused releases too

  // What add_param does on its n-th call (1-based) instead of adding: returns a code or throws.
  std::map<int, std::function<PF_Err()>> addParamFaults;
  int addParamCalls = 0;
  std::vector<std::pair<PF_ParamIndex, PF_ParamDef>> updates;  // every PF_UpdateParamUI call
};
