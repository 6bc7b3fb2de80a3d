// Resampling of one run of up to 64 source positions from a world in memory, one sampler per
// filter family, each writing the run's pixels in the world's own format.
//
// Common to the three:
//  - `positions` are in the world's pixel grid (pixel (i, j) centred on (i, j)); the run
//    length n is the x packet's count (above 64 counts as 64); points from the y packet's
//    count on, where that is smaller, come out 0 in all channels.
//  - They write exactly n pixels at `out`, `bytesPerPixel` apart, and nothing else.
//  - No read leaves the world, whatever the positions: a position that is NaN or lies more
//    than 2^28 pixels from the origin in either axis is taken as 2^28 in that axis (the
//    marker of a failed lens mapping), far outside any world, so its pixel comes out 0 in
//    all channels as any position beyond the filter's reach does. For every other position
//    this changes nothing.
//  - A source with no pixels (null, width or height below 1, or above 2^24, where the last
//    column and row are no longer exact as floats, or a pixel more than 2 GiB from pixel
//    (0, 0), beyond the samplers' 32-bit offsets) gives n transparent pixels;
//    one whose `bitsPerChannel` and `bytesPerPixel` are not one of the three formats
//    gives nothing, since it has no pixel size to write by.
//  - Pure functions: any number may run at once; only stack memory is used.
//  - Every processor target computes the same bits: a wider vector only samples more
//    pixels at once, each pixel's arithmetic and the order of its sums stay as below.
#pragma once

#include <cstdint>

#include "Resampling/FloatPacket.h"
#include "Resampling/SampleSource.h"

// One of the batched samplers: resamples the run `positions` (input grid) into the pixels
// at `out`.
typedef void (*BatchedSampler)(const SampleSource& source, const PointPacket& positions, void* out);

enum class SamplerFamily { Nearest, Bilinear, Kernel };

// The body of `family` for worlds of `bitsPerChannel` (8, 16 or 32), compiled for the
// widest instruction set `cpuFeatures` allows (AVX-512F, AVX2, SSE4.1, else SSE2), for a
// caller that chooses once per frame. `cpuFeatures` must not claim what the processor lacks
// (CpuFeatures(), or fewer bits). A body given a source of another depth samples it with
// that depth's body of the same target; an unknown `bitsPerChannel` gets the 8-bit body.
BatchedSampler SelectBatchedSampler(SamplerFamily family, int32_t bitsPerChannel,
                                    uint32_t cpuFeatures);

// The three below choose their body by the source and CpuFeatures() on every call: for
// tests and tools that sample a run now and then.

// "Nearest": the pixel at the position rounded to whole numbers, ties to even. Positions
// that round to the first column or row beyond a border (-1, width, height) take the edge
// pixel; farther out the result is 0.
void SampleNearest(const SampleSource& source, const PointPacket& positions, void* out);

// "BiLinear": (b - a) * t + a between the four pixels around the position, horizontally
// then vertically, neighbours beyond the last row or column repeating it; 8 and 16 bits
// round ties to even. Covers 0 <= x < width and 0 <= y < height; elsewhere 0.
void SampleBilinear(const SampleSource& source, const PointPacket& positions, void* out);

// "Lanczos-2", "Lanczos-3", "Mitchell-Netravali": taps x taps weights of the phase block
// (1/64 pixel, rounded down) read from `weights`, taps outside the world dropped and the
// rest renormalised, the result clamped to 0..colourMax (red, green, blue) and 0..alphaMax
// (alpha), 8 and 16 bits rounded ties to even first. A position whose taps all lie outside
// is 0. A source with no table, a `blockStride` other than the table's, more than its 64
// phases, negative taps or more taps than a block holds samples with no taps at all (every
// pixel 0), as does one with `tapsX` = `tapsY` = 0.
void SampleKernel(const SampleSource& source, const PointPacket& positions, void* out);
