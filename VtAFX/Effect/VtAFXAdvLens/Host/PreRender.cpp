#include "Host/PreRender.h"

#include "AE_EffectSuites.h"
#include "Host/HostSuites.h"
#include "Host/ParamIndices.h"
#include "Host/RenderSetUp.h"
#include "Host/SuiteAccess.h"
#include "Resampling/FilterKernelTables.h"

namespace {

// Slider reads in the middle of pre-render: each read keeps its failure in `err`.
struct HostSliderReader {
  PF_InData* inData;
  PF_Err* err;
};

double ReadHostSlider(void* refcon, int32_t index) {
  const HostSliderReader& reader = *static_cast<HostSliderReader*>(refcon);
  return ReadFloatParam(reader.inData, index, reader.err);
}

PF_Err CheckoutParam(PF_InData* in_data, PF_ParamIndex index, PF_ParamDef& param) {
  return in_data->inter.checkout_param(in_data->effect_ref, index, in_data->current_time,
                                       in_data->time_step, in_data->time_scale, &param);
}

// The popup at `index` (0 when it could not be read), with the first error kept in `err`.
int32_t ReadPopup(PF_InData* in_data, PF_ParamIndex index, PF_Err& err) {
  PF_ParamDef param{};
  if (!err) err = CheckoutParam(in_data, index, param);
  const int32_t value = err ? 0 : param.u.pd.value;
  const PF_Err checkinErr = in_data->inter.checkin_param(in_data->effect_ref, &param);
  if (!err) err = checkinErr;
  return value;
}

// The point at `index` as two doubles in layer pixels, with the first error kept in `err`.
// `pointSuite` is only used while `err` is 0, which implies it was acquired.
void ReadPoint(PF_InData* in_data, const PF_PointParamSuite1* pointSuite, PF_ParamIndex index,
               double value[2], PF_Err& err) {
  PF_ParamDef param{};
  A_FloatPoint point{};
  if (!err) err = CheckoutParam(in_data, index, param);
  if (!err) {
    err = pointSuite->PF_GetFloatingPointValueFromPointDef(in_data->effect_ref, &param, &point);
  }
  const PF_Err checkinErr = in_data->inter.checkin_param(in_data->effect_ref, &param);
  if (!err) err = checkinErr;
  value[0] = point.x;
  value[1] = point.y;
}

}  // namespace

double ReadFloatParam(PF_InData* in_data, PF_ParamIndex index, PF_Err* err) {
  PF_ParamDef param{};
  const PF_Err checkoutErr = CheckoutParam(in_data, index, param);
  if (checkoutErr) *err = checkoutErr;
  const double value = checkoutErr ? 0.0 : param.u.fs_d.value;
  const PF_Err checkinErr = in_data->inter.checkin_param(in_data->effect_ref, &param);
  if (checkinErr) *err = checkinErr;
  return value;
}

PF_Err PrepareRenderContext(PF_InData* in_data, PF_OutData* out_data, RenderContext& context) {
  PF_Err err = PF_Err_NONE;
  RenderParameterValues values{};
  values.lensModelChoice = ReadPopup(in_data, kParamLensModel, err);
  values.distortMode = ReadPopup(in_data, kParamDistortMode, err);
  values.filterType = ReadPopup(in_data, kParamFilterType, err);
  values.pixelAspect = ReadFloatParam(in_data, kParamPixelAspect, &err);
  values.squeeze = ReadFloatParam(in_data, kParamAnamorphicSqueeze, &err);
  values.zoom = ReadFloatParam(in_data, kParamZoomFactor, &err);

  // Pre-render loads no suite through a handler; making one is the host's way to find out
  // that there is no basic suite at all (it throws 516).
  HostSuites suites(in_data->pica_basicP);
  const void* pointTable = nullptr;
  if (!err) {
    err = AcquireHostSuite(in_data, out_data, kPFPointParamSuite, kPFPointParamSuiteVersion1,
                           kCouldNotLoadSuite, &pointTable);
  }
  const PF_PointParamSuite1* pointSuite = static_cast<const PF_PointParamSuite1*>(pointTable);
  // Like the popups, the points are checked in even when nothing could be checked out.
  ReadPoint(in_data, pointSuite, kParamDistortedSize, values.distortedSize, err);
  ReadPoint(in_data, pointSuite, kParamUndistortedSize, values.undistortedSize, err);
  ReadPoint(in_data, pointSuite, kParamLensCenter, values.lensCenter, err);
  if (pointSuite) {
    const PF_Err releaseErr = ReleaseHostSuite(in_data, out_data, kPFPointParamSuite,
                                               kPFPointParamSuiteVersion1, kCouldNotReleaseSuite);
    if (!err) err = releaseErr;
  }

  HostSliderReader reader{in_data, &err};
  const PF_Err setUpErr = SetUpRenderContext(values, ReadHostSlider, &reader, context);
  if (!err) err = setUpErr;
  return err;
}

PF_Err SmartPreRender(PF_InData* in_data, PF_OutData* out_data, PF_PreRenderExtra* extra) {
  // The host's request, answer and callback records, as damaged as a missing in_data.
  if (!extra->input || !extra->output || !extra->cb) return PF_Err_INTERNAL_STRUCT_DAMAGED;
  RenderContext* context = CreateRenderContext();
  if (!context) return PF_Err_INTERNAL_STRUCT_DAMAGED;

  PF_Err err = PF_Err_NONE;
  try {
    err = PrepareRenderContext(in_data, out_data, *context);
  } catch (...) {
    // A missing basic suite is thrown as the host code; the context must not outlive it.
    DisposeRenderContext(context);
    throw;
  }
  if (err) {
    DisposeRenderContext(context);
    return err;
  }
  GetFilterKernelTables(&context->kernelLanczos2, &context->kernelLanczos3,
                        &context->kernelMitchell);

  // From here on the host owns the context, whatever happens to the checkouts below.
  PF_PreRenderOutput& output = *extra->output;
  output = PF_PreRenderOutput{};
  output.pre_render_data = context;
  output.delete_pre_render_data_func = DisposeRenderContext;

  PF_RenderRequest request = extra->input->output_request;
  const PF_LRect& extent = context->outputRect;
  PF_LRect clipped = request.rect;
  if (clipped.left < extent.left) clipped.left = extent.left;
  if (clipped.top < extent.top) clipped.top = extent.top;
  if (clipped.right > extent.right) clipped.right = extent.right;
  if (clipped.bottom > extent.bottom) clipped.bottom = extent.bottom;
  output.result_rect = clipped;

  // A first, empty checkout tells us the layer's full size; the second asks for all of it,
  // since a distorted source position can fall anywhere in the layer.
  PF_CheckoutResult probe{};
  request.rect = PF_LRect{0, 0, 0, 0};
  request.field = PF_Field_FRAME;
  request.preserve_rgb_of_zero_alpha = false;
  err = extra->cb->checkout_layer(in_data->effect_ref, 0, 0, &request, in_data->current_time,
                                  in_data->time_step, in_data->time_scale, &probe);
  request.rect = PF_LRect{0, 0, probe.ref_width, probe.ref_height};
  if (!err) {
    PF_CheckoutResult whole{};
    err = extra->cb->checkout_layer(in_data->effect_ref, 0, 1, &request, in_data->current_time,
                                    in_data->time_step, in_data->time_scale, &whole);
  }
  output.max_result_rect = context->outputRect;
  return err;
}
