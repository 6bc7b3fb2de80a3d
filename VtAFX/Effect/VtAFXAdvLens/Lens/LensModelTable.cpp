#include "Lens/LensModelTable.h"

const LensModelEntry kLensModels[kLensModelCount] = {
    {1, ModelKind::Classic, ModelFamily::Classic, LaneKernel::PerPoint},
    {2, ModelKind::RadialSquash, ModelFamily::RadialSquash, LaneKernel::RadialSquash},
    {3, ModelKind::Radial4, ModelFamily::Radial4, LaneKernel::Radial4},
    {4, ModelKind::StdRadial4, ModelFamily::Radial4, LaneKernel::StdRadial4},
    {5, ModelKind::AnamorphicMerged6, ModelFamily::MergedAnamorphic, LaneKernel::AnamorphicMerged6},
    {6, ModelKind::StdAnamorphicMerged6, ModelFamily::MergedAnamorphic,
     LaneKernel::StdAnamorphicMerged6},
    {7, ModelKind::Anamorphic6, ModelFamily::Anamorphic, LaneKernel::Anamorphic6},
    {8, ModelKind::StdAnamorphic6, ModelFamily::Anamorphic, LaneKernel::StdAnamorphic6},
    {9, ModelKind::FisheyeStereographic, ModelFamily::Fisheye, LaneKernel::FisheyeStereographic},
    {10, ModelKind::FisheyeEquidistant, ModelFamily::Fisheye, LaneKernel::FisheyeEquidistant},
    {11, ModelKind::FisheyeEquisolid, ModelFamily::Fisheye, LaneKernel::FisheyeEquisolid},
    {12, ModelKind::FisheyeOrthographic, ModelFamily::Fisheye, LaneKernel::FisheyeOrthographic},
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
