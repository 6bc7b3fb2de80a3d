// Keeping the effect controls tidy: only the chosen lens model's coefficient group is open.
#pragma once

#include "AE_Effect.h"
#include "AE_EffectSuites.h"

// Answers a change of a supervised parameter. For "Lens Model" it opens the group holding
// the chosen model's coefficients and collapses the other five (in the order Classic,
// Radial-4th, Anamorphic-6th-Merged, Anamorphic-6th, Radial+Squash, Fisheye); a value
// outside the list changes nothing. Other parameters return 0 at once. Returns
// PF_Err_BAD_CALLBACK_PARAM, changing nothing, when the Param Utils suite cannot be acquired,
// or when it cannot be released.
PF_Err UserChangedParam(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
                        PF_LayerDef* output, const PF_UserChangedParamExtra* extra);

// Opens (`open`) or collapses the group starting at `index` with PF_UpdateParamUI, on a copy
// of params[index] marked as changed. Makes no call when the group is already so; the
// host's result is ignored, and the host's own array is never written.
void SetGroupCollapsed(PF_InData* in_data, const PF_ParamUtilsSuite3* paramUtils,
                       PF_ParamDef* params[], PF_ParamIndex index, bool open);
