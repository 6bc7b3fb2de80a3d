#include "Arguments.h"

#include <algorithm>
#include <cstdlib>

#include "Preset.h"
#include "ToolError.h"

ParsedArguments ParseArguments(const std::vector<std::string>& args, const std::vector<OptionDef>& allowed) {
  ParsedArguments parsed;
  bool optionsEnded = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& word = args[i];
    if (optionsEnded || word.size() < 3 || word.compare(0, 2, "--") != 0) {
      if (word == "--") {
        optionsEnded = true;
        continue;
      }
      parsed.positional.push_back(word);
      continue;
    }
    std::string name = word.substr(2);
    std::string value;
    bool inlineValue = false;
    size_t eq = name.find('=');
    if (eq != std::string::npos) {
      value = name.substr(eq + 1);
      name = name.substr(0, eq);
      inlineValue = true;
    }
    const OptionDef* def = nullptr;
    for (const OptionDef& s : allowed)
      if (name == s.name) def = &s;
    if (!def) {
      std::string message = "unknown option --" + name;
      const OptionDef* best = nullptr;
      size_t bestDistance = 0;
      for (const OptionDef& s : allowed) {
        size_t d = EditDistance(name, s.name);
        if (!best || d < bestDistance) {
          best = &s;
          bestDistance = d;
        }
      }
      if (best && bestDistance <= std::max<size_t>(2, name.size() / 3))
        message += "; did you mean --" + std::string(best->name) + "?";
      throw UsageError(message);
    }
    if (!def->takesValue) {
      if (inlineValue) throw UsageError("--" + name + " takes no value");
    } else if (!inlineValue) {
      if (i + 1 >= args.size()) throw UsageError("--" + name + " needs a value");
      value = args[++i];
    }
    parsed.options.emplace_back(name, value);
  }
  return parsed;
}

std::string OptionValue(const ParsedArguments& parsed, const std::string& name, const std::string& fallback) {
  std::string value = fallback;
  for (const auto& o : parsed.options)
    if (o.first == name) value = o.second;
  return value;
}

bool HasOption(const ParsedArguments& parsed, const std::string& name) {
  for (const auto& o : parsed.options)
    if (o.first == name) return true;
  return false;
}

const std::vector<OptionDef>& EffectOptionDefs() {
  static const std::vector<OptionDef> accepted = {
      {"lens-model", true}, {"distort-mode", true}, {"filter", true}, {"set", true}, {"preset", true}};
  return accepted;
}

const std::vector<OptionDef>& RenderOptionDefs() {
  static const std::vector<OptionDef> accepted = [] {
    std::vector<OptionDef> all = EffectOptionDefs();
    all.insert(all.end(), {{"frames", true}, {"threads", true}, {"depth", true}, {"raw-channels", false},
                           {"skip-existing", false}, {"module", true}});
    return all;
  }();
  return accepted;
}

void ApplyEffectOptions(const ParsedArguments& parsed, const std::vector<Control>& controls,
                        ControlSettings& settings) {
  for (const auto& o : parsed.options)
    if (o.first == "preset") LoadPreset(settings, controls, o.second);
  for (const auto& o : parsed.options) {
    if (o.first == "set") ApplyAssignment(settings, controls, o.second);
    else if (o.first == "lens-model") ApplyAssignment(settings, controls, "Lens Model=" + o.second);
    else if (o.first == "distort-mode") ApplyAssignment(settings, controls, "Distort Mode=" + o.second);
    else if (o.first == "filter") ApplyAssignment(settings, controls, "Filter Type=" + o.second);
  }
}

int ParseBoundedInt(const std::string& text, const std::string& option, int min, int max) {
  bool digits = !text.empty() && text.size() <= 9 &&
                std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
  long v = digits ? std::strtol(text.c_str(), nullptr, 10) : -1;
  if (!digits || v < min || v > max)
    throw UsageError(option + " takes a whole number from " + std::to_string(min) + " to " +
                     std::to_string(max) + ", not \"" + text + "\"");
  return static_cast<int>(v);
}

void ParseSize(const std::string& text, const std::string& option, int& width, int& height) {
  size_t x = text.find_first_of("xX");
  if (x == std::string::npos) throw UsageError(option + " takes WxH, not \"" + text + "\"");
  width = ParseBoundedInt(text.substr(0, x), option + " width", 1, 30000);
  height = ParseBoundedInt(text.substr(x + 1), option + " height", 1, 30000);
}

LayerOptions ParseLayerOptions(const ParsedArguments& parsed, const std::string& command) {
  if (!HasOption(parsed, "layer")) throw UsageError(command + " needs --layer WxH, the size of the layer");
  LayerOptions layer;
  ParseSize(OptionValue(parsed, "layer"), "--layer", layer.width, layer.height);
  if (HasOption(parsed, "frame"))
    layer.frame = ParseBoundedInt(OptionValue(parsed, "frame"), "--frame", 0, static_cast<int>(kMaxKeyframeFrame));
  return layer;
}
