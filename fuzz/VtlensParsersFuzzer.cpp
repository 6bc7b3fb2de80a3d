// vtlens's readers of what users type and write: preset JSON (applied to the effect's real
// controls), points files, frame ranges and sequence paths, "--set NAME=VALUE" and the
// numeric options. The first byte picks the reader, the rest is the text. A reader may
// refuse the text, and then only with the usage error the user sees; anything else that
// leaves it (another exception, a crash, a hang) is a fault.
#include <nlohmann/json.hpp>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "Arguments.h"
#include "ControlValues.h"
#include "EffectSession.h"
#include "FuzzInput.h"
#include "PointsFile.h"
#include "Preset.h"
#include "Sequence.h"
#include "ToolError.h"

namespace {

harness::EffectHost* gHost = nullptr;  // loaded once and kept, as vtlens keeps it
std::vector<Control> gControls;

void Read(int reader, const std::string& text) {
  ControlSettings settings;
  switch (reader) {
    case 0: ApplyPreset(settings, gControls, ParsePreset(text, "fuzz.json"), "fuzz.json"); break;
    case 1: ParsePoints(text, "points.txt"); break;
    case 2: ParseFrames(text); break;
    case 3: {
      const FramePattern pattern = FindFramePattern(text);
      FramePath(text, pattern, -1234567);
      break;
    }
    case 4: ApplyAssignment(settings, gControls, text); break;
    default: {
      int width = 0, height = 0;
      ParseSize(text, "--layer", width, height);
      ParseBoundedInt(text, "--threads", 1, 256);
      break;
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  std::string error;
  std::unique_ptr<harness::EffectHost> host = harness::EffectHost::Load(VTAFX_MODULE_PATH, error);
  if (!host) {
    std::fprintf(stderr, "cannot load the effect: %s\n", error.c_str());
    std::exit(1);
  }
  host->GlobalSetup();
  host->ParamsSetup();
  gControls = ControlsFromDeclarations(host->Params());
  gHost = host.release();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput in(data, size);
  const int reader = in.IntIn<int>(0, 5);
  const std::string text = in.Text();
  try {
    Read(reader, text);
  } catch (const ToolError& refused) {
    if (refused.status != kExitUsage) std::abort();
  }
  return 0;
}
