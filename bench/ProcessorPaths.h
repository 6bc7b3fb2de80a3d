// The processor targets the benchmarks force, each with the feature word that selects it, so
// that every benchmark shows the same paths under the same names.
#pragma once

#include <cstdint>

#include "Resampling/CpuFeatures.h"

struct ProcessorPath {
  const char* name;
  uint32_t features;
};

constexpr ProcessorPath kProcessorPaths[] = {
    {"sse2", 0},
    {"sse41", kCpuFeatureSse41},
    {"avx2", kCpuFeatureSse41 | kCpuFeatureAvx2},
    {"avx512", kCpuFeatureSse41 | kCpuFeatureAvx2 | kCpuFeatureAvx512F}};
