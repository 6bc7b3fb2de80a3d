#include "Host/SmartRender.h"

#include "AE_EffectPixelFormat.h"
#include "AE_GeneralPlug.h"
#include "Host/HostSuites.h"
#include "Host/RowCallbacks.h"
#include "Host/SuiteAccess.h"

namespace {

// The suites RenderIntoOutput takes with AcquireHostSuite; null until acquired.
struct RenderSuites {
  const void* world;
  const void* pixelData;
  const void* sequenceData;
};

// Releases what was acquired, in acquisition order; a failure counts only if `err` is 0.
void ReleaseRenderSuites(PF_InData* in_data, PF_OutData* out_data, const RenderSuites& taken,
                         PF_Err& err) {
  struct Release {
    const void* suite;
    const char* name;
    int32_t version;
  };
  const Release releases[] = {
      {taken.world, kPFWorldSuite, kPFWorldSuiteVersion2},
      {taken.pixelData, kPFPixelDataSuite, kPFPixelDataSuiteVersion1},
      {taken.sequenceData, kPFEffectSequenceDataSuite, kPFEffectSequenceDataSuiteVersion1},
  };
  for (const Release& release : releases) {
    if (!release.suite) continue;
    const PF_Err releaseErr =
        ReleaseHostSuite(in_data, out_data, release.name, release.version, kCouldNotReleaseSuite);
    if (!err) err = releaseErr;
  }
}

}  // namespace

PF_Err RenderIntoOutput(PF_InData* in_data, PF_EffectWorld* inputWorld, PF_OutData* out_data,
                        PF_EffectWorld* outputWorld, RenderContext& context) {
  PF_Err err = PF_Err_NONE;
  PF_PixelFormat format = PF_PixelFormat_INVALID;
  HostSuites suites(in_data->pica_basicP);
  RenderSuites taken{};

  if (!err) {
    err = AcquireHostSuite(in_data, out_data, kPFWorldSuite, kPFWorldSuiteVersion2,
                           kCouldNotLoadSuite, &taken.world);
  }
  if (!err) {
    err = AcquireHostSuite(in_data, out_data, kPFPixelDataSuite, kPFPixelDataSuiteVersion1,
                           kCouldNotLoadSuite, &taken.pixelData);
    context.pixelDataSuite = static_cast<const PF_PixelDataSuite1*>(taken.pixelData);
  }
  if (!err) {
    err = AcquireHostSuite(in_data, out_data, kPFEffectSequenceDataSuite,
                           kPFEffectSequenceDataSuiteVersion1, kCouldNotLoadSuite,
                           &taken.sequenceData);
  }

  // The handler throws 516 for a suite the host lacks; what was acquired above must still
  // be released before the command ends with that code.
  try {
    context.subpixelSample8 = suites.Sampling8Suite1()->subpixel_sample;
    context.subpixelSample16 = suites.Sampling16Suite1()->subpixel_sample16;
    context.subpixelSampleFloat = suites.SamplingFloatSuite1()->subpixel_sample_float;

    if (!err) {
      context.inData = in_data;
      context.inputWorld = inputWorld;
      context.outputWorld = outputWorld;
      context.effectRef = in_data->effect_ref;
      context.samplingParams = PF_SampPB{};
      context.samplingParams.src = inputWorld;

      // One column, every row: each callback call renders a whole row.
      const PF_Rect area{0, 0, 1, outputWorld->height};
      const PF_WorldSuite2* worldSuite = static_cast<const PF_WorldSuite2*>(taken.world);
      err = worldSuite->PF_GetPixelFormat(inputWorld, &format);
      if (err) format = PF_PixelFormat_INVALID;
      // A world without columns has no pixel for the iterated column to point at, so it
      // is not iterated; one without rows is, over an empty area.
      const bool hasColumns = outputWorld->width > 0;
      switch (format) {
        case PF_PixelFormat_ARGB128:
          if (hasColumns) {
            err =
                suites.IterateFloatSuite1()->iterate(in_data, 0, outputWorld->height, nullptr,
                                                     &area, &context, DistortRowFloat, outputWorld);
          }
          break;
        case PF_PixelFormat_ARGB64:
          if (hasColumns) {
            err = suites.Iterate16Suite1()->iterate(in_data, 0, outputWorld->height, nullptr, &area,
                                                    &context, DistortRow16, outputWorld);
          }
          break;
        case PF_PixelFormat_ARGB32:
          if (hasColumns) {
            err = suites.Iterate8Suite1()->iterate(in_data, 0, outputWorld->height, nullptr, &area,
                                                   &context, DistortRow8, outputWorld);
          }
          break;
        default: err = PF_Err_BAD_CALLBACK_PARAM; break;
      }
    }
  } catch (...) {
    PF_Err ignored = PF_Err_NONE;
    ReleaseRenderSuites(in_data, out_data, taken, ignored);
    throw;
  }

  ReleaseRenderSuites(in_data, out_data, taken, err);
  return err;
}

namespace {

// A world the row callbacks can address: present, and with pixels unless it has none.
bool Usable(const PF_EffectWorld* world) {
  return world && world->width >= 0 && world->height >= 0 &&
         (world->data || world->width == 0 || world->height == 0);
}

}  // namespace

PF_Err SmartRender(PF_InData* in_data, PF_OutData* out_data, PF_SmartRenderExtra* extra) {
  // Records the host must fill are damaged when missing (as for the command's own records);
  // a null context or world handed over by a call that reported success is a bad callback
  // result. Either way nothing is rendered and nothing the effect does not own is touched.
  if (!extra->input || !extra->cb) return PF_Err_INTERNAL_STRUCT_DAMAGED;
  RenderContext* context = static_cast<RenderContext*>(extra->input->pre_render_data);
  if (!context) return PF_Err_BAD_CALLBACK_PARAM;

  PF_EffectWorld* inputWorld = nullptr;
  PF_EffectWorld* outputWorld = nullptr;
  PF_Err err = extra->cb->checkout_layer_pixels(in_data->effect_ref, 1, &inputWorld);
  if (!err) err = extra->cb->checkout_output(in_data->effect_ref, &outputWorld);
  if (!err && (!Usable(inputWorld) || !Usable(outputWorld))) err = PF_Err_BAD_CALLBACK_PARAM;
  if (!err) err = RenderIntoOutput(in_data, inputWorld, out_data, outputWorld, *context);
  return err;
}
