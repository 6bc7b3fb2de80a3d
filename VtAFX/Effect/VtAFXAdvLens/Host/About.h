// The about box.
#pragma once

#include "AE_Effect.h"

// Writes "<name> 1.4\r\r<about text>" into out_data->return_msg with the host's ANSI sprintf
// (texts at string positions 1 and 2). Returns 0; a host without that callback gets no text.
PF_Err About(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[], PF_LayerDef* output);
