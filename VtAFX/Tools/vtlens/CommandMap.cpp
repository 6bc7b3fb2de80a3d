// vtlens map: track points between the images, computed by the effect's own geometry.
#include <cstdio>
#include <fstream>
#include <iostream>

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
  if (space == to) throw UsageError("map needs either --space normalised --direction D, or --to source|output");
  if (to) {
    std::string t = OptionValue(parsed, "to");
    if (HasOption(parsed, "direction")) throw UsageError("--direction goes with --space normalised, not --to");
    if (t == "source") return MapMode::ToSource;
    if (t == "output") return MapMode::ToOutput;
    throw UsageError("--to takes source or output, not \"" + t + "\"");
  }
  std::string s = OptionValue(parsed, "space");
  if (s != "normalised" && s != "normalized") throw UsageError("--space takes normalised, not \"" + s + "\"");
  std::string d = OptionValue(parsed, "direction");
  if (d == "distort") return MapMode::NormalisedDistort;
  if (d == "undistort") return MapMode::NormalisedUndistort;
  throw UsageError(d.empty() ? "--space normalised needs --direction distort|undistort"
                             : "--direction takes distort or undistort, not \"" + d + "\"");
}

}  // namespace

int RunMap(const std::vector<std::string>& args) {
  std::vector<OptionDef> accepted = EffectOptionDefs();
  accepted.insert(accepted.end(), {{"layer", true}, {"space", true}, {"direction", true}, {"to", true},
                             {"points", true}, {"frame", true}, {"module", true}});
  ParsedArguments parsed = ParseArguments(args, accepted);
  if (!parsed.positional.empty()) throw UsageError("map takes no file names; give points with --points FILE or on stdin");
  MapMode mode = ModeOf(parsed);
  LayerOptions layer = ParseLayerOptions(parsed, "map");

  std::vector<InputPoint> points;
  if (HasOption(parsed, "points")) {
    std::string path = OptionValue(parsed, "points");
    std::ifstream in(path);
    if (!in) throw ToolError("cannot read the points file \"" + path + "\"");
    points = ReadPoints(in, path);
  } else {
    points = ReadPoints(std::cin, "stdin");
  }

  EffectSession session = OpenEffect(OptionValue(parsed, "module"));
  ControlSettings settings;
  ApplyEffectOptions(parsed, session.controls, settings);
  auto instance = NewInstance(session, settings, layer.width, layer.height);
  RenderContextPtr context = SetUpGeometry(*instance, FrameTime(*instance, layer.frame), layer.width, layer.height);

  if (mode == MapMode::ToSource) {
    std::vector<MappedPoint> outputs;
    for (const InputPoint& p : points) outputs.push_back(MappedPoint{p.x, p.y, 1});
    for (const MappedPoint& s : MapToSource(*context, outputs)) std::printf("%.9g %.9g %d\n", s.x, s.y, s.valid);
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
