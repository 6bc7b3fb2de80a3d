// The command line: a subcommand, its positional arguments and its options, each option
// written "--name value" or "--name=value" (flags take no value). A command's list of
// OptionDef is both what it accepts and what its usage prints.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "ControlValues.h"

struct OptionDef {
  const char* name;  // without the leading dashes
  bool takesValue;
  const char* value = "V";  // the value's placeholder in the usage ("N", "FILE")
  const char* help = "";    // the usage's line about it
  bool repeatable = false;  // else giving it twice is refused: the first would be lost silently
};

// Thrown by ParseArguments for -h or --help (before any "--"), whatever else the command
// line holds: main prints the usage of the command from `options`.
struct HelpRequest {
  std::vector<OptionDef> options;
};

struct ParsedArguments {
  std::vector<std::string> positional;
  std::vector<std::pair<std::string, std::string>> options;  // in command-line order
};

// Parses `args` (the words after the subcommand) against the options `allowed`. Throws a
// usage error for an unknown option (suggesting the closest one), a missing value, a
// value given to a flag, or a second value of a single-valued option; throws HelpRequest
// for -h or --help. A lone "--" ends the options.
ParsedArguments ParseArguments(const std::vector<std::string>& args,
                               const std::vector<OptionDef>& allowed);

// The value of the last `name` option, or `fallback` when it was not given.
std::string OptionValue(const ParsedArguments& parsed, const std::string& name,
                        const std::string& fallback = "");

// True when the option `name` was given.
bool HasOption(const ParsedArguments& parsed, const std::string& name);

// The options through which a user sets the effect's controls, shared by render, map and
// stmap: --lens-model, --distort-mode, --filter, --set, --preset.
const std::vector<OptionDef>& EffectOptionDefs();

// Everything `render` accepts: the effect options and its own. `farm` accepts the same and
// hands them on to the render each task runs.
const std::vector<OptionDef>& RenderOptionDefs();

// Applies the effect options in `parsed` to `settings`: presets first (in order), then the
// popups and --set assignments in command-line order. Throws usage errors.
void ApplyEffectOptions(const ParsedArguments& parsed, const std::vector<Control>& controls,
                        ControlSettings& settings);

// Parses "WxH" (each 1 to 30000). Throws a usage error naming `option` otherwise.
void ParseSize(const std::string& text, const std::string& option, int& width, int& height);

// Parses a whole number in [min, max]. Throws a usage error naming `option` otherwise.
int ParseBoundedInt(const std::string& text, const std::string& option, int min, int max);

// Worker threads: --threads N, where 0 or no option means one per core (as compositing
// tools read it), never more than kMaxThreads.
constexpr int kMaxThreads = 256;
int ParseThreads(const ParsedArguments& parsed);

// The options that several commands share, with their usage lines.
extern const OptionDef kModuleOption;   // --module PATH
extern const OptionDef kThreadsOption;  // --threads N

// The layer and frame that `map` and `stmap` compute for: --layer WxH (required) and
// --frame N (default 0).
struct LayerOptions {
  int width = 0;
  int height = 0;
  long frame = 0;
};

// Reads --layer and --frame from `parsed`; `command` names the command in messages.
LayerOptions ParseLayerOptions(const ParsedArguments& parsed, const std::string& command);
