// Smart pre-render: reads the parameters at the current time, sets up the lens model and
// the frame transforms, tells the host the output extent and the input it needs, and hands
// the render context over as pre-render data.
#pragma once

#include "AE_Effect.h"
#include "Host/RenderContext.h"

// Answers the host's smart pre-render command. On success the host owns the new context
// (pre_render_data, released through DisposeRenderContext) and the output record holds
// the clipped request as result_rect and the output extent as max_result_rect. A failure
// before the output record is filled disposes of the context here and returns the host's
// code (512 when no context could be allocated); a failing layer checkout returns its code
// with the record filled, so the host releases the context. Every context created is
// released exactly once, by one of the two.
PF_Err SmartPreRender(PF_InData* in_data, PF_OutData* out_data, PF_PreRenderExtra* extra);

// Reads every parameter the render needs from the host and fills every pre-render field of
// `context` except the kernel table pointers (see SetUpRenderContext). The first failing
// host call decides the result; check-ins and the point suite's release run regardless.
// Throws 516 (as a plain integer) when the host offers no basic suite.
PF_Err PrepareRenderContext(PF_InData* in_data, PF_OutData* out_data, RenderContext& context);

// The float slider at `index`, at the current time. Always checks the parameter out and in
// again; a non-zero result of either call overwrites `*err`. A failed checkout yields 0.
double ReadFloatParam(PF_InData* in_data, PF_ParamIndex index, PF_Err* err);
