#include "ControlValues.h"

#include <algorithm>

#include "Sequence.h"
#include "ToolError.h"

namespace {

ControlSetting& SettingFor(ControlSettings& settings, int index) {
  for (ControlSetting& s : settings.settings)
    if (s.index == index) return s;
  settings.settings.push_back(ControlSetting{index, {}});
  return settings.settings.back();
}

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
    if (k.frame < -kMaxFrame || k.frame > kMaxFrame)
      throw UsageError(FrameBeyondShot("\"" + control.name + "\"", std::to_string(k.frame)));
    CheckControlValue(control, k.value);
  }
  std::stable_sort(keys.begin(), keys.end(),
                   [](const Keyframe& a, const Keyframe& b) { return a.frame < b.frame; });
  for (size_t i = 1; i < keys.size(); ++i)
    if (keys[i].frame == keys[i - 1].frame)
      throw UsageError("\"" + control.name + "\" has two keyframes on one frame");
  SettingFor(settings, control.index).keys = std::move(keys);
}

void ApplyAssignment(ControlSettings& settings, const std::vector<Control>& controls,
                     const std::string& assignment) {
  size_t eq = assignment.find('=');
  if (eq == std::string::npos) throw UsageError("--set takes NAME=VALUE, not " + Echo(assignment));
  const Control& control = FindControl(controls, assignment.substr(0, eq));
  SetConstant(settings, control, ParseControlValue(control, assignment.substr(eq + 1)));
}

const ControlSetting* FindSetting(const ControlSettings& settings, int index) {
  for (const ControlSetting& s : settings.settings)
    if (s.index == index) return &s;
  return nullptr;
}
