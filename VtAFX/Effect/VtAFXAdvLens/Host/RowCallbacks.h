// The per-row callbacks the host's iterators run while rendering, and the mapping of output
// positions to input positions that they share with the tools.
//
// The iterator runs over a one-pixel-wide column of the output, so each call renders a
// whole row: in runs of up to 64 pixels it maps the run's layer positions through the frame
// transforms, the zoom and the lens model to input positions, then resamples the input
// there with the chosen filter. The three depths are one algorithm.
#pragma once

#include <cstdint>

#include "AE_Effect.h"
#include "Host/RenderContext.h"
#include "Lens/BatchedMapping.h"
#include "Resampling/FloatPacket.h"
#include "Resampling/SampleSource.h"

// Maps the run `outputs` to `sources` with the frame's planned mapping (see RunMapping):
// output pixel to normalised coordinates, through the zoom and the lens model, back to
// input pixels, kUnmappedPosition where the model cannot map.
inline void MapRunToSource(const RenderContext& context, const PointPacket& outputs,
                           PointPacket& sources) {
  MapRunToSource(context.plan.mapping, outputs, sources);
}

// Describes `input`, whose pixel (0, 0) is at `pixels` with `bitsPerChannel` 8, 16 or 32,
// for the batched samplers: its size and row stride, the depth's clamps (255, 32768, and
// for floats 1.0e10 colour and 1.0 alpha), and the kernel geometry and table of the
// planned filter (none for filters without a table).
void DescribeInput(const RenderContext& context, const PF_EffectWorld& input, const void* pixels,
                   int32_t bitsPerChannel, SampleSource& source);

// The host's 16.16 fixed point for a position: position * 65536 in single precision, rounded
// to the nearest integer (ties to even). Beyond the int32 range, and for NaN, the result is
// INT32_MIN, as the processor's own conversion gives, so such positions stay far outside.
PF_Fixed ToHostFixed(float position);

// Row callbacks for the 8-bit, 16-bit and float iterators: `refcon` is the RenderContext,
// `y` the output row, `out` the row's first pixel; `x` and `in` are ignored (the iterator
// runs without a source world; the input is read through the context). Every pixel of the
// row is written, none beyond it.
//
// "Built-in" samples through the host's subpixel sampler pixel by pixel (its failures are
// ignored). Every other filter first asks the host for the input's pixel memory, whose
// failure is returned before any pixel is written; an input with no pixels (empty, or no
// memory handed back) renders the row transparent. An input too large for 32-bit pixel
// offsets is refused with PF_Err_OUT_OF_MEMORY rather than addressed wrongly. Source
// positions that are not finite or lie beyond 2^28 come out as unmappable ones do, so no
// filter reads outside the input whatever the lens model returns.
PF_Err DistortRow8(void* refcon, A_long x, A_long y, PF_Pixel8* in, PF_Pixel8* out);
PF_Err DistortRow16(void* refcon, A_long x, A_long y, PF_Pixel16* in, PF_Pixel16* out);
PF_Err DistortRowFloat(void* refcon, A_long x, A_long y, PF_PixelFloat* in, PF_PixelFloat* out);
