#include "Host/GlobalSetup.h"

#include "AE_EffectCBSuites.h"
#include "Host/EffectInfo.h"
#include "Host/HostSuites.h"
#include "Host/SuiteAccess.h"
#include "Resampling/FilterKernelTables.h"

namespace {

// The host identifies the effect by these, so they are written on every way out that
// returns a code; only a host without a basic suite is answered before them.
void WriteEffectIdentity(PF_OutData* out_data) {
  out_data->my_version = kEffectVersion;
  out_data->out_flags |= kEffectOutFlags;
  out_data->out_flags2 = kEffectOutFlags2;
}

// Builds the kernel tables with the host's sine, so they match those of the same effect in
// any host build.
PF_Err BuildKernelTables(PF_InData* in_data, PF_OutData* out_data) {
  const void* suite = nullptr;
  PF_Err err = AcquireHostSuite(in_data, out_data, kPFANSISuite, kPFANSISuiteVersion1,
                                kCouldNotLoadSuite, &suite);
  if (err) return err;
  try {
    BuildFilterKernelTables(static_cast<const PF_ANSICallbacksSuite1*>(suite)->sin);
  } catch (...) {
    ReleaseHostSuite(in_data, out_data, kPFANSISuite, kPFANSISuiteVersion1, kCouldNotReleaseSuite);
    throw;
  }
  return ReleaseHostSuite(in_data, out_data, kPFANSISuite, kPFANSISuiteVersion1,
                          kCouldNotReleaseSuite);
}

}  // namespace

PF_Err GlobalSetup(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* /*params*/[],
                   PF_LayerDef* /*output*/) {
  // Throws 516 when the host has no basic suite at all: such a host cannot run the effect.
  HostSuites suites(in_data->pica_basicP);
  PF_Err err = PF_Err_NONE;
  try {
    err = BuildKernelTables(in_data, out_data);
  } catch (...) {
    WriteEffectIdentity(out_data);
    throw;
  }
  WriteEffectIdentity(out_data);
  return err;
}
