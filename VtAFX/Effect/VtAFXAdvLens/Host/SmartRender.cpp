#include "Host/SmartRender.h"

// Placeholder until the render lands: the render engineer replaces this.
PF_Err SmartRender(PF_InData*, PF_OutData*, PF_SmartRenderExtra*) { return PF_Err_NONE; }
