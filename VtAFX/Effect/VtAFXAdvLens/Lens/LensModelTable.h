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

// The order in which a change of "Lens Model" opens or collapses the families' slider
// groups. Hosts replay interface updates in the order they were asked for, and stored
// expectations of that sequence must keep holding.
inline constexpr ModelFamily kFamiliesInUpdateOrder[kModelFamilyCount] = {
    ModelFamily::Classic,    ModelFamily::Radial4,      ModelFamily::MergedAnamorphic,
    ModelFamily::Anamorphic, ModelFamily::RadialSquash, ModelFamily::Fisheye};

// Which of a model's two mappings a caller wants.
enum class MapDirection : int32_t {
  Distort,    // undistorted to distorted
  Undistort,  // distorted to undistorted
};

// The batched code that maps a kind's points several at a time. `PerPoint` calls the
// kind's own mapping for each point (the classic kind's tables).
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
  FisheyeStereographic,
  FisheyeEquidistant,
  FisheyeEquisolid,
  FisheyeOrthographic,
};
constexpr int32_t kLaneKernelCount = 13;

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

namespace coef_layout_detail {

inline constexpr double kSquashNeutral[] = {0, 0, 0, 1, 1, 0, 0};
inline constexpr double kRadial4Neutral[] = {0, 0, 0, 0, 0, 0, 0, 0};
inline constexpr double kMergedNeutral[] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 0};
inline constexpr double kAnamorphicNeutral[] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                                0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 0};

template <int32_t N>
constexpr CoefLayout Layout(int32_t sliders, int32_t centreSlot, int32_t trailing,
                            const double (&neutral)[N]) {
  return CoefLayout{sliders, centreSlot, trailing, N, neutral};
}

// By ModelFamily. Even with neutral coefficients a fisheye maps a fisheye image to a
// rectilinear one, so it is never the identity. Visible at compile time so that the
// parameter set-up can check its slider lists against it.
inline constexpr CoefLayout kLayouts[kModelFamilyCount] = {
    {5, 0, 0, 0, nullptr},
    Layout(5, 5, 0, kSquashNeutral),
    Layout(6, 6, 0, kRadial4Neutral),
    Layout(9, 9, 3, kMergedNeutral),
    Layout(18, 18, 3, kAnamorphicNeutral),
    {6, 6, 0, 0, nullptr},
};

}  // namespace coef_layout_detail

constexpr const CoefLayout& LayoutOf(ModelFamily family) {
  return coef_layout_detail::kLayouts[static_cast<int32_t>(family)];
}

// Every slider of a family's group, the trailing ones included.
constexpr int32_t SliderCountOf(ModelFamily family) {
  return LayoutOf(family).sliders + LayoutOf(family).trailingSliders;
}
