// What the effect is, as the host learns it: once from the property list resource before
// loading the module, and again from global set-up. Both are built from these values, so
// they can never disagree.
#pragma once

#include <cstdint>

#include "AE_Effect.h"

constexpr const char* kEffectName = "Vantrel Advanced Distortion";
constexpr const char* kEffectCategory = "Halvard Vantrel";
// The host's permanent identifier of the effect in projects: never change it.
constexpr const char* kEffectMatchName = "Halvard VtAFXAdvLens";
constexpr const char* kEffectEntryPointName = "EntryPointFunc";
// Placeholder until the maker publishes a support page.
constexpr const char* kEffectSupportURL = "https://vantrel.example/support";

constexpr int32_t kEffectMajorVersion = 1;
constexpr int32_t kEffectMinorVersion = 4;
constexpr int32_t kEffectBugVersion = 0;
constexpr int32_t kEffectStage = PF_Stage_RELEASE;
constexpr int32_t kEffectBuild = 1;
constexpr A_u_long kEffectVersion = PF_VERSION(kEffectMajorVersion, kEffectMinorVersion,
                                               kEffectBugVersion, kEffectStage, kEffectBuild);

// Deep colour; the output extent follows the distorted image, not the layer.
constexpr PF_OutFlags kEffectOutFlags = PF_OutFlag_DEEP_COLOR_AWARE | PF_OutFlag_USE_OUTPUT_EXTENT;
// Groups honour their collapsed flag; smart render, float colour, threaded rendering.
constexpr PF_OutFlags2 kEffectOutFlags2 =
    PF_OutFlag2_PARAM_GROUP_START_COLLAPSED_FLAG | PF_OutFlag2_SUPPORTS_SMART_RENDER |
    PF_OutFlag2_FLOAT_COLOR_AWARE | PF_OutFlag2_SUPPORTS_THREADED_RENDERING;

// Property-list values the host reads besides the ones above.
constexpr int16_t kPiPLVersionMajor = 2;
constexpr int16_t kPiPLVersionMinor = 0;
constexpr int16_t kEffectInfoFlags = 0;
constexpr int32_t kPiPLReservedInfo = 8;
