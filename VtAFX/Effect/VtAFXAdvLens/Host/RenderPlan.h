// The user's choices resolved once per frame into what the row callbacks call: the typed
// distort mode and filter, the filter's geometry, the sampler for each depth on this
// processor, and the batched lens mapping of one run. Pre-render builds it inside the
// render context; the callbacks only read it.
#pragma once

#include <cstdint>

#include "Lens/BatchedMapping.h"
#include "Resampling/BatchedSamplers.h"
#include "Resampling/FilterKernelTables.h"

struct RenderContext;

// "Distort Mode" popup values.
enum class DistortMode : int32_t {
  RemoveWF2 = 1,
  ApplyWF2 = 2,
  RemoveWF1 = 3,
};

// "Filter Type" popup values.
enum class FilterType : int32_t {
  BuiltIn = 1,
  Nearest = 2,
  BiLinear = 3,
  Lanczos2 = 4,
  Lanczos3 = 5,
  Mitchell = 6,
};

// One filter: its sampler family and, for the table-driven ones, the kernel geometry and
// the context field that holds its weight table (null member: no table).
struct FilterEntry {
  FilterType type;
  SamplerFamily family;
  int32_t taps;         // per axis
  int32_t tapOffset;    // pixels before floor(position) of the first tap
  int32_t blockStride;  // floats from one phase block to the next
  const FilterKernelTable* RenderContext::*table;
};

// The filter of popup value `filterType`. A value outside 1..6 gets the kernel sampler with
// no taps, which renders every pixel transparent.
const FilterEntry& FilterOf(int32_t filterType);

// Depths in the order of RenderPlan::samplers.
enum class SampleDepth : int32_t { Bits8, Bits16, Bits32 };

struct RenderPlan {
  DistortMode distortMode;  // as the popup gave it; values outside 1..3 map as "Remove"
  FilterType filterType;    // as the popup gave it
  const FilterEntry* filter;
  BatchedSampler samplers[3];  // by SampleDepth
  RunMapping mapping;          // output layer positions to input layer positions
};

// Fills `context.plan` from the context's popups, frames, zoom and set-up lens model, for
// the processor paths the CPU feature word allows.
void PlanRender(RenderContext& context);
