// The twelve lens models in one table: where each sits in the "Lens Model" popup, its kind,
// the family whose sliders and coefficient layout it uses, and the batched kernel that maps
// its points. Parameter set-up, the interface updates, pre-render, the lens model itself and
// the tools all read this table rather than keeping lists of their own.
#pragma once

#include <cstdint>

#include "Lens/LensModel.h"

// The coefficient families: each has a slider group of its own and one slot layout.
enum class ModelFamily : int32_t {
  Classic,
  RadialSquash,
  Radial4,
  MergedAnamorphic,
  Anamorphic,
  Fisheye,
};
constexpr int32_t kModelFamilyCount = 6;

// Which of a model's two mappings a caller wants.
enum class MapDirection : int32_t {
  Distort,    // undistorted to distorted
  Undistort,  // distorted to undistorted
};

// The batched code that maps a kind's points several at a time. `PerPoint` calls the
// kind's own mapping for each point (the classic tables, the fisheye angle functions).
enum class LaneKernel : int32_t {
  Identity,
  PerPoint,
  Radial4,
  StdRadial4,
  RadialSquash,
  Anamorphic6,
  AnamorphicMerged6,
  StdAnamorphic6,
  StdAnamorphicMerged6,
};
constexpr int32_t kLaneKernelCount = 9;

struct LensModelEntry {
  int32_t popupPosition;  // 1-based entry of "Lens Model"
  ModelKind kind;
  ModelFamily family;
  LaneKernel laneKernel;
};

// In popup order: kLensModels[i].popupPosition is i + 1.
constexpr int32_t kLensModelCount = 12;
extern const LensModelEntry kLensModels[kLensModelCount];

// The entry at popup position `position`, or null outside 1..12.
const LensModelEntry* LensModelAtPopup(int32_t position);

// The entry of `kind`, or null for a kind outside 1..12.
const LensModelEntry* LensModelOfKind(ModelKind kind);

// How a family's sliders fill `LensParams::coef` (the classic family fills named fields
// instead): `sliders` values from the group's first slider into slots 0 on, 0 into the two
// centre slots `centreSlot` and `centreSlot + 1`, then `trailingSliders` (0, or 3 for the
// anamorphic families: horizontal scale, vertical scale, rotation in degrees stored in
// radians) into the slots after them. The first `neutralSlots` slots equal to `neutral`
// make the model the identity; a family with `neutralSlots` 0 never is.
struct CoefLayout {
  int32_t sliders;
  int32_t centreSlot;
  int32_t trailingSliders;
  int32_t neutralSlots;
  const double* neutral;
};

const CoefLayout& LayoutOf(ModelFamily family);
