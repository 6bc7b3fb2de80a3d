// Turning the effect's parameter values into a set-up render context: the lens inputs for
// the chosen lens model, the lens model itself, both frame transforms and the output
// extent. No host calls happen here, so smart pre-render and the tools that map points
// outside the host share this one path and compute exactly the same geometry.
#pragma once

#include <cstdint>

#include "AE_Effect.h"
#include "Host/RenderContext.h"

// The values pre-render reads before it turns to the lens coefficients, as the host's
// controls give them: popups 1-based, points in layer pixels and not yet rounded.
struct RenderParameterValues {
  int32_t lensModelChoice;
  int32_t distortMode;
  int32_t filterType;
  double pixelAspect;
  double squeeze;
  double zoom;
  double distortedSize[2];
  double undistortedSize[2];
  double lensCenter[2];
};

// Supplies the value of the float slider at parameter `index`; `refcon` is the caller's.
// Sliders are asked for one at a time, in one fixed order: a reader that talks to the host
// checks them out in that order, and the host sees the same sequence on every platform.
typedef double (*SliderReader)(void* refcon, int32_t index);

// Fills the fields of `params` that `lensModelChoice` (the "Lens Model" popup value)
// selects, reading that model's sliders through `read`: its kind, its coefficients with
// the unit conversions (the classic terms are typed x 1000, rotations in degrees), and
// zeros in the centre slots. Any other choice reads nothing and leaves `params` as it is.
void FillLensParams(int32_t lensModelChoice, SliderReader read, void* refcon, LensParams& params);

// Fills every pre-render field of `context` except the kernel table pointers: stores the
// values (sizes rounded with RoundSizeToInt32), fills the lens inputs (reset, kind -1
// unless the choice names a model, squeeze from `values`), runs the processor feature
// detection, sets the lens model up with the undistorted image's aspect, builds both frame
// transforms and the output extent, and sets invZoom.
//
// Returns 0, or PF_Err_OUT_OF_MEMORY when setting the lens model up runs out of memory
// (the only way it can fail): that is what the host reads as "free memory and try again".
// Any other failure escaping the lens model becomes PF_Err_INTERNAL_STRUCT_DAMAGED. The
// lens model is then left empty and the context can still be disposed of normally; the
// later steps run all the same, so the context is complete either way.
PF_Err SetUpRenderContext(const RenderParameterValues& values, SliderReader read, void* refcon,
                          RenderContext& context);

// The same with the sliders taken from `sliders`, indexed by parameter index (the tools'
// entry point). `sliders` must hold at least kParamCount values.
PF_Err SetUpRenderContextFromValues(const RenderParameterValues& values, const double* sliders,
                                    RenderContext& context);
