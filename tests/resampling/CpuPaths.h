// Helpers for running the same test on each CPU path this machine has.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "Resampling/CpuFeatures.h"

// The feature words to test under, SSE2 (the reference) first: SSE2 alone always, then
// each wider target this processor has, with the narrower ones beside it as detection
// reports them.
inline std::vector<uint32_t> AvailablePaths() {
  const uint32_t have = QueryCpuFeatures();
  std::vector<uint32_t> paths = {0};
  uint32_t word = 0;
  for (uint32_t bit : {kCpuFeatureSse41, kCpuFeatureAvx2, kCpuFeatureAvx512F}) {
    if (!(have & bit)) break;
    word |= bit;
    paths.push_back(word);
  }
  return paths;
}

// Puts the machine's own feature word back when a test leaves.
struct RestoreCpuFeatures {
  ~RestoreCpuFeatures() { OverrideCpuFeatures(QueryCpuFeatures()); }
};

inline uint32_t Bits(float v) {
  uint32_t b;
  std::memcpy(&b, &v, sizeof b);
  return b;
}

// Bit for bit, except that +0.0 and -0.0 count as one value (the SSE2 rounding emulation
// cannot give -0.0).
inline bool SameUpToZeroSign(float a, float b) {
  return Bits(a) == Bits(b) || (a == 0.0f && b == 0.0f);
}
