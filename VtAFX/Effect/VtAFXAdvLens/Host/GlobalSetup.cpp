#include "Host/GlobalSetup.h"

#include "AE_EffectCBSuites.h"
#include "Host/EffectInfo.h"
#include "Host/SuiteAccess.h"
#include "Resampling/FilterKernelTables.h"

PF_Err GlobalSetup(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* /*params*/[],
                   PF_LayerDef* /*output*/) {
  // The host identifies the effect by these even when set-up fails, so they are written
  // first, where no failure below can skip them.
  out_data->my_version = kEffectVersion;
  out_data->out_flags |= kEffectOutFlags;
  out_data->out_flags2 = kEffectOutFlags2;

  // The ANSI suite is the only one needed here, so it is taken directly rather than through
  // a suite handler; a host without a basic suite is then reported to the user like any
  // other refused suite.
  const void* suite = nullptr;
  PF_Err err = AcquireHostSuite(in_data, out_data, kPFANSISuite, kPFANSISuiteVersion1,
                                kCouldNotLoadSuite, &suite);
  if (!err) {
    // The host's sine, so the tables match those of the same effect in any host build.
    try {
      BuildFilterKernelTables(static_cast<const PF_ANSICallbacksSuite1*>(suite)->sin);
    } catch (...) {
      ReleaseHostSuite(in_data, out_data, kPFANSISuite, kPFANSISuiteVersion1,
                       kCouldNotReleaseSuite);
      throw;
    }
    err = ReleaseHostSuite(in_data, out_data, kPFANSISuite, kPFANSISuiteVersion1,
                           kCouldNotReleaseSuite);
  }
  return err;
}
