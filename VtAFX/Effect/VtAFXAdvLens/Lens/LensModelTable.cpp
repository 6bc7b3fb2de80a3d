#include "Lens/LensModelTable.h"

namespace {

constexpr double kSquashNeutral[] = {0, 0, 0, 1, 1, 0, 0};
constexpr double kRadial4Neutral[] = {0, 0, 0, 0, 0, 0, 0, 0};
constexpr double kMergedNeutral[] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 0};
constexpr double kAnamorphicNeutral[] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                         0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 0};

template <int32_t N>
constexpr CoefLayout Layout(int32_t sliders, int32_t centreSlot, int32_t trailing,
                            const double (&neutral)[N]) {
  return CoefLayout{sliders, centreSlot, trailing, N, neutral};
}

// By ModelFamily. Even with neutral coefficients a fisheye maps a fisheye image to a
// rectilinear one, so it is never the identity.
constexpr CoefLayout kLayouts[kModelFamilyCount] = {
    {5, 0, 0, 0, nullptr},
    Layout(5, 5, 0, kSquashNeutral),
    Layout(6, 6, 0, kRadial4Neutral),
    Layout(9, 9, 3, kMergedNeutral),
    Layout(18, 18, 3, kAnamorphicNeutral),
    {6, 6, 0, 0, nullptr},
};

}  // namespace

const LensModelEntry kLensModels[kLensModelCount] = {
    {1, ModelKind::Classic, ModelFamily::Classic, LaneKernel::PerPoint},
    {2, ModelKind::RadialSquash, ModelFamily::RadialSquash, LaneKernel::RadialSquash},
    {3, ModelKind::Radial4, ModelFamily::Radial4, LaneKernel::Radial4},
    {4, ModelKind::StdRadial4, ModelFamily::Radial4, LaneKernel::StdRadial4},
    {5, ModelKind::AnamorphicMerged6, ModelFamily::MergedAnamorphic,
     LaneKernel::AnamorphicMerged6},
    {6, ModelKind::StdAnamorphicMerged6, ModelFamily::MergedAnamorphic,
     LaneKernel::StdAnamorphicMerged6},
    {7, ModelKind::Anamorphic6, ModelFamily::Anamorphic, LaneKernel::Anamorphic6},
    {8, ModelKind::StdAnamorphic6, ModelFamily::Anamorphic, LaneKernel::StdAnamorphic6},
    {9, ModelKind::FisheyeStereographic, ModelFamily::Fisheye, LaneKernel::PerPoint},
    {10, ModelKind::FisheyeEquidistant, ModelFamily::Fisheye, LaneKernel::PerPoint},
    {11, ModelKind::FisheyeEquisolid, ModelFamily::Fisheye, LaneKernel::PerPoint},
    {12, ModelKind::FisheyeOrthographic, ModelFamily::Fisheye, LaneKernel::PerPoint},
};

const LensModelEntry* LensModelAtPopup(int32_t position) {
  return position >= 1 && position <= kLensModelCount ? &kLensModels[position - 1] : nullptr;
}

const LensModelEntry* LensModelOfKind(ModelKind kind) {
  for (const LensModelEntry& entry : kLensModels) {
    if (entry.kind == kind) return &entry;
  }
  return nullptr;
}

const CoefLayout& LayoutOf(ModelFamily family) { return kLayouts[static_cast<int32_t>(family)]; }
