// Linked only into the benchmarks' copy of the effect module: the one export beside the
// entry point, through which whole frames are timed on a chosen processor path.
#include <cstdint>

#include "Resampling/CpuFeatures.h"

extern "C" __attribute__((visibility("default"))) uint32_t VtAFXBenchOverrideCpuFeatures(
    uint32_t bits) {
  return OverrideCpuFeatures(bits);
}
