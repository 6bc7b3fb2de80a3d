// Every text the user sees: effect name, about text, parameter names, popup lists and group
// names, looked up by position.
#pragma once

#include <cstdint>

// Positions of the texts. The parameter names follow the parameter order; a popup's list
// follows its name.
enum StringPosition : int32_t {
  kStrNone = 0,
  kStrName = 1,         // name in the about text
  kStrDescription = 2,  // body of the about text
  kStrErrorLoadingSuite = 3,
  kStrErrorReleasingSuite = 4,
  kStrLensModel = 5,
  kStrLensModelChoices = 6,
  kStrDistortMode = 7,
  kStrDistortModeChoices = 8,
  kStrFilterType = 9,
  kStrFilterTypeChoices = 10,
  kStrPixelAspect = 11,
  kStrAnamorphicSqueeze = 12,
  kStrZoomFactor = 13,
  kStrDistortedSize = 14,
  kStrUndistortedSize = 15,
  kStrLensCenter = 16,
  kStrClassicFirst = 17,           // "DistortionX1000" .. "Vertical Scale": 17-21
  kStrSquashFirst = 22,            // "MOD C2" .. "MOD VSCL": 22-26
  kStrRadial4First = 27,           // "R4 C2" .. "R4 V4": 27-32
  kStrMergedAnamorphicFirst = 33,  // "A6M C02" .. "A6M ROT": 33-44
  kStrAnamorphicFirst = 45,        // "A6 CX02" .. "A6 ROT": 45-65
  kStrFisheyeFirst = 66,           // "FISH C2" .. "FISH Angle Factor": 66-71
  kStrClassicGroup = 72,
  kStrSquashGroup = 73,
  kStrRadial4Group = 74,
  kStrMergedAnamorphicGroup = 75,
  kStrAnamorphicGroup = 76,
  kStrFisheyeGroup = 77,
  kStrCount = 78
};

// The texts, in position order; each at most 255 characters.
extern const char* const StringTable[kStrCount];

// The text at `position`; the empty text for a position outside the table.
const char* GetString(int32_t position);
