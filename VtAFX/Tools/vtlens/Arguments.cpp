#include "Arguments.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <thread>

#include "Preset.h"
#include "Sequence.h"
#include "ToolError.h"

namespace {

std::string UnknownOption(const std::string& word, const std::vector<OptionDef>& allowed) {
  std::string name = word.compare(0, 2, "--") == 0 ? word.substr(2) : word.substr(1);
  std::string message = "unknown option " + Echo(word);
  const OptionDef* best = nullptr;
  size_t bestDistance = 0;
  for (const OptionDef& s : allowed) {
    size_t d = EditDistance(name, s.name);
    if (!best || d < bestDistance) {
      best = &s;
      bestDistance = d;
    }
  }
  bool isLong = word.compare(0, 2, "--") == 0;  // a lone letter is too short to guess from
  if (isLong && best && bestDistance <= std::max<size_t>(2, name.size() / 3))
    message += "; did you mean --" + std::string(best->name) + "?";
  return message;
}

// A word that reads as an option rather than a file name ("-t"); "-" alone and negative
// numbers stay positional.
bool LooksLikeShortOption(const std::string& word) {
  return word.size() >= 2 && word[0] == '-' && std::isalpha(static_cast<unsigned char>(word[1]));
}

}  // namespace

ParsedArguments ParseArguments(const std::vector<std::string>& args,
                               const std::vector<OptionDef>& allowed) {
  ParsedArguments parsed;
  bool optionsEnded = false;
  bool help = false;
  // The first mistake, held back so that --help anywhere still gets the usage.
  std::string mistake;
  auto note = [&](const std::string& message) {
    if (mistake.empty()) mistake = message;
  };
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& word = args[i];
    if (!optionsEnded && word == "--") {
      optionsEnded = true;
      continue;
    }
    if (!optionsEnded && (word == "-h" || word == "--help")) {
      help = true;
      continue;
    }
    bool isLong = word.size() >= 3 && word.compare(0, 2, "--") == 0;
    if (optionsEnded || (!isLong && !LooksLikeShortOption(word))) {
      parsed.positional.push_back(word);
      continue;
    }
    std::string name = isLong ? word.substr(2) : word;
    std::string value;
    bool inlineValue = false;
    size_t eq = name.find('=');
    if (isLong && eq != std::string::npos) {
      value = name.substr(eq + 1);
      name = name.substr(0, eq);
      inlineValue = true;
    }
    const OptionDef* def = nullptr;
    for (const OptionDef& s : allowed)
      if (isLong && name == s.name) def = &s;
    if (!def) {
      note(UnknownOption(isLong ? "--" + name : word, allowed));
      continue;
    }
    if (!def->takesValue) {
      if (inlineValue) note("--" + name + " takes no value");
    } else if (!inlineValue) {
      if (i + 1 >= args.size()) {
        note("--" + name + " needs a value");
        continue;
      }
      value = args[++i];
    }
    if (def->takesValue && !def->repeatable && HasOption(parsed, name))
      note("--" + name + " is given twice; give it once");
    parsed.options.emplace_back(name, value);
  }
  if (help) throw HelpRequest{allowed};
  if (!mistake.empty()) throw UsageError(mistake);
  return parsed;
}

std::string OptionValue(const ParsedArguments& parsed, const std::string& name,
                        const std::string& fallback) {
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

const OptionDef kModuleOption = {
    "module", true, "PATH",
    "the effect module (else VTLENS_MODULE, else next to vtlens, else the one this build made)"};
const OptionDef kThreadsOption = {"threads", true, "N",
                                  "worker threads; 0 (the default) is one per core"};

const std::vector<OptionDef>& EffectOptionDefs() {
  static const std::vector<OptionDef> accepted = {
      {"lens-model", true, "V", "\"Lens Model\": popup entry text or 1-based number"},
      {"distort-mode", true, "V", "\"Distort Mode\": popup entry text or 1-based number"},
      {"filter", true, "V", "\"Filter Type\": popup entry text or 1-based number"},
      {"set", true, "NAME=VALUE",
       "any control by displayed name or index 1 to 76; a point is X,Y in layer pixels; applied in "
       "order",
       true},
      {"preset", true, "FILE",
       "JSON object of control to value, applied before --set; an animatable control may take "
       "keyframes "
       "{\"1001\": -0.05, ...}",
       true}};
  return accepted;
}

const std::vector<OptionDef>& RenderOptionDefs() {
  static const std::vector<OptionDef> accepted = [] {
    std::vector<OptionDef> all = EffectOptionDefs();
    all.insert(all.end(),
               {{"frames", true, "LIST",
                 "the frames of a sequence: 1001-1100, 1001-1100x5 (every fifth), 1,5,10-20"},
                kThreadsOption,
                {"depth", true, "8|16|32", "the world's depth (default: the input's)"},
                {"raw-channels", false, "",
                 "four data channels passed through untouched, no alpha handling"},
                {"skip-existing", false, "", "leave frames whose output file exists as they are"},
                kModuleOption});
    return all;
  }();
  return accepted;
}

void ApplyEffectOptions(const ParsedArguments& parsed, const std::vector<Control>& controls,
                        ControlSettings& settings) {
  for (const auto& o : parsed.options)
    if (o.first == "preset") LoadPreset(settings, controls, o.second);
  for (const auto& o : parsed.options) {
    if (o.first == "set")
      ApplyAssignment(settings, controls, o.second);
    else if (o.first == "lens-model")
      ApplyAssignment(settings, controls, "Lens Model=" + o.second);
    else if (o.first == "distort-mode")
      ApplyAssignment(settings, controls, "Distort Mode=" + o.second);
    else if (o.first == "filter")
      ApplyAssignment(settings, controls, "Filter Type=" + o.second);
  }
}

int ParseBoundedInt(const std::string& text, const std::string& option, int min, int max) {
  bool digits = !text.empty() && text.size() <= 9 &&
                std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
  long v = digits ? std::strtol(text.c_str(), nullptr, 10) : -1;
  if (!digits || v < min || v > max)
    throw UsageError(option + " takes a whole number from " + std::to_string(min) + " to " +
                     std::to_string(max) + ", not " + Echo(text));
  return static_cast<int>(v);
}

int ParseThreads(const ParsedArguments& parsed) {
  int threads = HasOption(parsed, "threads")
                    ? ParseBoundedInt(OptionValue(parsed, "threads"), "--threads", 0, kMaxThreads)
                    : 0;
  if (threads == 0)
    threads = static_cast<int>(
        std::min<unsigned>(std::max(1u, std::thread::hardware_concurrency()), kMaxThreads));
  return threads;
}

void ParseSize(const std::string& text, const std::string& option, int& width, int& height) {
  size_t x = text.find_first_of("xX");
  if (x == std::string::npos) throw UsageError(option + " takes WxH, not " + Echo(text));
  width = ParseBoundedInt(text.substr(0, x), option + " width", 1, 30000);
  height = ParseBoundedInt(text.substr(x + 1), option + " height", 1, 30000);
}

LayerOptions ParseLayerOptions(const ParsedArguments& parsed, const std::string& command) {
  if (!HasOption(parsed, "layer"))
    throw UsageError(command + " needs --layer WxH, the size of the layer");
  LayerOptions layer;
  ParseSize(OptionValue(parsed, "layer"), "--layer", layer.width, layer.height);
  if (HasOption(parsed, "frame"))
    layer.frame = ParseFrameNumber(OptionValue(parsed, "frame"), "--frame");
  return layer;
}
