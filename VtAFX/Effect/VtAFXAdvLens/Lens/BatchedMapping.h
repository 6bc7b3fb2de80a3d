// The lens models mapped several points at a time, in SIMD double lanes: 2 (SSE2), 4 (AVX2)
// or 8 (AVX-512F) points per instruction. Every lane follows exactly the operations of the
// one-point mappings (LensModel.h), in the same order and precision, so the results are the
// same bits; a lane that stops iterating early keeps its values while the others go on.
//
// Also here: the mapping of a run of output pixels to input pixels (frame transforms, zoom,
// lens model, the float roundings and the unmappable marker) that the render callbacks and
// the tools share.
#pragma once

#include <cstdint>

#include "Lens/LensModel.h"
#include "Lens/LensModelTable.h"
#include "Resampling/FloatPacket.h"

// The instruction sets the lanes run on, widest last.
enum class MappingPath : int32_t {
  Sse2,
  Avx2,
  Avx512,
};
constexpr int32_t kMappingPathCount = 3;

// The widest path the CPU feature word allows (SSE2 is always there).
MappingPath PathForFeatures(uint32_t cpuFeatures);

// Whether this processor and operating system can run `path`.
bool PathAvailable(MappingPath path);

struct RunMapping;

// Maps the run `outputs` to `sources` as MapRunToSource states.
typedef void (*RunMappingFn)(const RunMapping& mapping, const PointPacket& outputs,
                             PointPacket& sources);

// Everything the mapping of one run reads, resolved once per frame. Output pixels are
// normalised with the output image's `toNorm*`, then either multiplied by `zoom` (invZoom)
// and distorted, or undistorted and then multiplied by `zoom`; the result goes back to
// pixels with the input image's `toPixel*`.
struct RunMapping {
  const LensModel* model;
  MapDirection direction;
  double toNormScale[2];  // output image, x and y
  double toNormOffset[2];
  double zoom;             // 1 / zoom factor before Distort, zoom factor after Undistort
  double toPixelScale[2];  // input image, x and y
  double toPixelOffset[2];
  RunMappingFn map;  // chosen by SelectRunMapping
};

// The function that maps runs of `model` in `direction` on `path`. The model must be set up
// already (the choice depends on whether it is the identity).
RunMappingFn SelectRunMapping(const LensModel& model, MapDirection direction, MappingPath path);

// Maps the run `outputs` (layer positions of output pixels; the x packet's count, clamped to
// 0..64, is the run length) to `sources` (layer positions in the input), both counts set to
// that length. Double precision throughout, except that the model's result is rounded to
// float before the pixel transform and the transformed value again when stored. A position
// the model reports as invalid becomes kUnmappedPosition in both axes. Reads `mapping`
// only, so any number of threads may map runs at once.
inline void MapRunToSource(const RunMapping& mapping, const PointPacket& outputs,
                           PointPacket& sources) {
  mapping.map(mapping, outputs, sources);
}

// The same mapping one point at a time through Distort and Undistort: the reference the
// lanes must reproduce.
void MapRunPerPoint(const RunMapping& mapping, const PointPacket& outputs, PointPacket& sources);

// Maps `count` normalised points (`x`, `y`) through the model in `direction` on `path`,
// writing what Distort or Undistort would give for each (radius scale 1) to `outX`,
// `outY` and `valid`. For tests and the fuzzer: the render goes through RunMappingFn.
void MapPointsBatched(const LensModel& model, MapDirection direction, MappingPath path,
                      const double* x, const double* y, int32_t count, double* outX, double* outY,
                      int32_t* valid);
