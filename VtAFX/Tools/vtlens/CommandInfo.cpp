// vtlens info: what the effect module says about itself, read back through the harness.
#include <cstdio>
#include <string>

#include "Arguments.h"
#include "Commands.h"
#include "EffectSession.h"
#include "Json.h"
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

std::string ChoicesJson(const Control& c) {
  std::string out = "[";
  for (size_t i = 0; i < c.choices.size(); ++i) out += (i ? ", " : "") + JsonQuote(c.choices[i]);
  return out + "]";
}

std::string PercentText(double v) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.17g", v);
  return buffer;
}

void PrintJson(const EffectSession& session) {
  const harness::PiplInfo& pipl = session.host->Pipl();
  std::printf("{\"pipl\": {\"name\": %s, \"category\": %s, \"match_name\": %s, \"version\": %s, "
              "\"effect_version\": %u, \"out_flags\": %d, \"out_flags2\": %d},\n \"controls\": [",
              JsonQuote(pipl.name).c_str(), JsonQuote(pipl.category).c_str(), JsonQuote(pipl.matchName).c_str(),
              JsonQuote(VersionText(pipl.effectVersion)).c_str(), pipl.effectVersion, pipl.outFlags, pipl.outFlags2);
  bool first = true;
  for (const Control& c : session.controls) {
    std::string line = std::string(first ? "\n  " : ",\n  ") + "{\"index\": " + std::to_string(c.index) +
                       ", \"name\": " + JsonQuote(c.name) + ", \"id\": " +
                       (c.id ? JsonQuote(IdText(c.id)) : "null") + ", \"kind\": " +
                       JsonQuote(ControlKindName(c.kind)) + ", \"flags\": " + std::to_string(c.flags) +
                       ", \"group\": " + (c.group.empty() ? "null" : JsonQuote(c.group));
    if (c.kind == ControlKind::Popup) {
      line += ", \"choices\": " + ChoicesJson(c) + ", \"default\": " + std::to_string(c.popupDefault);
    } else if (c.kind == ControlKind::Float) {
      line += ", \"valid_min\": " + FloatText(c.validMin) + ", \"valid_max\": " + FloatText(c.validMax) +
              ", \"slider_min\": " + FloatText(c.sliderMin) + ", \"slider_max\": " + FloatText(c.sliderMax) +
              ", \"default\": " + FloatText(c.floatDefault) + ", \"precision\": " + std::to_string(c.precision);
    } else if (c.kind == ControlKind::Point) {
      line += ", \"default_percent\": [" + PercentText(c.defaultPercentX) + ", " + PercentText(c.defaultPercentY) + "]";
    }
    std::fputs((line + "}").c_str(), stdout);
    first = false;
  }
  std::puts("\n ]}");
}

void PrintText(const EffectSession& session) {
  const harness::PiplInfo& pipl = session.host->Pipl();
  std::printf("%s\n  category    %s\n  match name  %s\n  version     %s (%s)\n  out flags   %s\n"
              "  out flags2  %s\n  module      %s\n\ncontrols:\n",
              pipl.name.c_str(), pipl.category.c_str(), pipl.matchName.c_str(), VersionText(pipl.effectVersion).c_str(),
              Hex(pipl.effectVersion).c_str(), Hex(static_cast<uint32_t>(pipl.outFlags)).c_str(),
              Hex(static_cast<uint32_t>(pipl.outFlags2)).c_str(), session.modulePath.c_str());
  for (const Control& c : session.controls) {
    std::string detail;
    if (c.kind == ControlKind::Popup) {
      detail = "default " + std::to_string(c.popupDefault) + " of";
      for (size_t i = 0; i < c.choices.size(); ++i) detail += (i ? " | " : " ") + c.choices[i];
    } else if (c.kind == ControlKind::Float) {
      detail = FloatText(c.validMin) + " to " + FloatText(c.validMax) + ", default " + FloatText(c.floatDefault) +
               ", precision " + std::to_string(c.precision);
    } else if (c.kind == ControlKind::Point) {
      detail = "default " + PercentText(c.defaultPercentX) + " %, " + PercentText(c.defaultPercentY) + " % of the layer";
    }
    std::string flags = IsAnimatable(c) ? "animatable" : HasValue(c) ? "fixed" : "";
    std::printf("  %2d  %-4s  %-11s  %-31s  %-10s  %s%s\n", c.index, IdText(c.id).c_str(), ControlKindName(c.kind),
                c.name.c_str(), flags.c_str(), detail.c_str(),
                c.group.empty() || !HasValue(c) ? "" : ("  [" + c.group + "]").c_str());
  }
}

}  // namespace

int RunInfo(const std::vector<std::string>& args) {
  ParsedArguments parsed = ParseArguments(args, {{"json", false}, {"module", true}});
  if (!parsed.positional.empty()) throw UsageError("info takes no file names");
  EffectSession session = OpenEffect(OptionValue(parsed, "module"));
  if (HasOption(parsed, "json")) PrintJson(session);
  else PrintText(session);
  return 0;
}
