// Where the effect takes each output pixel from, computed outside any render by the
// effect's own code (its render set-up and MapRunToSource, linked from the effect's static
// library), so that the positions vtlens prints are the ones a render uses.
#pragma once

#include <memory>
#include <vector>

#include "Harness.h"
#include "Host/RenderContext.h"

struct RenderContextDeleter {
  void operator()(RenderContext* context) const;
};
using RenderContextPtr = std::unique_ptr<RenderContext, RenderContextDeleter>;

// A mapped position and whether the lens model could map it (1) or not (0).
struct MappedPoint {
  double x = 0;
  double y = 0;
  int valid = 0;
};

// The render context pre-render would build for `instance` at `time` on a layer of
// `layerWidth` x `layerHeight`: every parameter read as checkout_param hands it to the
// effect (points at full precision, as the host's point suite gives them), then the
// effect's own set-up. Throws a ToolError when that set-up fails.
RenderContextPtr SetUpGeometry(const harness::EffectInstance& instance, A_long time,
                               int32_t layerWidth, int32_t layerHeight);

// The lens model's own Distort (`distort` true) or Undistort of a normalised point.
MappedPoint MapNormalised(const RenderContext& context, double x, double y, bool distort);

// Output-image layer positions to the input-image positions the render samples, through
// MapRunToSource in runs of 64, the positions rounded to float as the render's are. An
// unmappable point gives 268435456 in both axes and validity 0.
std::vector<MappedPoint> MapToSource(const RenderContext& context,
                                     const std::vector<MappedPoint>& outputs);

// The inverse: an input-image layer position to the output-image position whose sample
// lands there, with the same float roundings in the mirrored places.
MappedPoint MapToOutput(const RenderContext& context, double x, double y);
