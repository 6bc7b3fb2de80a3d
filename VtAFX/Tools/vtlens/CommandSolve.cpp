// vtlens solve: lens parameters from correspondences (a points file, an ST map, chart
// photos or a lensfun profile), solved through the effect's own lens code, written as a
// preset that render reads.
#include <nlohmann/json.hpp>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <unistd.h>

#include "Arguments.h"
#include "Commands.h"
#include "EffectSession.h"
#include "ImageFile.h"
#include "ResidualPlot.h"
#include "SolveFit.h"
#include "SolveLens.h"
#include "SolveSources.h"
#include "TempFiles.h"
#include "ToolError.h"

namespace {

// Sources sample about this many points on a grid unless --step says otherwise.
constexpr double kGridPoints = 4096;

std::vector<std::string> SplitList(const std::string& text) {
  std::vector<std::string> items;
  size_t start = 0;
  while (start <= text.size()) {
    size_t comma = text.find(',', start);
    std::string item =
        text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    size_t a = item.find_first_not_of(' '), b = item.find_last_not_of(' ');
    if (a != std::string::npos) items.push_back(item.substr(a, b - a + 1));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return items;
}

double ParsePositive(const ParsedArguments& parsed, const std::string& option, double fallback) {
  if (!HasOption(parsed, option)) return fallback;
  double v = 0;
  if (!ParseNumber(OptionValue(parsed, option), v) || !(v > 0))
    throw UsageError("--" + option + " takes a number above 0, not \"" +
                     OptionValue(parsed, option) + "\"");
  return v;
}

int GridStep(const ParsedArguments& parsed, int width, int height) {
  if (HasOption(parsed, "step"))
    return ParseBoundedInt(OptionValue(parsed, "step"), "--step", 1, 30000);
  return std::max(1, int(std::ceil(std::sqrt(double(width) * double(height) / kGridPoints))));
}

nlohmann::ordered_json ValueJson(const Control& control, const ControlValue& value) {
  if (control.kind == ControlKind::Point) return {value.x, value.y};
  if (control.kind == ControlKind::Popup) {
    size_t choice = static_cast<size_t>(value.x);
    if (choice >= 1 && choice <= control.choices.size()) return control.choices[choice - 1];
  }
  return value.x;
}

// The preset render reads: the model and the mode first, then what the user set (keyframes
// kept), with the solved values as constants.
nlohmann::ordered_json MakePreset(const std::vector<Control>& controls,
                                  const ControlSettings& settings, const std::string& model,
                                  const std::vector<FreeParameter>& free,
                                  const std::vector<double>& values) {
  nlohmann::ordered_json preset = nlohmann::ordered_json::object();
  preset["Lens Model"] = model;
  const Control& mode = FindControl(controls, "Distort Mode");
  const ControlSetting* modeSetting = FindSetting(settings, mode.index);
  preset["Distort Mode"] = ValueJson(
      mode, modeSetting ? modeSetting->keys[0].value : ControlValue{double(mode.popupDefault), 0});
  for (const ControlSetting& s : settings.settings) {
    const Control& c = controls.at(size_t(s.index - 1));
    if (c.name == "Lens Model") continue;
    if (s.keys.size() == 1) {
      preset[c.name] = ValueJson(c, s.keys[0].value);
      continue;
    }
    nlohmann::ordered_json keys = nlohmann::ordered_json::object();
    for (const Keyframe& k : s.keys) keys[std::to_string(k.frame)] = ValueJson(c, k.value);
    preset[c.name] = keys;
  }
  for (size_t k = 0; k < free.size(); ++k) {
    const Control& c = controls.at(size_t(free[k].controlIndex - 1));
    if (c.kind == ControlKind::Point) {
      if (!preset[c.name].is_array()) preset[c.name] = {0.0, 0.0};
      preset[c.name][size_t(free[k].axis)] = values[k];
    } else {
      preset[c.name] = values[k];
    }
  }
  return preset;
}

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

}  // namespace

int RunSolve(const std::vector<std::string>& args) {
  std::vector<OptionDef> accepted = EffectOptionDefs();
  accepted.insert(
      accepted.end(),
      {{"points", true, "FILE", "point pairs, \"xu yu xd yd\" a line, in layer pixels"},
       {"stmap", true, "FILE.exr", "an ST map (s right, t up, pixel centres at half steps)"},
       {"chart", true, "IMAGE", "a photo of a flat chart; more photos follow as further arguments",
        true},
       {"grid", true, "COLSxROWS", "the chart's inner corners or circles"},
       {"pattern", true, "P", "chessboard (default), circles or acircles"},
       {"lensfun", true, "MAKER",
        "a lens of the lensfun database; its model follows as an argument"},
       {"focal", true, "MM", "the focal length at which the lensfun profile is evaluated"},
       {"crop", true, "FACTOR", "the camera's crop factor for the lensfun profile"},
       {"layer", true, "WxH", "the layer size (default: the ST map's or the photos')"},
       {"frame", true, "N", "the frame whose keyframed controls are fixed (default 0)"},
       {"module", true, "PATH", "the effect module"},
       {"free", true, "NAME,...",
        "the controls to solve (default: the model's distortion coefficients)"},
       {"out", true, "PRESET.json", "the solved preset, for render --preset"},
       {"plot", true, "FILE.png", "the residual vectors over the frame"},
       {"huber", true, "PX", "the robust loss's scale in pixels (default 1)"},
       {"reject", true, "PX",
        "residuals beyond this after a first solve are dropped (default 3x huber)"},
       {"max-iterations", true, "N", "the solver's iteration limit"},
       {"step", true, "PX", "the sampling grid's step for ST maps and lensfun profiles"}});
  ParsedArguments parsed = ParseArguments(args, accepted);
  int sources = 0;
  for (const char* s : {"points", "stmap", "chart", "lensfun"}) sources += HasOption(parsed, s);
  if (sources != 1)
    throw UsageError("solve takes one source: --points, --stmap, --chart or --lensfun");
  const bool chart = HasOption(parsed, "chart"), lensfun = HasOption(parsed, "lensfun");
  if (!chart && parsed.positional.size() != (lensfun ? 1u : 0u))
    throw UsageError(lensfun
                         ? "--lensfun takes the lens maker and model: --lensfun \"MAKER\" \"MODEL\""
                         : "solve takes no file names beyond its options");
  const std::string out = OptionValue(parsed, "out"), plot = OptionValue(parsed, "plot");
  if (!out.empty()) CheckOutputFolder(out);
  if (!plot.empty()) {
    if (!EndsWith(plot, ".png"))
      throw UsageError("--plot \"" + plot + "\": the residual plot is written as PNG (.png)");
    CheckOutputFolder(plot);
  }
  FitOptions fit;
  fit.huberPixels = ParsePositive(parsed, "huber", 1.0);
  fit.rejectPixels = ParsePositive(parsed, "reject", 3 * fit.huberPixels);
  if (HasOption(parsed, "max-iterations"))
    fit.maxIterations =
        ParseBoundedInt(OptionValue(parsed, "max-iterations"), "--max-iterations", 1, 10000);

  // The layer: given, or the ST map's display window, or the photos' size.
  LayerOptions layer;
  if (HasOption(parsed, "layer"))
    layer = ParseLayerOptions(parsed, "solve");
  else if (HasOption(parsed, "frame"))
    layer.frame = ParseBoundedInt(OptionValue(parsed, "frame"), "--frame", 0, 10000000);
  Correspondences data;
  std::vector<std::string> skipped;
  if (chart) {
    if (!HasOption(parsed, "grid"))
      throw UsageError("--chart needs --grid COLSxROWS, the inner corners or circles of the chart");
    int columns = 0, rows = 0;
    ParseSize(OptionValue(parsed, "grid"), "--grid", columns, rows);
    if (columns < 2 || rows < 2) throw UsageError("--grid needs at least 2x2");
    std::vector<std::string> photos;
    for (const auto& o : parsed.options)
      if (o.first == "chart") photos.push_back(o.second);
    photos.insert(photos.end(), parsed.positional.begin(), parsed.positional.end());
    int width = 0, height = 0;
    data = FindCharts(photos, columns, rows,
                      ParseChartPattern(OptionValue(parsed, "pattern", "chessboard")), width,
                      height, skipped);
    if (layer.width == 0) {
      layer.width = width;
      layer.height = height;
    } else if (layer.width != width || layer.height != height) {
      throw UsageError("--layer " + std::to_string(layer.width) + "x" +
                       std::to_string(layer.height) + " differs from the photos' " +
                       std::to_string(width) + "x" + std::to_string(height));
    }
  } else if (HasOption(parsed, "stmap")) {
    if (layer.width == 0) {
      StMapSize size = ReadStMapSize(OptionValue(parsed, "stmap"));
      layer.width = size.width;
      layer.height = size.height;
    }
  } else if (layer.width == 0) {
    throw UsageError("solve needs --layer WxH with " +
                     std::string(lensfun ? "--lensfun" : "--points"));
  }

  EffectSession session = OpenEffect(OptionValue(parsed, "module"));
  ControlSettings settings;
  ApplyEffectOptions(parsed, session.controls, settings);
  SolveLens lens(session, settings, layer.width, layer.height, layer.frame);
  if (HasOption(parsed, "points")) {
    data = ReadPointPairs(OptionValue(parsed, "points"));
  } else if (HasOption(parsed, "stmap")) {
    const double shift[2] = {lens.ApplyShift(0), lens.ApplyShift(1)};
    data = ReadStMap(OptionValue(parsed, "stmap"), GridStep(parsed, layer.width, layer.height),
                     lens.AppliesDistortion(), shift);
  } else if (lensfun) {
    if (!HasOption(parsed, "focal"))
      throw UsageError("--lensfun needs --focal MM, the focal length");
    data = LensfunPoints(OptionValue(parsed, "lensfun"), parsed.positional[0],
                         ParsePositive(parsed, "focal", 0),
                         HasOption(parsed, "crop") ? ParsePositive(parsed, "crop", 0) : 0.0,
                         layer.width, layer.height, GridStep(parsed, layer.width, layer.height));
  }
  for (const std::string& s : skipped) std::fprintf(stderr, "vtlens: skipped %s\n", s.c_str());

  std::vector<FreeParameter> free = lens.ResolveFree(SplitList(OptionValue(parsed, "free")));
  lens.SetFree(free);
  FitResult result = FitLens(lens, free, lens.StartValues(), data, fit);

  std::printf("lens model: %s\n", lens.ModelName().c_str());
  std::printf("points: %zu used, %zu rejected", result.used, result.rejected);
  if (!data.views.empty())
    std::printf(" (%zu photos, %zu skipped)", data.views.size(), skipped.size());
  std::printf("\nresidual: RMS %.4g px, largest %.4g px (%d iterations)\n", result.rms,
              result.largest, result.iterations);
  for (size_t k = 0; k < free.size(); ++k)
    std::printf("%s = %.10g +- %.3g\n", free[k].name.c_str(), result.values[k],
                result.deviations[k]);

  if (!plot.empty())
    WriteThroughTemporary(plot, [&](const std::string& temp) {
      WriteResidualPlot(temp, result.residuals, layer.width, layer.height);
    });
  if (!out.empty()) {
    const std::string text =
        MakePreset(session.controls, settings, lens.ModelName(), free, result.values).dump(2) +
        "\n";
    WriteFileThroughTemporary(out, text, 0666);
  }
  return 0;
}
