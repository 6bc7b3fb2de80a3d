#include "FakeHost.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "SPErrorCodes.h"

namespace {

FakeHost* gHost = nullptr;

bool Contains(const std::vector<std::string>& names, const char* name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

// The host's sprintf has no bound; the fake keeps to the 256-byte message field so a
// runaway text is caught by the test, not by memory corruption.
int FakeSprintf(A_char* buffer, const A_char* format, ...) {
  va_list args;
  va_start(args, format);
  const int n = std::vsnprintf(buffer, 256, format, args);
  va_end(args);
  return n;
}

SPErr FakeAcquireSuite(const char* name, int32 version, const void** suite) {
  *suite = nullptr;
  if (Contains(gHost->refuseAcquire, name) || std::strncmp(name, "PF ", 3) != 0) {
    return kSPSuiteNotFoundError;
  }
  if (std::strcmp(name, kPFParamUtilsSuite) == 0) {
    if (version != 3) return kSPSuiteNotFoundError;
    *suite = &gHost->paramUtilsSuite;
  } else {
    *suite = gHost->otherSuite;
  }
  gHost->acquired.push_back(name);
  return Contains(gHost->acquireWithError, name) ? kSPSuiteNotFoundError : kSPNoError;
}

SPErr FakeReleaseSuite(const char* name, int32 /*version*/) {
  gHost->released.push_back(name);
  return kSPNoError;
}

PF_Err FakeAddParam(PF_ProgPtr /*effect_ref*/, PF_ParamIndex /*index*/, PF_ParamDefPtr /*def*/) {
  const auto fault = gHost->addParamFaults.find(++gHost->addParamCalls);
  return fault == gHost->addParamFaults.end() ? PF_Err_NONE : fault->second();
}

PF_Err FakeUpdateParamUI(PF_ProgPtr /*effect_ref*/, PF_ParamIndex index, const PF_ParamDef* def) {
  gHost->updates.emplace_back(index, *def);
  return PF_Err_NONE;
}

}  // namespace

FakeHost::FakeHost() {
  gHost = this;
  utils.ansi.sprintf = FakeSprintf;
  paramUtilsSuite.PF_UpdateParamUI = FakeUpdateParamUI;
  basic.AcquireSuite = FakeAcquireSuite;
  basic.ReleaseSuite = FakeReleaseSuite;
  in_data.inter.add_param = FakeAddParam;
  in_data.utils = &utils;
  in_data.pica_basicP = &basic;
  in_data.version.major = PF_AE_PLUG_IN_VERSION;
  in_data.version.minor = PF_AE_PLUG_IN_SUBVERS;
}

FakeHost::~FakeHost() { gHost = nullptr; }
