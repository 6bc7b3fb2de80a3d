// The effect as vtlens drives it: the module found and loaded into the harness, set up as
// the host sets it up, its declared controls, and instances carrying the user's values.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "ControlValues.h"
#include "Harness.h"
#include "Image.h"

struct EffectSession {
  std::string modulePath;
  // Loaded for the rest of the process, never unloaded: the effect keeps tables from
  // global set-up until its process ends, as a host that never unloads a running effect
  // lets it; unloading would only turn them into leaks.
  harness::EffectHost* host = nullptr;
  std::vector<Control> controls;  // parameter indices 1 and up, as declared
};

// Where the effect module is, in this order: `moduleOption` (--module) when not empty,
// the environment variable VTLENS_MODULE, the module's file next to this executable, and
// the module this build made. Throws a ToolError listing the places tried.
std::string FindModulePath(const std::string& moduleOption);

// Finds and loads the module (once a process; later calls reuse it), sends global set-up
// and parameter set-up, and reads the declared controls back. Throws a ToolError when any
// of it fails.
EffectSession OpenEffect(const std::string& moduleOption);

// The controls in the harness's parameter declarations (index 0, the layer, left out).
std::vector<Control> ControlsFromDeclarations(const std::vector<harness::ParamDecl>& params);

// Hands `settings` to `instance`'s parameter store: constants as values, keyframes at
// frame x the instance's time step. Throws a ToolError if the store refuses one.
void ApplySettings(harness::EffectInstance& instance, const ControlSettings& settings);

// A new instance of the effect carrying `settings`, its layer size set when `layerWidth`
// and `layerHeight` are given (points default from it). Throws like ApplySettings.
std::unique_ptr<harness::EffectInstance> NewInstance(EffectSession& session,
                                                     const ControlSettings& settings,
                                                     int32_t layerWidth = 0,
                                                     int32_t layerHeight = 0);

// The instance's time of `frame`.
A_long FrameTime(const harness::EffectInstance& instance, long frame);

// Copies between vtlens's images and the harness's: same pixels, same place.
harness::Image ToHarnessImage(const Image& image);
Image FromHarnessImage(const harness::Image& image);
