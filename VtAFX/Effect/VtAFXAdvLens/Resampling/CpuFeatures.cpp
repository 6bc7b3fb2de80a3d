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
constexpr uint32_t kCpuidEcxOsxsave = 1u << 27;
constexpr uint32_t kCpuidEcxAvx = 1u << 28;
constexpr uint32_t kCpuid7EbxAvx2 = 1u << 5;
constexpr uint32_t kCpuid7EbxAvx512F = 1u << 16;
// XCR0: the state components the operating system saves on a context switch. A processor
// feature whose registers the OS does not save must not be used, or another thread's values
// leak into ours.
constexpr uint64_t kXcr0SseAvx = 0x6;   // XMM and the upper halves of YMM
constexpr uint64_t kXcr0Avx512 = 0xE0;  // opmask, upper ZMM0-15, ZMM16-31

struct CpuidRegisters {
  uint32_t eax = 0, ebx = 0, ecx = 0, edx = 0;
};

// Leaf `leaf`, sub-leaf 0; all zero when the processor does not have the leaf.
CpuidRegisters Cpuid(uint32_t leaf) {
  CpuidRegisters r;
#if defined(_MSC_VER)
  int registers[4] = {0, 0, 0, 0};
  __cpuid(registers, 0);
  if (static_cast<uint32_t>(registers[0]) < leaf) return r;
  __cpuidex(registers, static_cast<int>(leaf), 0);
  r.eax = static_cast<uint32_t>(registers[0]);
  r.ebx = static_cast<uint32_t>(registers[1]);
  r.ecx = static_cast<uint32_t>(registers[2]);
  r.edx = static_cast<uint32_t>(registers[3]);
#elif defined(__x86_64__) || defined(__i386__)
  unsigned int eax = 0, ebx = 0, ecx = 0, edx = 0;
  if (__get_cpuid_count(leaf, 0, &eax, &ebx, &ecx, &edx)) r = {eax, ebx, ecx, edx};
#else
  (void)leaf;
#endif
  return r;
}

// Only called once OSXSAVE says the instruction exists.
uint64_t ReadXcr0() {
#if defined(_MSC_VER)
  return _xgetbv(0);
#elif defined(__x86_64__) || defined(__i386__)
  uint32_t lo = 0, hi = 0;
  __asm__ volatile("xgetbv" : "=a"(lo), "=d"(hi) : "c"(0));
  return (static_cast<uint64_t>(hi) << 32) | lo;
#else
  return 0;
#endif
}

}  // namespace

uint32_t QueryCpuFeatures() {
  const CpuidRegisters leaf1 = Cpuid(1);
  uint32_t bits = (leaf1.ecx & kCpuidEcxSse41) ? kCpuFeatureSse41 : 0u;
  if (!(leaf1.ecx & kCpuidEcxOsxsave) || !(leaf1.ecx & kCpuidEcxAvx)) return bits;
  const uint64_t xcr0 = ReadXcr0();
  if ((xcr0 & kXcr0SseAvx) != kXcr0SseAvx) return bits;
  const CpuidRegisters leaf7 = Cpuid(7);
  if (leaf7.ebx & kCpuid7EbxAvx2) bits |= kCpuFeatureAvx2;
  if ((leaf7.ebx & kCpuid7EbxAvx512F) && (xcr0 & kXcr0Avx512) == kXcr0Avx512) {
    bits |= kCpuFeatureAvx512F;
  }
  return bits;
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
