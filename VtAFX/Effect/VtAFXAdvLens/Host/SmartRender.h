// Smart render: fetches the input pixels and the output world, completes the render
// context, and has the host's iterator run the row callback of the input's depth over
// every output row.
#pragma once

#include "AE_Effect.h"
#include "Host/RenderContext.h"

// Answers the host's smart render command with the context that pre-render handed over
// (extra->input->pre_render_data). Checks out the pixels of checkout 1 and the output,
// then renders with RenderIntoOutput. The layer pixels are not checked in: the host does that
// when the command ends.
PF_Err SmartRender(PF_InData* in_data, PF_OutData* out_data, PF_SmartRenderExtra* extra);

// Renders every row of `outputWorld` from `inputWorld` through `context`: acquires the
// world, pixel data and sequence data suites, loads the iterate and sampling suites through
// a suite handler, completes the context's render fields and iterates one column of the
// output (one callback call per row). An input that is neither 8-bit, 16-bit nor float
// (or whose format cannot be queried) gives PF_Err_BAD_CALLBACK_PARAM and leaves the
// output untouched. The first failure decides the result; every suite acquired is
// released before returning, also when the suite handler cannot load a suite (516).
PF_Err RenderIntoOutput(PF_InData* in_data, PF_EffectWorld* inputWorld, PF_OutData* out_data,
                        PF_EffectWorld* outputWorld, RenderContext& context);
