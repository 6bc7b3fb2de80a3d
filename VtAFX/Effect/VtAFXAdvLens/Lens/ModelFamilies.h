// Preparation of each family of lens kinds, run by `PrepareKind`. Internal to the lens
// folder: callers outside it go through `SetParameters`.
#pragma once

#include "Lens/LensModel.h"

// Computes the model-frame constants from `model.aspect`: the frame in which the image
// corners lie at radius 1, x and y have the same unit and y points up.
void SetModelFrame(LensModel& model);

// Classic kind 1: installs its mapping functions and builds its tables. Runs on a record
// whose tables are reset (own no arrays); may throw if a table cannot be allocated.
void PrepareClassicKind(LensModel& model);

// Kinds 2, 4 and 6: installs the mapping functions (model frame already set).
void PrepareRadialKind(LensModel& model);

// Kinds 3, 5, 7 and 8: installs the mapping functions and computes the rotation and the
// monomial factors (model frame already set).
void PrepareAnamorphicKind(LensModel& model);

// Kinds 9 to 12: installs the mapping functions and sets `simpleForm` (model frame
// already set).
void PrepareFisheyeKind(LensModel& model);

// Stores `flag` where a mapping's caller asked for its validity (`valid` may be null).
inline void WriteValidity(int32_t* valid, int32_t flag) {
  if (valid) {
    *valid = flag;
  }
}
