// One-time set-up when the host loads the effect.
#pragma once

#include "AE_Effect.h"

// Builds the process-wide filter kernel tables (once per process) with the sine of the
// host's ANSI suite, and tells the host the effect's version and flags: my_version and
// out_flags2 are set and the effect's out-flags ORed into out_flags whatever else happens.
// Returns 0, or PF_Err_BAD_CALLBACK_PARAM when the ANSI suite cannot be acquired or released
// (the host then shows "Couldn't load suite." or "Couldn't release suite.").
PF_Err GlobalSetup(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
                   PF_LayerDef* output);
