#include "Resampling/CpuFeatures.h"

#include <atomic>

#if defined(_MSC_VER)
#include <intrin.h>
#elif defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

namespace {

// Relaxed atomics, not locks: on x86 they are plain loads and stores, but they keep the
// benign race between concurrent detections well defined.
std::atomic<uint32_t> gCpuFeatures{0};
std::atomic<uint32_t> gCpuFeaturesDetected{0};

constexpr uint32_t kCpuidEcxSse41 = 1u << 19;

}  // namespace

uint32_t QueryCpuFeatures() {
  uint32_t ecx = 0;
#if defined(_MSC_VER)
  int registers[4] = {0, 0, 0, 0};
  __cpuid(registers, 1);
  ecx = static_cast<uint32_t>(registers[2]);
#elif defined(__x86_64__) || defined(__i386__)
  unsigned int eax = 0, ebx = 0, ecxOut = 0, edx = 0;
  if (__get_cpuid(1, &eax, &ebx, &ecxOut, &edx)) ecx = ecxOut;
#endif
  return (ecx & kCpuidEcxSse41) ? kCpuFeatureSse41 : 0u;
}

void DetectCpuFeatures() {
  if (gCpuFeaturesDetected.load(std::memory_order_relaxed)) return;
  gCpuFeaturesDetected.store(1, std::memory_order_relaxed);
  gCpuFeatures.fetch_or(QueryCpuFeatures(), std::memory_order_relaxed);
}

uint32_t CpuFeatures() { return gCpuFeatures.load(std::memory_order_relaxed); }

uint32_t OverrideCpuFeatures(uint32_t bits) {
  const uint32_t word = bits & QueryCpuFeatures();
  gCpuFeaturesDetected.store(1, std::memory_order_relaxed);
  gCpuFeatures.store(word, std::memory_order_relaxed);
  return word;
}
