// The batched sampler for a filter family, depth and processor. Stands in for the samplers'
// own selection until per-target sampler bodies exist: today's samplers pick their
// processor path inside, so the depth and the feature word do not change the choice yet.
#pragma once

#include <cstdint>

#include "Resampling/BatchedSamplers.h"

enum class SamplerFamily : int32_t { Nearest, Bilinear, Kernel };

// One of the batched samplers: resamples the run `positions` (input grid) into the pixels
// at `out`.
typedef void (*BatchedSampler)(const SampleSource& source, const PointPacket& positions,
                               void* out);

inline BatchedSampler SelectBatchedSampler(SamplerFamily family, int32_t /*bitsPerChannel*/,
                                           uint32_t /*cpuFeatures*/) {
  switch (family) {
    case SamplerFamily::Nearest:
      return SampleNearest;
    case SamplerFamily::Bilinear:
      return SampleBilinear;
    case SamplerFamily::Kernel:
      break;
  }
  return SampleKernel;
}
