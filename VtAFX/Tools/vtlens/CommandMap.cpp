// vtlens map: track points between the images, computed by the effect's own geometry.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>

#include "Arguments.h"
#include "Commands.h"
#include "EffectSession.h"
#include "LensGeometry.h"
#include "PointsFile.h"
#include "ToolError.h"

namespace {

enum class MapMode { NormalisedDistort, NormalisedUndistort, ToSource, ToOutput };

MapMode ModeOf(const ParsedArguments& parsed) {
  bool space = HasOption(parsed, "space"), to = HasOption(parsed, "to");
  if (space == to)
    throw UsageError("map needs either --space normalised --direction D, or --to source|output");
  if (to) {
    std::string t = OptionValue(parsed, "to");
    if (HasOption(parsed, "direction"))
      throw UsageError("--direction goes with --space normalised, not --to");
    if (t == "source") return MapMode::ToSource;
    if (t == "output") return MapMode::ToOutput;
    throw UsageError("--to takes source or output, not " + Echo(t));
  }
  std::string s = OptionValue(parsed, "space");
  if (s != "normalised" && s != "normalized")
    throw UsageError("--space takes normalised, not " + Echo(s));
  std::string d = OptionValue(parsed, "direction");
  if (d == "distort") return MapMode::NormalisedDistort;
  if (d == "undistort") return MapMode::NormalisedUndistort;
  throw UsageError(d.empty() ? "--space normalised needs --direction distort|undistort"
                             : "--direction takes distort or undistort, not " + Echo(d));
}

}  // namespace

int RunMap(const std::vector<std::string>& args) {
  std::vector<OptionDef> accepted = EffectOptionDefs();
  accepted.insert(
      accepted.end(),
      {{"layer", true, "WxH", "the layer's size in pixels (required)"},
       {"to", true, "source|output",
        "source: the input position the render samples for an output position; output: the "
        "reverse"},
       {"space", true, "normalised", "with --direction: the lens model's own mapping"},
       {"direction", true, "distort|undistort", "the lens model's direction in normalised space"},
       {"points", true, "FILE", "points \"x y\" or \"x,y\", one a line (default: stdin)"},
       {"frame", true, "N", "the frame whose keyframed values apply (default 0)"},
       kModuleOption});
  ParsedArguments parsed = ParseArguments(args, accepted);
  if (!parsed.positional.empty())
    throw UsageError("map takes no file names; give points with --points FILE or on stdin");
  MapMode mode = ModeOf(parsed);
  LayerOptions layer = ParseLayerOptions(parsed, "map");

  std::string source = HasOption(parsed, "points") ? OptionValue(parsed, "points") : "stdin";
  std::ostringstream text;
  if (HasOption(parsed, "points")) {
    std::ifstream in(source, std::ios::binary);
    if (!in) throw ToolError("cannot read the points file \"" + source + "\"");
    text << in.rdbuf();
    if (in.bad()) throw ToolError("cannot read the points file \"" + source + "\"");
  } else {
    text << std::cin.rdbuf();
  }
  std::vector<InputPoint> points = ParsePoints(text.str(), source);

  EffectSession session = OpenEffect(OptionValue(parsed, "module"));
  ControlSettings settings;
  ApplyEffectOptions(parsed, session.controls, settings);
  auto instance = NewInstance(session, settings, layer.width, layer.height);
  RenderContextPtr context =
      SetUpGeometry(*instance, FrameTime(*instance, layer.frame), layer.width, layer.height);

  if (mode == MapMode::ToSource) {
    std::vector<MappedPoint> outputs;
    for (const InputPoint& p : points) outputs.push_back(MappedPoint{p.x, p.y, 1});
    for (const MappedPoint& s : MapToSource(*context, outputs))
      std::printf("%.9g %.9g %d\n", s.x, s.y, s.valid);
    return 0;
  }
  for (const InputPoint& p : points) {
    if (mode == MapMode::ToOutput) {
      MappedPoint o = MapToOutput(*context, p.x, p.y);
      std::printf("%.9g %.9g %d\n", o.x, o.y, o.valid);
    } else {
      MappedPoint n = MapNormalised(*context, p.x, p.y, mode == MapMode::NormalisedDistort);
      std::printf("%.17g %.17g %d\n", n.x, n.y, n.valid);
    }
  }
  return 0;
}
