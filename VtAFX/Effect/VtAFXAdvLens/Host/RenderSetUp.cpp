#include "Host/RenderSetUp.h"

#include <new>

#include "Host/FrameTransform.h"
#include "Host/ParamIndices.h"
#include "Host/RenderPlan.h"
#include "Resampling/CpuFeatures.h"

namespace {

// The rotation sliders are typed in degrees; the lens model works in radians.
constexpr double kRadiansPerDegree = 0.017453292519943295;
// The classic sliders are typed in thousandths.
constexpr double kClassicSliderScale = 0.001;

// Reads `count` consecutive sliders from `firstParam` into consecutive slots.
void ReadSliders(SliderReader read, void* refcon, int32_t firstParam, int32_t count,
                 double* slots) {
  for (int32_t i = 0; i < count; ++i) slots[i] = read(refcon, firstParam + i);
}

double ReadFromArray(void* refcon, int32_t index) {
  return static_cast<const double*>(refcon)[index];
}

}  // namespace

void FillLensParams(int32_t lensModelChoice, SliderReader read, void* refcon, LensParams& params) {
  const LensModelEntry* entry = LensModelAtPopup(lensModelChoice);
  if (!entry) return;
  params.kind = entry->kind;
  const PF_ParamIndex first = ParamsOf(entry->family).firstSlider;
  if (entry->family == ModelFamily::Classic) {
    params.quadratic = read(refcon, kParamClassicDistortion) * kClassicSliderScale;
    params.cubic = read(refcon, kParamClassicCubic) * kClassicSliderScale;
    params.quartic = read(refcon, kParamClassicQuartic) * kClassicSliderScale;
    params.eccentricity = read(refcon, kParamClassicEccentricity);
    params.vScale = read(refcon, kParamClassicVerticalScale);
    return;
  }
  // Sliders in parameter order; the centre slots are the caller's frame transforms' job.
  const CoefLayout& layout = LayoutOf(entry->family);
  double* coef = params.coef;
  ReadSliders(read, refcon, first, layout.sliders, coef);
  const int32_t centre = layout.centreSlot;
  if (layout.trailingSliders > 0) {
    // Horizontal and vertical scale, then the rotation, which is typed in degrees.
    const PF_ParamIndex next = first + layout.sliders;
    coef[centre + 2] = read(refcon, next);
    coef[centre + 3] = read(refcon, next + 1);
    coef[centre + 4] = read(refcon, next + 2) * kRadiansPerDegree;
  }
  coef[centre] = coef[centre + 1] = 0.0;
}

PF_Err SetUpRenderContext(const RenderParameterValues& values, SliderReader read, void* refcon,
                          RenderContext& context) {
  PF_Err err = PF_Err_NONE;
  context.lensModelChoice = values.lensModelChoice;
  context.distortMode = values.distortMode;
  context.filterType = values.filterType;
  context.pixelAspect = values.pixelAspect;
  context.squeeze = values.squeeze;
  context.zoom = values.zoom;
  for (int axis = 0; axis < 2; ++axis) {
    context.distortedSize[axis] = RoundSizeToInt32(values.distortedSize[axis]);
    context.undistortedSize[axis] = RoundSizeToInt32(values.undistortedSize[axis]);
    context.lensCenter[axis] = values.lensCenter[axis];
  }

  LensParams params{};
  ResetLensParams(params);
  params.kind = ModelKind::None;  // identity unless the choice names a model
  params.squeeze = context.squeeze;
  FillLensParams(context.lensModelChoice, read, refcon, params);

  DetectCpuFeatures();

  const double aspect = static_cast<double>(context.undistortedSize[0]) * context.pixelAspect /
                        static_cast<double>(context.undistortedSize[1]);
  try {
    SetParameters(context.model, params, aspect);
  } catch (const std::bad_alloc&) {
    err = PF_Err_OUT_OF_MEMORY;
  } catch (...) {
    err = PF_Err_INTERNAL_STRUCT_DAMAGED;
  }

  SetUpFrameTransforms(context.distortMode, context.undistortedSize, context.distortedSize,
                       context.lensCenter, context.undistortedFrame, context.distortedFrame);
  context.outputRect = DistortedExtent(context.distortedFrame);
  context.invZoom = 1.0 / context.zoom;
  PlanRender(context);
  return err;
}

PF_Err SetUpRenderContextFromValues(const RenderParameterValues& values, const double* sliders,
                                    RenderContext& context) {
  return SetUpRenderContext(values, ReadFromArray, const_cast<double*>(sliders), context);
}
