// Declaration of the effect's parameters to the host.
#pragma once

#include "AE_Effect.h"

// Adds the 76 controls in their fixed order (see Host/ParamIndices.h) through the host's
// add_param callback and sets out_data->num_params to 77 whatever happens. The nine main
// controls are added only while no addition has failed; every group entry is attempted
// regardless. Returns 0, or the code of the last failing addition.
PF_Err ParamsSetup(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
                   PF_LayerDef* output);

// Adds an animatable float slider whose valid range equals its slider range [minimum,
// maximum]; `namePosition` is a string position. A failure is stored in `*err`.
void AddFloatSlider(PF_InData* in_data, A_long id, int32_t namePosition, double minimum,
                    double dephault, double maximum, A_short precision, PF_Err* err);

// Adds the start of a group, collapsed unless `open`. A failure is stored in `*err`.
void AddGroupStart(PF_InData* in_data, int32_t namePosition, bool open, PF_Err* err);

// Adds the end of a group, named like its start. A failure is stored in `*err`.
void AddGroupEnd(PF_InData* in_data, int32_t namePosition, PF_Err* err);
