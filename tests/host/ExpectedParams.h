// The effect's parameters as the user's controls need them, written out independently of
// the code that declares them, and the check of one declaration against them. Shared by the
// tests that call the effect directly and those that load the module through the harness.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <iterator>
#include <string>

#include "AE_Effect.h"

namespace expected_params {

enum Kind { kPopup, kSlider, kPoint, kStart, kEnd };

// One declared parameter as the user's controls need it. For popups `minimum` is the
// number of choices and `dephault` the default choice; for points the defaults are percent
// of the layer.
struct Expected {
  Kind kind;
  const char* id;  // four characters, or "" for groups
  PF_ParamFlags flags;
  const char* name;
  double minimum;
  double dephault;
  double maximum;
  int precision;
};

constexpr PF_ParamFlags F = 6;   // cannot vary or interpolate
constexpr PF_ParamFlags S = 70;  // and supervised
constexpr PF_ParamFlags A = 0;   // animatable
constexpr PF_ParamFlags C = 32;  // group starts collapsed

#define COEF -25, 0, 25, 6
#define SCALE 0.1, 1, 10, 5
#define ROT -15, 0, 15, 4

inline const Expected kExpected[] = {
    {kPopup, "modl", S, "Lens Model", 12, 4, 0, 0},
    {kPopup, "mode", F, "Distort Mode", 3, 1, 0, 0},
    {kPopup, "filt", F, "Filter Type", 6, 4, 0, 0},
    {kSlider, "pasp", F, "Pixel Aspect", 0.1, 1, 10, 3},
    {kSlider, "asqz", F, "Anamorphic Squeeze", 0.01, 1, 100, 5},
    {kSlider, "zoom", A, "Zoom Factor", 0.01, 1, 10, 5},
    {kPoint, "imsz", F, "Distorted Img Size", 100, 100, 0, 0},
    {kPoint, "pdsz", F, "Undistorted Img Size", 100, 100, 0, 0},
    {kPoint, "ictr", A, "Lens Center", 50, 50, 0, 0},
    {kStart, "", C, "Classic Parameters", 0, 0, 0, 0},
    {kSlider, "cls2", A, "DistortionX1000", -20000, 0, 20000, 3},
    {kSlider, "cls3", A, "CubicX1000", -20000, 0, 20000, 3},
    {kSlider, "cls4", A, "QuarticX1000", -20000, 0, 20000, 3},
    {kSlider, "clse", A, "Eccentricity", -10, 1, 10, 5},
    {kSlider, "clsv", A, "Vertical Scale", SCALE},
    {kEnd, "", A, "Classic Parameters", 0, 0, 0, 0},
    {kStart, "", C, "Radial+Squash Parameters", 0, 0, 0, 0},
    {kSlider, "mod2", A, "MOD C2", COEF},
    {kSlider, "mod3", A, "MOD C3", COEF},
    {kSlider, "mod4", A, "MOD C4", COEF},
    {kSlider, "mode", A, "MOD ECC", -10, 1, 10, 5},
    {kSlider, "modv", A, "MOD VSCL", SCALE},
    {kEnd, "", A, "Radial+Squash Parameters", 0, 0, 0, 0},
    {kStart, "", C, "Radial-4th Parameters", 0, 0, 0, 0},
    {kSlider, "r4c2", A, "R4 C2", COEF},
    {kSlider, "r4u2", A, "R4 U2", COEF},
    {kSlider, "r4v2", A, "R4 V2", COEF},
    {kSlider, "r4c4", A, "R4 C4", COEF},
    {kSlider, "r4u4", A, "R4 U4", COEF},
    {kSlider, "r4v4", A, "R4 V4", COEF},
    {kEnd, "", A, "Radial-4th Parameters", 0, 0, 0, 0},
    {kStart, "", C, "Anamorphic-6th-Merged Parameter", 0, 0, 0, 0},  // cut to 31
    {kSlider, "m602", A, "A6M C02", COEF},
    {kSlider, "m622", A, "A6M C22", COEF},
    {kSlider, "m604", A, "A6M C04", COEF},
    {kSlider, "m624", A, "A6M C24", COEF},
    {kSlider, "m644", A, "A6M C44", COEF},
    {kSlider, "m606", A, "A6M C06", COEF},
    {kSlider, "m626", A, "A6M C26", COEF},
    {kSlider, "m646", A, "A6M C46", COEF},
    {kSlider, "m666", A, "A6M C66", COEF},
    {kSlider, "m6hs", A, "A6M HSCL", SCALE},
    {kSlider, "m6vs", A, "A6M VSCL", SCALE},
    {kSlider, "m6ro", A, "A6M ROT", ROT},
    {kEnd, "", A, "Anamorphic-6th-Merged Parameter", 0, 0, 0, 0},
    {kStart, "", C, "Anamorphic-6th Parameters", 0, 0, 0, 0},
    {kSlider, "x602", A, "A6 CX02", COEF},
    {kSlider, "x622", A, "A6 CX22", COEF},
    {kSlider, "x604", A, "A6 CX04", COEF},
    {kSlider, "x624", A, "A6 CX24", COEF},
    {kSlider, "x644", A, "A6 CX44", COEF},
    {kSlider, "x606", A, "A6 CX06", COEF},
    {kSlider, "x626", A, "A6 CX26", COEF},
    {kSlider, "x646", A, "A6 CX46", COEF},
    {kSlider, "x666", A, "A6 CX66", COEF},
    {kSlider, "y602", A, "A6 CY02", COEF},
    {kSlider, "y622", A, "A6 CY22", COEF},
    {kSlider, "y604", A, "A6 CY04", COEF},
    {kSlider, "y624", A, "A6 CY24", COEF},
    {kSlider, "y644", A, "A6 CY44", COEF},
    {kSlider, "y606", A, "A6 CY06", COEF},
    {kSlider, "y626", A, "A6 CY26", COEF},
    {kSlider, "y646", A, "A6 CY46", COEF},
    {kSlider, "y666", A, "A6 CY66", COEF},
    {kSlider, "a6hs", A, "A6 HSCL", SCALE},
    {kSlider, "a6vs", A, "A6 VSCL", SCALE},
    {kSlider, "a6ro", A, "A6 ROT", ROT},
    {kEnd, "", A, "Anamorphic-6th Parameters", 0, 0, 0, 0},
    {kStart, "", C, "Fisheye Parameters", 0, 0, 0, 0},
    {kSlider, "fsh2", A, "FISH C2", COEF},
    {kSlider, "fsh4", A, "FISH C4", COEF},
    {kSlider, "fsh6", A, "FISH C6", COEF},
    {kSlider, "fsh8", A, "FISH C8", COEF},
    {kSlider, "fshs", A, "FISH Scale", 0, 1, 20, 5},
    {kSlider, "fsha", A, "FISH Angle Factor", 0, 1, 2, 5},
    {kEnd, "", A, "Fisheye Parameters", 0, 0, 0, 0},
};

#undef COEF
#undef SCALE
#undef ROT

inline A_long Id(const char* text) {
  if (!*text) return 0;
  return static_cast<A_long>((static_cast<uint32_t>(text[0]) << 24) |
                             (static_cast<uint32_t>(text[1]) << 16) |
                             (static_cast<uint32_t>(text[2]) << 8) | static_cast<uint32_t>(text[3]));
}

// Bytes of the record that a fully zeroed declaration must leave zero: everything but the
// fields set for the kind.
inline bool AllZero(const void* from, size_t size) {
  const auto* bytes = static_cast<const unsigned char*>(from);
  for (size_t i = 0; i < size; ++i) {
    if (bytes[i] != 0) return false;
  }
  return true;
}

inline const char* const kPopupLists[] = {
    "Classic|Radial+Squash|Radial 4th-order|Std. Radial 4th-order|"
    "Anamorphic, Merged 6th-order|Std. Anamorphic, Merged 6th-order|"
    "Anamorphic 6th-order|Std. Anamorphic 6th-order|Fisheye, Stereographic|"
    "Fisheye, Equidistant|Fisheye, Equisolid|Fisheye, Orthographic",
    "Remove WF2|Apply WF2|Remove WF1",
    "Built-in|Nearest|BiLinear|Lanczos-2|Lanczos-3|Mitchell-Netravali"};

// Checks the declaration of parameter `index` (1..76) and, for popups, its list text.
inline void ExpectDeclared(PF_ParamIndex index, const PF_ParamDef& def, const std::string& list) {
  ASSERT_GE(index, 1);
  ASSERT_LE(index, static_cast<PF_ParamIndex>(std::size(kExpected)));
  const Expected& e = kExpected[index - 1];
  SCOPED_TRACE("index " + std::to_string(index) + " " + e.name);
  EXPECT_EQ(def.uu.id, Id(e.id));
  EXPECT_EQ(def.flags, e.flags);
  EXPECT_STREQ(def.name, e.name);
  EXPECT_EQ(def.ui_flags, 0);
  EXPECT_EQ(def.ui_width, 0);
  EXPECT_EQ(def.ui_height, 0);
  switch (e.kind) {
    case kPopup: {
      EXPECT_EQ(def.param_type, PF_Param_POPUP);
      EXPECT_EQ(def.u.pd.num_choices, e.minimum);
      EXPECT_EQ(def.u.pd.dephault, e.dephault);
      EXPECT_EQ(def.u.pd.value, e.dephault);
      EXPECT_EQ(list, kPopupLists[index - 1]);
      break;
    }
    case kSlider: {
      const PF_FloatSliderDef& s = def.u.fs_d;
      EXPECT_EQ(def.param_type, PF_Param_FLOAT_SLIDER);
      EXPECT_EQ(s.valid_min, static_cast<float>(e.minimum));
      EXPECT_EQ(s.slider_min, static_cast<float>(e.minimum));
      EXPECT_EQ(s.valid_max, static_cast<float>(e.maximum));
      EXPECT_EQ(s.slider_max, static_cast<float>(e.maximum));
      EXPECT_EQ(s.dephault, static_cast<float>(e.dephault));
      EXPECT_EQ(s.value, e.dephault);
      EXPECT_EQ(s.precision, e.precision);
      EXPECT_EQ(s.display_flags, 0);
      EXPECT_EQ(s.fs_flags, 0u);
      EXPECT_EQ(s.phase, 0.0);
      EXPECT_EQ(s.useExponent, 0);
      EXPECT_TRUE(AllZero(s.value_desc, sizeof s.value_desc));
      break;
    }
    case kPoint: {
      const PF_PointDef& p = def.u.td;
      EXPECT_EQ(def.param_type, PF_Param_POINT);
      EXPECT_EQ(p.x_dephault, static_cast<PF_Fixed>(e.minimum * 65536));
      EXPECT_EQ(p.y_dephault, static_cast<PF_Fixed>(e.dephault * 65536));
      EXPECT_EQ(p.x_value, p.x_dephault);
      EXPECT_EQ(p.y_value, p.y_dephault);
      EXPECT_EQ(p.restrict_bounds, 0);
      EXPECT_TRUE(AllZero(&def.u.td + 1, sizeof def.u - sizeof def.u.td));
      break;
    }
    case kStart:
    case kEnd:
      EXPECT_EQ(def.param_type, e.kind == kStart ? PF_Param_GROUP_START : PF_Param_GROUP_END);
      EXPECT_TRUE(AllZero(&def.u, sizeof def.u));
      break;
  }
}

}  // namespace expected_params
