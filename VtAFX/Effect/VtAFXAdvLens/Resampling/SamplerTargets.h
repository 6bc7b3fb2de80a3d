// What the per-target sampler bodies share with the dispatcher: their tables, the checks
// every run starts with, and the bracket that compiles a stretch of code for one processor
// target.
#pragma once

#include <cstdint>

#include "Resampling/BatchedSamplers.h"
#include "Resampling/FilterKernelTables.h"

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

// The checks every body starts with, for a source whose format the caller has checked:
// returns the number of pixels to sample, 0 when there is nothing to write (no output, an
// empty run) and when the source has no pixels, whose run it writes transparent here.
int32_t PrepareRun(const SampleSource& source, const PointPacket& positions, void* out);

// A kernel footprint larger than this is not a table of ours.
constexpr int32_t kMaxTaps = 16;
