// Positions of the effect's parameters in the array the host hands to every command.
// Stored projects bind values to the parameters' ids, and the render reads them by these
// positions, so the order is a stable interface: append, never reorder.
#pragma once

#include "AE_Effect.h"
#include "Lens/LensModelTable.h"

constexpr PF_ParamIndex kParamInput = 0;  // the input layer, supplied by the host
constexpr PF_ParamIndex kParamLensModel = 1;
constexpr PF_ParamIndex kParamDistortMode = 2;
constexpr PF_ParamIndex kParamFilterType = 3;
constexpr PF_ParamIndex kParamPixelAspect = 4;
constexpr PF_ParamIndex kParamAnamorphicSqueeze = 5;
constexpr PF_ParamIndex kParamZoomFactor = 6;
constexpr PF_ParamIndex kParamDistortedSize = 7;
constexpr PF_ParamIndex kParamUndistortedSize = 8;
constexpr PF_ParamIndex kParamLensCenter = 9;

// Classic: distortion, cubic, quartic (each x1000), eccentricity, vertical scale.
constexpr PF_ParamIndex kParamClassicGroup = 10;
constexpr PF_ParamIndex kParamClassicDistortion = 11;
constexpr PF_ParamIndex kParamClassicCubic = 12;
constexpr PF_ParamIndex kParamClassicQuartic = 13;
constexpr PF_ParamIndex kParamClassicEccentricity = 14;
constexpr PF_ParamIndex kParamClassicVerticalScale = 15;
constexpr PF_ParamIndex kParamClassicGroupEnd = 16;

// Radial+Squash: C2, C3, C4, eccentricity, vertical scale.
constexpr PF_ParamIndex kParamSquashGroup = 17;
constexpr PF_ParamIndex kParamSquashFirst = 18;
constexpr PF_ParamIndex kParamSquashGroupEnd = 23;

// Radial 4th-order: C2, U2, V2, C4, U4, V4.
constexpr PF_ParamIndex kParamRadial4Group = 24;
constexpr PF_ParamIndex kParamRadial4First = 25;
constexpr PF_ParamIndex kParamRadial4GroupEnd = 31;

// Anamorphic merged 6th-order: nine coefficients, then horizontal and vertical scale and
// rotation (degrees).
constexpr PF_ParamIndex kParamMergedAnamorphicGroup = 32;
constexpr PF_ParamIndex kParamMergedAnamorphicFirst = 33;
constexpr PF_ParamIndex kParamMergedAnamorphicGroupEnd = 45;

// Anamorphic 6th-order: nine x coefficients, nine y coefficients, then horizontal and
// vertical scale and rotation (degrees).
constexpr PF_ParamIndex kParamAnamorphicGroup = 46;
constexpr PF_ParamIndex kParamAnamorphicFirst = 47;
constexpr PF_ParamIndex kParamAnamorphicGroupEnd = 68;

// Fisheye: C2, C4, C6, C8, scale, angle factor.
constexpr PF_ParamIndex kParamFisheyeGroup = 69;
constexpr PF_ParamIndex kParamFisheyeFirst = 70;
constexpr PF_ParamIndex kParamFisheyeGroupEnd = 76;

// Parameters in all, the input layer included.
constexpr PF_ParamIndex kParamCount = 77;

// Where each coefficient family's controls sit: its group start and its first slider.
struct FamilyParams {
  PF_ParamIndex group;
  PF_ParamIndex firstSlider;
};

// By ModelFamily.
constexpr FamilyParams kFamilyParams[kModelFamilyCount] = {
    {kParamClassicGroup, kParamClassicDistortion},
    {kParamSquashGroup, kParamSquashFirst},
    {kParamRadial4Group, kParamRadial4First},
    {kParamMergedAnamorphicGroup, kParamMergedAnamorphicFirst},
    {kParamAnamorphicGroup, kParamAnamorphicFirst},
    {kParamFisheyeGroup, kParamFisheyeFirst},
};

constexpr const FamilyParams& ParamsOf(ModelFamily family) {
  return kFamilyParams[static_cast<int32_t>(family)];
}
