// The processor features the samplers and the lens mapping may use beyond SSE2, detected
// once per process and read when a frame chooses its paths.
#pragma once

#include <cstdint>

// Feature bit: the processor has SSE4.1 (rounding with an explicit mode, packed 32-bit
// multiply).
constexpr uint32_t kCpuFeatureSse41 = 0x1;
// Feature bit: the processor has AVX2 and the operating system saves the 256-bit registers.
constexpr uint32_t kCpuFeatureAvx2 = 0x2;
// Feature bit: the processor has AVX-512F and the operating system saves the 512-bit
// registers and the mask registers.
constexpr uint32_t kCpuFeatureAvx512F = 0x4;

// Reads the processor identification and returns the feature bits it reports. Stores
// nothing.
uint32_t QueryCpuFeatures();

// Fills the process-wide feature word from the processor identification, once: later calls
// return at once. Safe to run on several threads at the same time (every run stores the
// same bits, and an operation that reads the word before the bits are in takes the SSE2
// path, which gives the same results).
void DetectCpuFeatures();

// The process-wide feature word: 0 until DetectCpuFeatures has run. The one place a frame
// asks which paths to take.
uint32_t CpuFeatures();

// For tests and benchmarks only, never called by the effect: replaces the feature word with
// `bits`, less any bit this processor lacks, and marks it detected so DetectCpuFeatures
// leaves it alone. OverrideCpuFeatures(0) forces the SSE2 path;
// OverrideCpuFeatures(kCpuFeatureSse41) brings the SSE4.1 path back where the processor has
// it. Returns the word now in force.
uint32_t OverrideCpuFeatures(uint32_t bits);
