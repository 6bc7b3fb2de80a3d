// The values a user gave to the effect's controls: each either one value for the whole
// shot or keyframes (frame number to value) for the animatable controls. They are checked
// here, where a mistake can still be named to the user, and then handed to the harness's
// parameter store, which interpolates keyframes as the host does.
#pragma once

#include <string>
#include <vector>

#include "Controls.h"

struct Keyframe {
  long frame = 0;
  ControlValue value;
};

// One control's setting: one key means a constant; several keys are in increasing frame
// order, with distinct frames.
struct ControlSetting {
  int index = 0;
  std::vector<Keyframe> keys;
};

// Settings in the order they were first given; controls not named keep the effect's
// defaults.
struct ControlSettings {
  std::vector<ControlSetting> settings;
};

// Gives `control` the constant `value`, replacing whatever it had.
void SetConstant(ControlSettings& settings, const Control& control, const ControlValue& value);

// Gives `control` keyframes, replacing whatever it had. Sorts them by frame. Throws a usage
// error for a control the host cannot animate, for no keys, a key beyond +-kMaxFrame, or
// two keys on one frame.
void SetKeyframes(ControlSettings& settings, const Control& control, std::vector<Keyframe> keys);

// Applies one "NAME=VALUE" assignment (NAME a displayed name or index). Throws usage errors.
void ApplyAssignment(ControlSettings& settings, const std::vector<Control>& controls,
                     const std::string& assignment);

// The setting of the control at `index`, or null when the user left it at its default.
const ControlSetting* FindSetting(const ControlSettings& settings, int index);
