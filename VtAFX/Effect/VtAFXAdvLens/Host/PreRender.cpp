#include "Host/PreRender.h"

// Placeholder until the render lands: the render engineer replaces this.
PF_Err SmartPreRender(PF_InData*, PF_OutData*, PF_PreRenderExtra*) { return PF_Err_NONE; }
