#include "Host/ParamUI.h"

#include "Host/HostSuites.h"
#include "Host/ParamIndices.h"
#include "Host/SuiteAccess.h"

namespace {

// The group holding the coefficients of Lens Model choice `value`; 0 when there is none.
PF_ParamIndex GroupOfLensModel(PF_ParamValue value) {
  const LensModelEntry* entry = LensModelAtPopup(value);
  return entry ? ParamsOf(entry->family).group : 0;
}

}  // namespace

void SetGroupCollapsed(PF_InData* in_data, const PF_ParamUtilsSuite3* paramUtils,
                       PF_ParamDef* params[], PF_ParamIndex index, bool open) {
  if (!params[index] || !paramUtils->PF_UpdateParamUI) return;
  const PF_ParamDef& current = *params[index];
  const PF_ParamFlags flags = open ? (current.flags & ~PF_ParamFlag_COLLAPSE_TWIRLY)
                                   : (current.flags | PF_ParamFlag_COLLAPSE_TWIRLY);
  if (flags == current.flags) return;
  PF_ParamDef copy = current;
  copy.flags = flags;
  copy.uu.change_flags |= PF_ChangeFlag_CHANGED_VALUE;
  // Only the look changes; a host that refuses leaves the group as it was, which is harmless.
  paramUtils->PF_UpdateParamUI(in_data->effect_ref, index, &copy);
}

PF_Err UserChangedParam(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
                        PF_LayerDef* /*output*/, const PF_UserChangedParamExtra* extra) {
  if (!extra || extra->param_index != kParamLensModel || !params) return PF_Err_NONE;

  HostSuites suites(in_data->pica_basicP);  // no basic suite: throws 516, no message
  const void* suite = nullptr;
  PF_Err err = AcquireHostSuite(in_data, out_data, kPFParamUtilsSuite, kPFParamUtilsSuiteVersion3,
                                kCouldNotLoadSuite, &suite);
  if (err) return err;

  const auto* paramUtils = static_cast<const PF_ParamUtilsSuite3*>(suite);
  const PF_ParamIndex chosen =
      params[kParamLensModel] ? GroupOfLensModel(params[kParamLensModel]->u.pd.value) : 0;
  if (chosen) {
    for (ModelFamily family : kFamiliesInUpdateOrder) {
      const PF_ParamIndex group = ParamsOf(family).group;
      SetGroupCollapsed(in_data, paramUtils, params, group, group == chosen);
    }
  }
  return ReleaseHostSuite(in_data, out_data, kPFParamUtilsSuite, kPFParamUtilsSuiteVersion3,
                          kCouldNotReleaseSuite);
}
