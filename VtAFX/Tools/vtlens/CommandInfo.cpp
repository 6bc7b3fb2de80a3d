// vtlens info: what the effect module says about itself, read back through the harness.
#include <nlohmann/json.hpp>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "Arguments.h"
#include "Commands.h"
#include "EffectSession.h"
#include "ToolError.h"

namespace {

// "1.4" from the host's packed version (major in bits 19 and up, minor in bits 15 to 18).
std::string VersionText(uint32_t packed) {
  return std::to_string((packed >> 19) & 0x1FFF) + "." + std::to_string((packed >> 15) & 0xF);
}

std::string Hex(uint32_t v) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "0x%08X", v);
  return buffer;
}

std::string PercentText(double v) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.17g", v);
  return buffer;
}

// A bound or default the host keeps in single precision, as the shortest decimal that
// gives the float back (0.1, not 0.100000001490116), so JSON readers see what users type.
double ShortestFloat(double v) { return std::strtod(FloatText(v).c_str(), nullptr); }

void PrintJson(const EffectSession& session) {
  using Json = nlohmann::ordered_json;
  const harness::PiplInfo& pipl = session.host->Pipl();
  Json doc;
  doc["pipl"] = {{"name", pipl.name},
                 {"category", pipl.category},
                 {"match_name", pipl.matchName},
                 {"version", VersionText(pipl.effectVersion)},
                 {"effect_version", pipl.effectVersion},
                 {"out_flags", pipl.outFlags},
                 {"out_flags2", pipl.outFlags2}};
  Json controls = Json::array();
  for (const Control& c : session.controls) {
    Json control = {{"index", c.index},
                    {"name", c.name},
                    {"id", c.id ? Json(IdText(c.id)) : Json(nullptr)},
                    {"kind", ControlKindName(c.kind)},
                    {"flags", c.flags},
                    {"group", c.group.empty() ? Json(nullptr) : Json(c.group)}};
    if (c.kind == ControlKind::Popup) {
      control["choices"] = c.choices;
      control["default"] = c.popupDefault;
    } else if (c.kind == ControlKind::Float) {
      control["valid_min"] = ShortestFloat(c.validMin);
      control["valid_max"] = ShortestFloat(c.validMax);
      control["slider_min"] = ShortestFloat(c.sliderMin);
      control["slider_max"] = ShortestFloat(c.sliderMax);
      control["default"] = ShortestFloat(c.floatDefault);
      control["precision"] = c.precision;
    } else if (c.kind == ControlKind::Point) {
      control["default_percent"] = {c.defaultPercentX, c.defaultPercentY};
    }
    controls.push_back(std::move(control));
  }
  doc["controls"] = std::move(controls);
  // Names come from the module: a byte that is not UTF-8 is replaced rather than fatal.
  std::puts(doc.dump(1, ' ', false, Json::error_handler_t::replace).c_str());
}

void PrintText(const EffectSession& session) {
  const harness::PiplInfo& pipl = session.host->Pipl();
  std::printf(
      "%s\n  category    %s\n  match name  %s\n  version     %s (%s)\n  out flags   %s\n"
      "  out flags2  %s\n  module      %s\n\ncontrols:\n",
      pipl.name.c_str(), pipl.category.c_str(), pipl.matchName.c_str(),
      VersionText(pipl.effectVersion).c_str(), Hex(pipl.effectVersion).c_str(),
      Hex(static_cast<uint32_t>(pipl.outFlags)).c_str(),
      Hex(static_cast<uint32_t>(pipl.outFlags2)).c_str(), session.modulePath.c_str());
  for (const Control& c : session.controls) {
    std::string detail;
    if (c.kind == ControlKind::Popup) {
      detail = "default " + std::to_string(c.popupDefault) + " of";
      for (size_t i = 0; i < c.choices.size(); ++i) detail += (i ? " | " : " ") + c.choices[i];
    } else if (c.kind == ControlKind::Float) {
      detail = FloatText(c.validMin) + " to " + FloatText(c.validMax) + ", default " +
               FloatText(c.floatDefault) + ", precision " + std::to_string(c.precision);
    } else if (c.kind == ControlKind::Point) {
      detail = "default " + PercentText(c.defaultPercentX) + " %, " +
               PercentText(c.defaultPercentY) + " % of the layer";
    }
    std::string flags = IsAnimatable(c) ? "animatable" : HasValue(c) ? "fixed" : "";
    std::printf("  %2d  %-4s  %-11s  %-31s  %-10s  %s%s\n", c.index, IdText(c.id).c_str(),
                ControlKindName(c.kind), c.name.c_str(), flags.c_str(), detail.c_str(),
                c.group.empty() || !HasValue(c) ? "" : ("  [" + c.group + "]").c_str());
  }
}

}  // namespace

int RunInfo(const std::vector<std::string>& args) {
  ParsedArguments parsed = ParseArguments(
      args, {{"json", false, "", "as one JSON document, for programs to read"}, kModuleOption});
  if (!parsed.positional.empty()) throw UsageError("info takes no file names");
  EffectSession session = OpenEffect(OptionValue(parsed, "module"));
  if (HasOption(parsed, "json"))
    PrintJson(session);
  else
    PrintText(session);
  return 0;
}
