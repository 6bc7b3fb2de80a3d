// Smart pre-render. Placeholder until the render lands: the render engineer replaces this.
#pragma once

#include "AE_Effect.h"

PF_Err SmartPreRender(PF_InData* in_data, PF_OutData* out_data, PF_PreRenderExtra* extra);
