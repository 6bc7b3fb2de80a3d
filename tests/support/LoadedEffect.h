// The built effect module, loaded once per test executable through the harness and set
// up as the host sets it up (global set-up, then parameter set-up). It is never unloaded:
// the module keeps its kernel tables for as long as it is loaded, as it does in the host,
// so unloading at exit would only make them look leaked. The executable defines
// VTAFX_MODULE_PATH, the module's path.
#pragma once

#include <memory>
#include <stdexcept>
#include <string>

#include "Harness.h"

inline harness::EffectHost& LoadedEffect() {
  static harness::EffectHost* host = [] {
    std::string error;
    std::unique_ptr<harness::EffectHost> loaded =
        harness::EffectHost::Load(VTAFX_MODULE_PATH, error);
    if (!loaded) throw std::runtime_error("cannot load the effect: " + error);
    loaded->GlobalSetup();
    loaded->ParamsSetup();
    return loaded.release();
  }();
  return *host;
}
