#include "LensGeometry.h"

#include <cmath>
#include <string>

#include "Host/RenderSetUp.h"
#include "Host/RowCallbacks.h"
#include "ToolError.h"

namespace {

// The value PF_GetFloatingPointValueFromPointDef gives the effect for a point parameter,
// taken where the host's call takes it.
void PointValue(const harness::EffectInstance& instance, PF_ParamIndex index, A_long time,
                int32_t layerWidth, int32_t layerHeight, double out[2]) {
  const A_FloatPoint p = instance.FloatingPointValue(index, time, layerWidth, layerHeight);
  out[0] = p.x;
  out[1] = p.y;
}

bool IsUnmapped(float x, float y) {
  return (x == kUnmappedPosition && y == kUnmappedPosition) || std::isnan(x) || std::isnan(y);
}

}  // namespace

void RenderContextDeleter::operator()(RenderContext* context) const {
  DisposeRenderContext(context);
}

RenderContextPtr SetUpGeometry(const harness::EffectInstance& instance, A_long time,
                               int32_t layerWidth, int32_t layerHeight) {
  const auto& params = instance.Host().Params();
  std::vector<double> sliders(params.size() + 1, 0.0);
  RenderParameterValues values{};
  for (size_t i = 1; i < params.size(); ++i) {
    PF_ParamDef def{};
    instance.FillParamDef(static_cast<PF_ParamIndex>(i), time, layerWidth, layerHeight, def);
    if (def.param_type == PF_Param_FLOAT_SLIDER) sliders[i] = def.u.fs_d.value;
    switch (i) {
      case 1: values.lensModelChoice = def.u.pd.value; break;
      case 2: values.distortMode = def.u.pd.value; break;
      case 3: values.filterType = def.u.pd.value; break;
      case 4: values.pixelAspect = def.u.fs_d.value; break;
      case 5: values.squeeze = def.u.fs_d.value; break;
      case 6: values.zoom = def.u.fs_d.value; break;
      case 7: PointValue(instance, 7, time, layerWidth, layerHeight, values.distortedSize); break;
      case 8: PointValue(instance, 8, time, layerWidth, layerHeight, values.undistortedSize); break;
      case 9: PointValue(instance, 9, time, layerWidth, layerHeight, values.lensCenter); break;
      default: break;
    }
  }
  RenderContextPtr context(CreateRenderContext());
  if (!context) throw ToolError("out of memory while setting up the lens");
  PF_Err err = SetUpRenderContextFromValues(values, sliders.data(), *context);
  if (err != 0)
    throw ToolError("the effect could not set up the lens (error " + std::to_string(err) + ")");
  return context;
}

MappedPoint MapNormalised(const RenderContext& context, double x, double y, bool distort) {
  int32_t valid = 0;
  Point2 p = distort ? Distort(context.model, Point2{x, y}, 1.0, &valid)
                     : Undistort(context.model, Point2{x, y}, 1.0, &valid);
  return MappedPoint{p.x, p.y, valid};
}

std::vector<MappedPoint> MapToSource(const RenderContext& context,
                                     const std::vector<MappedPoint>& outputs) {
  std::vector<MappedPoint> sources;
  sources.reserve(outputs.size());
  PointPacket run;
  PointPacket mapped;
  for (size_t start = 0; start < outputs.size(); start += kPacketCapacity) {
    int32_t n = static_cast<int32_t>(std::min<size_t>(kPacketCapacity, outputs.size() - start));
    run.x.count = n;
    run.y.count = n;
    for (int32_t k = 0; k < n; ++k) {
      run.x[k] = static_cast<float>(outputs[start + static_cast<size_t>(k)].x);
      run.y[k] = static_cast<float>(outputs[start + static_cast<size_t>(k)].y);
    }
    MapRunToSource(context, run, mapped);
    for (int32_t k = 0; k < n; ++k) {
      float sx = mapped.x[k], sy = mapped.y[k];
      sources.push_back(MappedPoint{sx, sy, IsUnmapped(sx, sy) ? 0 : 1});
    }
  }
  return sources;
}

MappedPoint MapToOutput(const RenderContext& context, double x, double y) {
  int32_t valid = 0;
  Point2 mapped;
  const FrameTransform* outputFrame;
  if (context.plan.distortMode == DistortMode::ApplyWF2) {
    // The render undistorts the output position and zooms; undo the zoom, then distort.
    const FrameTransform& in = context.undistortedFrame;
    Point2 n{(x * in.toNormScale[0] + in.toNormOffset[0]) * context.invZoom,
             (y * in.toNormScale[1] + in.toNormOffset[1]) * context.invZoom};
    mapped = Distort(context.model, n, 1.0, &valid);
    outputFrame = &context.distortedFrame;
  } else {
    // The render unzooms the output position and distorts; undistort, then zoom.
    const FrameTransform& in = context.distortedFrame;
    Point2 n{x * in.toNormScale[0] + in.toNormOffset[0],
             y * in.toNormScale[1] + in.toNormOffset[1]};
    mapped = Undistort(context.model, n, 1.0, &valid);
    mapped.x *= context.zoom;
    mapped.y *= context.zoom;
    outputFrame = &context.undistortedFrame;
  }
  double px = static_cast<double>(static_cast<float>(mapped.x)) * outputFrame->toPixelScale[0] +
              outputFrame->toPixelOffset[0];
  double py = static_cast<double>(static_cast<float>(mapped.y)) * outputFrame->toPixelScale[1] +
              outputFrame->toPixelOffset[1];
  float ox = static_cast<float>(px), oy = static_cast<float>(py);
  if (!valid) return MappedPoint{kUnmappedPosition, kUnmappedPosition, 0};
  return MappedPoint{ox, oy, IsUnmapped(ox, oy) ? 0 : 1};
}
