// Preset files: a JSON object of control (displayed name or index) to value. A value is a
// number (slider, or popup entry number), a string (popup entry, or any value in the
// command line's form), an array [X, Y] (point), or, for an animatable control, an object
// of frame number to such a value: {"1001": -0.05, "1100": -0.062}.
#pragma once

#include <string>
#include <vector>

#include "ControlValues.h"
#include "Json.h"

// Applies the preset `document` to `settings`. `source` names the file in messages.
// Throws a usage error naming the file, the control and the problem.
void ApplyPreset(ControlSettings& settings, const std::vector<Control>& controls,
                 const JsonValue& document, const std::string& source);

// Reads and applies the preset file at `path`. Throws on an unreadable file or bad JSON.
void LoadPreset(ControlSettings& settings, const std::vector<Control>& controls,
                const std::string& path);
