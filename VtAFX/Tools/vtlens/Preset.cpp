#include "Preset.h"

#include <cmath>
#include <fstream>
#include <sstream>

#include "ToolError.h"

namespace {

ControlValue PresetValue(const Control& control, const JsonValue& v, const std::string& where) {
  ControlValue value;
  switch (v.type) {
    case JsonValue::Type::Number:
      if (control.kind == ControlKind::Point)
        throw UsageError(where + ": \"" + control.name + "\" takes a point [X, Y], not a number");
      value.x = v.number;
      CheckControlValue(control, value);
      return value;
    case JsonValue::Type::String:
      return ParseControlValue(control, v.text);
    case JsonValue::Type::Array:
      if (control.kind != ControlKind::Point || v.items.size() != 2 ||
          v.items[0].type != JsonValue::Type::Number || v.items[1].type != JsonValue::Type::Number)
        throw UsageError(where + ": \"" + control.name + "\" does not take " +
                         (control.kind == ControlKind::Point ? "this array; give [X, Y]"
                                                             : "an array"));
      value.x = v.items[0].number;
      value.y = v.items[1].number;
      CheckControlValue(control, value);
      return value;
    default:
      throw UsageError(where + ": \"" + control.name + "\" does not take a " +
                       JsonTypeName(v.type));
  }
}

}  // namespace

void ApplyPreset(ControlSettings& settings, const std::vector<Control>& controls,
                 const JsonValue& document, const std::string& source) {
  if (document.type != JsonValue::Type::Object)
    throw UsageError(source + ": a preset is a JSON object of control name to value, not a " +
                     JsonTypeName(document.type));
  for (const auto& member : document.members) {
    const Control* control = nullptr;
    try {
      control = &FindControl(controls, member.first);
    } catch (const ToolError& e) {
      throw UsageError(source + ": " + e.what());
    }
    std::string where = source;
    try {
      if (member.second.type != JsonValue::Type::Object) {
        SetConstant(settings, *control, PresetValue(*control, member.second, where));
        continue;
      }
      std::vector<Keyframe> keys;
      for (const auto& key : member.second.members) {
        Keyframe k;
        double frame = 0;
        if (!ParseNumber(key.first, frame) || frame != std::floor(frame) ||
            std::fabs(frame) > static_cast<double>(kMaxKeyframeFrame))
          throw UsageError(where + ": \"" + control->name + "\" has the keyframe \"" + key.first +
                           "\", which is not a whole frame number");
        k.frame = static_cast<long>(frame);
        k.value = PresetValue(*control, key.second, where);
        keys.push_back(k);
      }
      SetKeyframes(settings, *control, std::move(keys));
    } catch (const ToolError& e) {
      std::string text = e.what();
      if (text.compare(0, where.size(), where) == 0) throw;
      throw UsageError(where + ": " + text);
    }
  }
}

void LoadPreset(ControlSettings& settings, const std::vector<Control>& controls,
                const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw ToolError("cannot read the preset \"" + path + "\"");
  std::ostringstream text;
  text << in.rdbuf();
  if (in.bad()) throw ToolError("cannot read the preset \"" + path + "\"");
  JsonValue document;
  std::string error;
  if (!ParseJson(text.str(), document, error))
    throw UsageError(path + ": not valid JSON: " + error);
  ApplyPreset(settings, controls, document, path);
}
