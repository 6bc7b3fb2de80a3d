// vtlens stmap: the effect's warp as an ST map for other compositing programs.
#include <cstdio>

#include "Arguments.h"
#include "Commands.h"
#include "EffectSession.h"
#include "ImageFile.h"
#include "Progress.h"
#include "StMap.h"
#include "ToolError.h"

int RunStmap(const std::vector<std::string>& args) {
  std::vector<OptionDef> accepted = EffectOptionDefs();
  accepted.insert(accepted.end(),
                  {{"layer", true, "WxH", "the layer's size in pixels (required)"},
                   {"frame", true, "N", "the frame whose keyframed values apply (default 0)"},
                   kThreadsOption,
                   kModuleOption});
  ParsedArguments parsed = ParseArguments(args, accepted);
  if (parsed.positional.size() != 1) throw UsageError("stmap takes one OUTPUT file");
  const std::string& output = parsed.positional[0];
  if (OutputFormatName(output) != "openexr")
    throw UsageError("\"" + output + "\": an ST map is written as OpenEXR (.exr)");
  CheckOutputFolder(output);
  LayerOptions layer = ParseLayerOptions(parsed, "stmap");
  int threads = ParseThreads(parsed);

  EffectSession session = OpenEffect(OptionValue(parsed, "module"));
  ControlSettings settings;
  ApplyEffectOptions(parsed, session.controls, settings);
  auto instance = NewInstance(session, settings, layer.width, layer.height);
  auto start = std::chrono::steady_clock::now();
  RenderContextPtr context =
      SetUpGeometry(*instance, FrameTime(*instance, layer.frame), layer.width, layer.height);
  const PF_LRect& e = context->outputRect;
  int64_t w = int64_t(e.right) - e.left, h = int64_t(e.bottom) - e.top;
  if (w <= 0 || h <= 0 || w > 30000 || h > 30000)
    throw ToolError("the output extent " + std::to_string(w) + "x" + std::to_string(h) +
                    " is not one the host accepts (1 to 30000 pixels a side)");
  Image map = MakeStMap(*context, layer.width, layer.height, threads);
  WriteOptions options;
  options.displayWidth = layer.width;
  options.displayHeight = layer.height;
  WriteImageFile(output, map, options);
  std::fprintf(stderr,
               "vtlens: ST map of %dx%d at (%d, %d) for a %dx%d layer written to %s in %.2f s\n",
               map.width, map.height, map.originX, map.originY, layer.width, layer.height,
               output.c_str(), SecondsSince(start));
  return 0;
}
