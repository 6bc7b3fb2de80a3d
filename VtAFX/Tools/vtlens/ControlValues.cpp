#include "ControlValues.h"

#include <algorithm>
#include <cmath>

#include "ToolError.h"

namespace {

ControlSetting& SettingFor(ControlSettings& settings, int index) {
  for (ControlSetting& s : settings.settings)
    if (s.index == index) return s;
  settings.settings.push_back(ControlSetting{index, {}});
  return settings.settings.back();
}

double Lerp(double a, double b, double t) { return a + (b - a) * t; }

}  // namespace

void SetConstant(ControlSettings& settings, const Control& control, const ControlValue& value) {
  CheckControlValue(control, value);
  SettingFor(settings, control.index).keys = {Keyframe{0, value}};
}

void SetKeyframes(ControlSettings& settings, const Control& control, std::vector<Keyframe> keys) {
  if (!IsAnimatable(control))
    throw UsageError("\"" + control.name + "\" cannot be animated; give it one value");
  if (keys.empty()) throw UsageError("\"" + control.name + "\" has an empty set of keyframes");
  for (const Keyframe& k : keys) {
    if (!std::isfinite(k.frame))
      throw UsageError("\"" + control.name + "\" has a keyframe at a frame that is not a number");
    CheckControlValue(control, k.value);
  }
  std::stable_sort(keys.begin(), keys.end(),
                   [](const Keyframe& a, const Keyframe& b) { return a.frame < b.frame; });
  for (size_t i = 1; i < keys.size(); ++i)
    if (keys[i].frame == keys[i - 1].frame)
      throw UsageError("\"" + control.name + "\" has two keyframes on one frame");
  SettingFor(settings, control.index).keys = std::move(keys);
}

ControlValue ValueAtFrame(const ControlSetting& setting, double frame) {
  const std::vector<Keyframe>& keys = setting.keys;
  if (keys.empty()) return ControlValue{};
  if (!(frame > keys.front().frame)) return keys.front().value;  // also a NaN frame
  if (frame >= keys.back().frame) return keys.back().value;
  size_t i = 1;
  while (keys[i].frame < frame) ++i;  // ends: keys.back().frame > frame
  const Keyframe& a = keys[i - 1];
  const Keyframe& b = keys[i];
  if (frame == b.frame) return b.value;
  double t = (frame - a.frame) / (b.frame - a.frame);
  return ControlValue{Lerp(a.value.x, b.value.x, t), Lerp(a.value.y, b.value.y, t)};
}

void ApplyAssignment(ControlSettings& settings, const std::vector<Control>& controls,
                     const std::string& assignment) {
  size_t eq = assignment.find('=');
  if (eq == std::string::npos)
    throw UsageError("--set takes NAME=VALUE, not \"" + assignment + "\"");
  const Control& control = FindControl(controls, assignment.substr(0, eq));
  SetConstant(settings, control, ParseControlValue(control, assignment.substr(eq + 1)));
}

const ControlSetting* FindSetting(const ControlSettings& settings, int index) {
  for (const ControlSetting& s : settings.settings)
    if (s.index == index) return &s;
  return nullptr;
}
