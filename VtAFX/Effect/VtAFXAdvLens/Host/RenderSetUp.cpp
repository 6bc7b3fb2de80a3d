#include "Host/RenderSetUp.h"

#include <new>

#include "Host/FrameTransform.h"
#include "Host/ParamIndices.h"
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

// The anamorphic layouts: `polyCount` polynomial coefficients, the two centre slots
// (zero), then horizontal scale, vertical scale and the rotation, which is typed in degrees.
void ReadAnamorphicSliders(SliderReader read, void* refcon, int32_t firstParam,
                           int32_t polyCount, double* coef) {
  ReadSliders(read, refcon, firstParam, polyCount, coef);
  coef[polyCount + 2] = read(refcon, firstParam + polyCount);
  coef[polyCount + 3] = read(refcon, firstParam + polyCount + 1);
  coef[polyCount + 4] = read(refcon, firstParam + polyCount + 2) * kRadiansPerDegree;
  coef[polyCount] = coef[polyCount + 1] = 0.0;
}

double ReadFromArray(void* refcon, int32_t index) {
  return static_cast<const double*>(refcon)[index];
}

}  // namespace

void FillLensParams(int32_t lensModelChoice, SliderReader read, void* refcon,
                    LensParams& params) {
  double* coef = params.coef;
  switch (lensModelChoice) {
    case 1:
      params.kind = kModelClassic;
      params.quadratic = read(refcon, kParamClassicDistortion) * kClassicSliderScale;
      params.cubic = read(refcon, kParamClassicCubic) * kClassicSliderScale;
      params.quartic = read(refcon, kParamClassicQuartic) * kClassicSliderScale;
      params.eccentricity = read(refcon, kParamClassicEccentricity);
      params.vScale = read(refcon, kParamClassicVerticalScale);
      break;
    case 2:
      params.kind = kModelRadialSquash;
      ReadSliders(read, refcon, kParamSquashFirst, 5, coef);
      coef[5] = coef[6] = 0.0;
      break;
    case 3:
    case 4:
      params.kind = lensModelChoice == 3 ? kModelRadial4 : kModelStdRadial4;
      ReadSliders(read, refcon, kParamRadial4First, 6, coef);
      coef[6] = coef[7] = 0.0;
      break;
    case 5:
    case 6:
      params.kind = lensModelChoice == 5 ? kModelAnamorphicMerged6 : kModelStdAnamorphicMerged6;
      ReadAnamorphicSliders(read, refcon, kParamMergedAnamorphicFirst, 9, coef);
      break;
    case 7:
    case 8:
      params.kind = lensModelChoice == 7 ? kModelAnamorphic6 : kModelStdAnamorphic6;
      ReadAnamorphicSliders(read, refcon, kParamAnamorphicFirst, 18, coef);
      break;
    case 9:
    case 10:
    case 11:
    case 12:
      // The four fisheye projections are kinds 9 to 12 in popup order.
      params.kind = lensModelChoice;
      ReadSliders(read, refcon, kParamFisheyeFirst, 6, coef);
      coef[6] = coef[7] = 0.0;
      break;
    default:
      break;
  }
}

PF_Err SetUpRenderContext(const RenderParameterValues& values, SliderReader read,
                          void* refcon, RenderContext& context) {
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
  params.kind = -1;  // identity unless the choice names a model
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
  return err;
}

PF_Err SetUpRenderContextFromValues(const RenderParameterValues& values, const double* sliders,
                                    RenderContext& context) {
  return SetUpRenderContext(values, ReadFromArray, const_cast<double*>(sliders), context);
}
