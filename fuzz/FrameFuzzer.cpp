// Whole frames through the harness as a careless user and a hostile host make them: any
// control values (points included as doubles: NaN, infinite, huge), any layer size up to
// a few hundred pixels, depth, row padding, the host's request rectangle, and a failing
// host call or a cancel at some row. Whatever happens, the frame must end, give back what
// it took, hand its data to the host at most once and write nothing outside the output.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "FuzzInput.h"
#include "Harness.h"

namespace {

harness::EffectHost* gHost = nullptr;  // loaded once, kept as the host keeps a module

// Host calls a frame makes; a few names stand for a family ("iterate8" and the others).
const char* const kCalls[] = {"checkout_param",
                              "checkin_param",
                              "abort",
                              "progress",
                              "get_pixel_data8",
                              "get_pixel_data16",
                              "get_pixel_data_float",
                              "checkout_layer",
                              "checkout_layer_pixels",
                              "checkin_layer_pixels",
                              "checkout_output",
                              "PF_GetFloatingPointValueFromPointDef",
                              "PF_GetPixelFormat",
                              "iterate8",
                              "iterate16",
                              "iterate_float",
                              "subpixel_sample",
                              "subpixel_sample16",
                              "subpixel_sample_float",
                              "AcquireSuite:PF World Suite",
                              "AcquireSuite:PF Iterate8 Suite",
                              "AcquireSuite:PF Pixel Data Suite",
                              "AcquireSuite:PF Point Param Suite",
                              "ReleaseSuite:PF Iterate8 Suite"};

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  std::string error;
  std::unique_ptr<harness::EffectHost> host =
      harness::EffectHost::Load(VTAFX_MODULE_PATH, error, harness::HostOptions{1});
  if (!host) {
    std::fprintf(stderr, "cannot load the effect: %s\n", error.c_str());
    std::exit(1);
  }
  host->GlobalSetup();
  host->ParamsSetup();
  gHost = host.release();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput in(data, size);
  harness::EffectInstance instance(*gHost);
  const auto& params = gHost->Params();

  const int32_t width = in.IntIn<int32_t>(0, 300);
  const int32_t height = in.IntIn<int32_t>(0, 300);
  const harness::Depth depths[] = {harness::Depth::k8, harness::Depth::k16, harness::Depth::kFloat};
  harness::Image layer = harness::MakeImage(width, height, depths[in.IntIn<int>(0, 2)]);
  for (size_t i = 0; i < layer.pixels.size(); ++i) layer.pixels[i] = uint8_t(i * 29 % 253);
  instance.SetLayerSize(width, height);

  // Model, mode and filter always; then any controls, by index, any number of times.
  for (PF_ParamIndex popup = 1; popup <= 3; ++popup) {
    instance.SetValue(popup,
                      {double(in.IntIn<int32_t>(1, params[size_t(popup)].def.u.pd.num_choices))});
  }
  const int changes = in.IntIn<int>(0, 24);
  for (int i = 0; i < changes; ++i) {
    const auto index = in.IntIn<PF_ParamIndex>(1, PF_ParamIndex(params.size() - 1));
    const double x = in.Double();
    const double y = params[size_t(index)].def.param_type == PF_Param_POINT ? in.Double() : 0.0;
    instance.SetValue(index, {x, y});  // refusals (NaN sliders, bad popups) are the host's
  }

  harness::RenderRequest request(&layer, 0);
  // The host asks for at most 256 x 256 pixels somewhere around the layer, so a frame
  // stays well within the time a unit may take.
  const auto left = in.IntIn<int32_t>(-400, 700), top = in.IntIn<int32_t>(-400, 700);
  request.requestRect = {left, top, left + in.IntIn<int32_t>(-2, 256),
                         top + in.IntIn<int32_t>(-2, 256)};
  request.rowPadding = in.IntIn<int32_t>(0, 5);
  request.outputFill = 0xA5;
  switch (in.IntIn<int>(0, 3)) {
    case 1:
      request.options.faults = {
          {kCalls[in.IntIn<size_t>(0, std::size(kCalls) - 1)], in.IntIn<int32_t>(0, 4)}};
      break;
    case 2: request.options.abortAfterRows = in.IntIn<int32_t>(0, 300); break;
    default: break;
  }

  const harness::RenderResult frame = instance.Render(request);
  Check(frame.preRender.Balanced());
  Check(!frame.render.sent || frame.render.Balanced());
  Check(frame.disposals == (frame.preRenderOutput.delete_pre_render_data_func ? 1 : 0));
  Check(frame.outputPaddingIntact);
  Check(frame.inputIntact);
  return 0;
}
