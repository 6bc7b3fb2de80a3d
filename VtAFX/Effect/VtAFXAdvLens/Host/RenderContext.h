// The per-frame record handed from smart pre-render to smart render and to the row
// callbacks. Pre-render fills the first group of fields, smart render the second just
// before it iterates; the callbacks only read it, so render threads share it without locks.
#pragma once

#include <cstdint>

#include "AE_Effect.h"
#include "AE_EffectCBSuites.h"
#include "Host/FrameTransform.h"
#include "Host/RenderPlan.h"
#include "Lens/LensModel.h"
#include "Resampling/FilterKernelTables.h"

// The host's subpixel samplers, one per depth ("Built-in" filter).
typedef PF_Err (*SubpixelSample8Fn)(PF_ProgPtr effect_ref, PF_Fixed x, PF_Fixed y,
                                    const PF_SampPB* params, PF_Pixel* dst_pixel);
typedef PF_Err (*SubpixelSample16Fn)(PF_ProgPtr effect_ref, PF_Fixed x, PF_Fixed y,
                                     const PF_SampPB* params, PF_Pixel16* dst_pixel);
typedef PF_Err (*SubpixelSampleFloatFn)(PF_ProgPtr effect_ref, PF_Fixed x, PF_Fixed y,
                                        const PF_SampPB* params, PF_PixelFloat* dst_pixel);

struct RenderContext {
  // Written by pre-render.
  int32_t lensModelChoice;  // "Lens Model" popup, 1 to 12
  int32_t distortMode;      // 1 "Remove WF2", 2 "Apply WF2", 3 "Remove WF1"
  int32_t filterType;       // 1 "Built-in" .. 6 "Mitchell-Netravali"
  LensModel model;          // set up for the chosen lens model
  double pixelAspect;
  double squeeze;
  double zoom;
  double invZoom;                   // 1 / zoom
  int32_t distortedSize[2];         // width, height, rounded
  int32_t undistortedSize[2];       // width, height, rounded
  double lensCenter[2];             // layer pixels
  FrameTransform distortedFrame;    // input in the "Remove" modes, output in "Apply WF2"
  FrameTransform undistortedFrame;  // output in the "Remove" modes, input in "Apply WF2"
  PF_LRect outputRect;              // output extent in layer pixels
  const FilterKernelTable* kernelLanczos2;
  const FilterKernelTable* kernelLanczos3;
  const FilterKernelTable* kernelMitchell;
  RenderPlan plan;  // the choices above resolved into what the row callbacks call

  // Written by smart render; valid only while that render runs.
  PF_InData* inData;
  PF_EffectWorld* inputWorld;
  PF_EffectWorld* outputWorld;
  PF_ProgPtr effectRef;
  PF_SampPB samplingParams;
  const PF_PixelDataSuite1* pixelDataSuite;
  SubpixelSample8Fn subpixelSample8;
  SubpixelSample16Fn subpixelSample16;
  SubpixelSampleFloatFn subpixelSampleFloat;
};

// A zeroed context with its lens model constructed (identity, owning nothing), or null
// when memory cannot be had. Never throws.
RenderContext* CreateRenderContext();

// Releases the lens model's tables and frees the context; null is ignored. Its signature
// is the host's pre-render data disposal hook, through which the host releases the
// context after the render that used it.
void DisposeRenderContext(void* context);
