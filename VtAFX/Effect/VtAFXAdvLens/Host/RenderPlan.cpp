#include "Host/RenderPlan.h"

#include "Host/RenderContext.h"
#include "Resampling/CpuFeatures.h"

namespace {

constexpr FilterEntry kFilters[] = {
    {FilterType::BuiltIn, SamplerFamily::Kernel, 0, 0, 0, nullptr},
    {FilterType::Nearest, SamplerFamily::Nearest, 0, 0, 0, nullptr},
    {FilterType::BiLinear, SamplerFamily::Bilinear, 0, 0, 0, nullptr},
    {FilterType::Lanczos2, SamplerFamily::Kernel, kLanczos2Taps, kLanczos2TapOffset,
     kLanczos2BlockStride, &RenderContext::kernelLanczos2},
    {FilterType::Lanczos3, SamplerFamily::Kernel, kLanczos3Taps, kLanczos3TapOffset,
     kLanczos3BlockStride, &RenderContext::kernelLanczos3},
    {FilterType::Mitchell, SamplerFamily::Kernel, kMitchellTaps, kMitchellTapOffset,
     kMitchellBlockStride, &RenderContext::kernelMitchell},
};

constexpr FilterEntry kUnknownFilter = {
    FilterType::BuiltIn, SamplerFamily::Kernel, 0, 0, 0, nullptr};

constexpr int32_t kBitsPerChannel[] = {8, 16, 32};  // by SampleDepth

}  // namespace

const FilterEntry& FilterOf(int32_t filterType) {
  for (const FilterEntry& entry : kFilters) {
    if (static_cast<int32_t>(entry.type) == filterType) return entry;
  }
  return kUnknownFilter;
}

void PlanRender(RenderContext& context) {
  RenderPlan& plan = context.plan;
  const uint32_t features = CpuFeatures();
  plan.distortMode = static_cast<DistortMode>(context.distortMode);
  plan.filterType = static_cast<FilterType>(context.filterType);
  plan.filter = &FilterOf(context.filterType);
  for (int32_t depth = 0; depth < 3; ++depth) {
    plan.samplers[depth] =
        SelectBatchedSampler(plan.filter->family, kBitsPerChannel[depth], features);
  }

  RunMapping& mapping = plan.mapping;
  const bool apply = plan.distortMode == DistortMode::ApplyWF2;
  const FrameTransform& from = apply ? context.distortedFrame : context.undistortedFrame;
  const FrameTransform& to = apply ? context.undistortedFrame : context.distortedFrame;
  mapping.model = &context.model;
  mapping.direction = apply ? MapDirection::Undistort : MapDirection::Distort;
  mapping.zoom = apply ? context.zoom : context.invZoom;
  for (int axis = 0; axis < 2; ++axis) {
    mapping.toNormScale[axis] = from.toNormScale[axis];
    mapping.toNormOffset[axis] = from.toNormOffset[axis];
    mapping.toPixelScale[axis] = to.toPixelScale[axis];
    mapping.toPixelOffset[axis] = to.toPixelOffset[axis];
  }
  mapping.map = SelectRunMapping(context.model, mapping.direction, PathForFeatures(features));
}
