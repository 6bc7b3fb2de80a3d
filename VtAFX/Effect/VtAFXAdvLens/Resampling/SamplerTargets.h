// What the per-target sampler bodies share with the dispatcher: their tables, the checks
// every run starts with, and the bracket that compiles a stretch of code for one processor
// target.
#pragma once

#include <cstdint>

#include "Resampling/BatchedSamplers.h"

// Everything between VTAFX_TARGET_BEGIN("isa") and VTAFX_TARGET_END is compiled for that
// instruction set, and only that stretch: the module as a whole still runs on any x86-64.
// Headers must be included before the bracket, so that their inline functions (which the
// linker may share between files) stay plain SSE2 code.
#define VTAFX_PRAGMA(x) _Pragma(#x)
#if defined(__clang__)
#define VTAFX_TARGET_BEGIN(isa) \
  VTAFX_PRAGMA(clang attribute push(__attribute__((target(isa))), apply_to = function))
#define VTAFX_TARGET_END VTAFX_PRAGMA(clang attribute pop)
#elif defined(__GNUC__)
#define VTAFX_TARGET_BEGIN(isa) VTAFX_PRAGMA(GCC push_options) VTAFX_PRAGMA(GCC target(isa))
#define VTAFX_TARGET_END VTAFX_PRAGMA(GCC pop_options)
#else
// MSVC compiles any intrinsic anywhere.
#define VTAFX_TARGET_BEGIN(isa)
#define VTAFX_TARGET_END
#endif

// The bodies of one target: [family][depth], depth 0 = 8, 1 = 16, 2 = 32 bits.
struct SamplerTable {
  BatchedSampler body[3][3];
};

extern const SamplerTable kSse2Samplers;
extern const SamplerTable kSse41Samplers;
extern const SamplerTable kAvx2Samplers;
extern const SamplerTable kAvx512Samplers;

// What a body needs to know before it samples a run.
struct RunShape {
  int32_t count;     // pixels to sample; 0 when there is nothing (more) to do
  bool farOffsets;   // the world is too large for 32-bit byte offsets
};

// The checks every body starts with, for a source of `bits` per channel whose format the
// caller has checked: nothing to write (no output, empty run) gives count 0; a source
// without pixels has its run written transparent here and also gives count 0.
RunShape PrepareRun(const SampleSource& source, const PointPacket& positions, void* out);

// Positions farther out than this, and NaN, are replaced by it: it is the failed-mapping
// marker, far outside any world, and it keeps every rounding, floor and pixel offset below
// 2^31, where the conversions of every target agree.
constexpr float kFarOutside = kUnmappedPosition;

// A kernel footprint larger than this is not a table of ours.
constexpr int32_t kMaxTaps = 16;
