// Preset files: a JSON object of control (displayed name or index) to value. A value is a
// number (slider, or popup entry number), a string (popup entry, or any value in the
// command line's form), an array [X, Y] (point), or, for an animatable control, an object
// of frame number to such a value: {"1001": -0.05, "1100": -0.062}.
#pragma once

#include <nlohmann/json_fwd.hpp>

#include <string>
#include <vector>

#include "ControlValues.h"

// Parses the preset text `text` (a UTF-8 byte-order mark, as Windows editors write, is
// skipped). `source` names it in messages. Throws a usage error "SOURCE: not valid JSON:
// line L, column C: ..." for bad JSON, a key given twice in one object (a preset naming a
// control twice is a mistake, whichever value was meant), or nesting deeper than 64 levels.
nlohmann::ordered_json ParsePreset(const std::string& text, const std::string& source);

// Applies the preset `document` to `settings`. `source` names the file in messages.
// Throws a usage error naming the file, the control and the problem.
void ApplyPreset(ControlSettings& settings, const std::vector<Control>& controls,
                 const nlohmann::ordered_json& document, const std::string& source);

// Reads and applies the preset file at `path`. Throws on an unreadable file or bad JSON.
void LoadPreset(ControlSettings& settings, const std::vector<Control>& controls,
                const std::string& path);
