// The two stages of a frame, run through the effect's own code outside the host: mapping
// (the source position of every output pixel, as the row callbacks compute it) and
// resampling (the batched samplers over those positions).
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "Host/RenderContext.h"
#include "Host/RenderPlan.h"
#include "Image.h"
#include "RowPool.h"

namespace stages {

// The lenses the frames are measured with. kDefault is the effect's default model, whose
// "Remove WF2" direction is a Newton inversion; kClosedForm the model whose polynomial runs
// that direction; kIdentity all coefficients zero.
enum class Lens { kDefault, kClosedForm, kIdentity };

// Typical coefficients of the two radial models ("R4 C2", "R4 C4").
constexpr double kC2 = -0.05;
constexpr double kC4 = 0.01;

// Lens Model popup value of `lens`.
int32_t LensModelChoice(Lens lens);

struct ContextDeleter {
  void operator()(RenderContext* context) const;
};
typedef std::unique_ptr<RenderContext, ContextDeleter> ContextPtr;

// A render context as pre-render leaves it for a layer of width x height in "Remove WF2",
// both sizes the layer's and the centre in its middle, with the process-wide kernel tables.
// Null when it cannot be set up.
ContextPtr MakeContext(Lens lens, FilterType filterType, int32_t width, int32_t height);

// Source positions of every pixel of the context's output, row by row.
struct SourceMap {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<float> x, y;
};

// Maps every output pixel to its source position exactly as the row callbacks do: runs of
// 64 layer positions through MapRunToSource. The input layer starts at (0, 0), so layer
// positions are already input pixel positions.
void MapFrame(const RenderContext& context, SourceMap& map);

// Resamples `input` at the positions of `map` with the context's filter (not "Built-in",
// which is the host's sampler) into `output`, map-sized and of the input's depth, through
// the row callbacks' own description of the input and choice of sampler, the rows shared
// out on `pool`. False for "Built-in" or an output that does not match.
bool ResampleFrame(const RenderContext& context, const harness::Image& input, const SourceMap& map,
                   harness::Image& output, harness::RowPool& pool);

}  // namespace stages
