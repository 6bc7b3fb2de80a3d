#include "FakeHost.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <new>
#include <stdexcept>

#include "SPErrorCodes.h"

namespace {

FakeHost* gHost = nullptr;
int gSineCalls = 0;

bool Contains(const std::vector<std::string>& names, const char* name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

double FakeSin(double x) {
  ++gSineCalls;
  return std::sin(x);
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

A_char* FakeStrcpy(A_char* dest, const A_char* src) { return std::strcpy(dest, src); }

SPErr FakeAcquireSuite(const char* name, int32 version, const void** suite) {
  *suite = nullptr;
  if (Contains(gHost->refuseAcquire, name)) return kSPSuiteNotFoundError;
  if (std::strcmp(name, kPFANSISuite) == 0) {
    if (version != 1) return kSPSuiteNotFoundError;
    *suite = &gHost->ansiSuite;
  } else if (std::strcmp(name, kPFParamUtilsSuite) == 0) {
    if (version != 3) return kSPSuiteNotFoundError;
    *suite = &gHost->paramUtilsSuite;
  } else if (std::strncmp(name, "PF ", 3) == 0) {
    *suite = gHost->otherSuite;
  } else {
    return kSPSuiteNotFoundError;
  }
  gHost->acquired.push_back(name);
  gHost->acquiredVersions.push_back(version);
  return Contains(gHost->acquireWithError, name) ? kSPSuiteNotFoundError : kSPNoError;
}

SPErr FakeReleaseSuite(const char* name, int32 /*version*/) {
  gHost->released.push_back(name);
  return Contains(gHost->refuseRelease, name) ? kSPSuiteNotFoundError : kSPNoError;
}

PF_Err FakeAddParam(PF_ProgPtr /*effect_ref*/, PF_ParamIndex index, PF_ParamDefPtr def) {
  const int call = ++gHost->addParamCalls;
  const auto fault = gHost->addParamFaults.find(call);
  if (fault != gHost->addParamFaults.end()) {
    switch (fault->second.fault) {
      case FakeHost::Fault::kNone: break;
      case FakeHost::Fault::kReturn: return fault->second.code;
      case FakeHost::Fault::kThrowInt: throw fault->second.code;
      case FakeHost::Fault::kThrowBadAlloc: throw std::bad_alloc();
      case FakeHost::Fault::kThrowOther: throw std::runtime_error("host trouble");
    }
  }
  gHost->added.push_back(*def);
  gHost->addedIndices.push_back(index);
  gHost->addedLists.push_back(
      def->param_type == PF_Param_POPUP && def->u.pd.u.namesptr ? def->u.pd.u.namesptr : "");
  return PF_Err_NONE;
}

PF_Err FakeUpdateParamUI(PF_ProgPtr /*effect_ref*/, PF_ParamIndex index, const PF_ParamDef* def) {
  gHost->updates.emplace_back(index, *def);
  return gHost->updateResult;
}

}  // namespace

FakeHost::FakeHost() {
  gHost = this;
  ansiSuite.sin = FakeSin;
  ansiSuite.sprintf = FakeSprintf;
  ansiSuite.strcpy = FakeStrcpy;
  utils.ansi.sin = FakeSin;
  utils.ansi.sprintf = FakeSprintf;
  utils.ansi.strcpy = FakeStrcpy;
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

int FakeHost::Outstanding() const {
  return static_cast<int>(acquired.size()) - static_cast<int>(released.size());
}

int FakeSineCalls() { return gSineCalls; }
