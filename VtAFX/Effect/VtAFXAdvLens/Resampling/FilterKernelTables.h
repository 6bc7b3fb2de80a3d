// Precomputed two-dimensional weight blocks of the three table-driven resampling filters
// (Lanczos-2, Lanczos-3, Mitchell-Netravali), built once per process and shared read-only
// by every instance and every render thread.
#pragma once

#include <cstdint>
#include <memory>

// Sine used to evaluate the Lanczos kernels. The effect passes the host's ANSI `sin`, whose
// signature this is: the host's correctly rounded sine makes the tables identical on every
// platform, and stored projects must re-render bit for bit wherever they are opened.
typedef double (*KernelSineFunction)(double);

// Phases per pixel in each axis; phase k stands for a fractional position of k / 64.
constexpr int32_t kKernelPhases = 64;

// Geometry of the three tables: taps per axis, how many pixels before floor(position) the
// first tap lies, and floats from one block to the next. The Lanczos-3 stride is 40, not
// 36: the last four floats of each block are zero padding.
constexpr int32_t kLanczos2Taps = 4, kLanczos2TapOffset = 1, kLanczos2BlockStride = 16;
constexpr int32_t kLanczos3Taps = 6, kLanczos3TapOffset = 2, kLanczos3BlockStride = 40;
constexpr int32_t kMitchellTaps = 4, kMitchellTapOffset = 1, kMitchellBlockStride = 16;

// Floats in one table: 64 * 64 blocks of its stride.
constexpr int32_t KernelTableFloats(int32_t blockStride) {
  return kKernelPhases * kKernelPhases * blockStride;
}

// One filter's weights, laid out as the kernel sampler reads them: 64 x 64 phase blocks,
// vertical phase major, each holding taps x taps weights row by row and `blockStride`
// floats long, so block (phaseY, phaseX) starts at float (64 * phaseY + phaseX) *
// blockStride.
struct FilterKernelTable {
  int32_t blockStride;
  std::unique_ptr<float[]> blocks;  // KernelTableFloats(blockStride) floats
};

// A set of the three tables. Each pointer is null until its table is complete; `built` is 1
// once all three exist, 0 otherwise.
struct FilterKernelTables {
  const FilterKernelTable* lanczos2;
  const FilterKernelTable* lanczos3;
  const FilterKernelTable* mitchell;
  int32_t built;
};

// Builds the process-wide tables with `sine` (a null `sine` builds nothing). Does nothing
// once they are built; not thread-safe, it belongs to the effect's global set-up, which the
// host runs before any render.
//
// An allocation that fails is not fatal: the table that could not be allocated stays null,
// the tables that were completed are kept and published, and the built flag stays 0. The
// next call then builds only the tables still missing, so a later global set-up can finish
// the job, and in the meantime the render sees null tables (the kernel sampler renders a
// null table as transparent) rather than the effect crashing in the host.
void BuildFilterKernelTables(KernelSineFunction sine);

// Writes the process-wide table pointers (null while not built) through the three
// out-parameters, in the order Lanczos-2, Lanczos-3, Mitchell-Netravali. Null out-parameters
// are skipped.
void GetFilterKernelTables(const FilterKernelTable** lanczos2, const FilterKernelTable** lanczos3,
                           const FilterKernelTable** mitchell);

// The same building applied to a caller's own set instead of the process-wide one, for the
// tools and tests that need tables of their own (and to observe a failed allocation without
// disturbing the shared set). `tables` must start zeroed or as a previous call left it.
void BuildFilterKernelTableSet(FilterKernelTables& tables, KernelSineFunction sine);

// Frees the tables of a set built with BuildFilterKernelTableSet and zeroes it. Never applied
// to the process-wide set, which lives as long as the module.
void ReleaseFilterKernelTableSet(FilterKernelTables& tables);
