// The effect's controls as vtlens knows them: one record per parameter index, filled from
// what the effect declared at parameter set-up (read back through the harness), so the
// tool never keeps a table of its own that could drift from the effect's.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum class ControlKind { Layer, Popup, Float, Point, GroupStart, GroupEnd, Other };

struct Control {
  int index = 0;     // position in the parameter array, 1 to 76
  std::string name;  // displayed name
  uint32_t id = 0;   // four-character code, first character most significant
  ControlKind kind = ControlKind::Other;
  int32_t flags = 0;                 // the declaration's PF_ParamFlag bits
  std::string group;                 // name of the enclosing group, empty at top level
  std::vector<std::string> choices;  // popup entries, value n is choices[n - 1]
  int popupDefault = 0;
  double validMin = 0, validMax = 0, sliderMin = 0, sliderMax = 0;  // floats, as declared
  double floatDefault = 0;
  int precision = 0;
  double defaultPercentX = 0, defaultPercentY = 0;  // points, percent of the layer
};

// A control's value: a popup's 1-based entry or a slider's value in x; a point's layer
// pixel position in x and y.
struct ControlValue {
  double x = 0;
  double y = 0;
};

// True for the kinds a user can give a value to (popup, float, point).
bool HasValue(const Control& control);

// True when the host may vary the control over time (no PF_ParamFlag_CANNOT_TIME_VARY).
bool IsAnimatable(const Control& control);

// Lower-case name of a kind as printed by `info` ("popup", "float", "point",
// "group_start", "group_end").
const char* ControlKindName(ControlKind kind);

// The four characters of an id ("modl"); a zero id gives "".
std::string IdText(uint32_t id);

// Finds the control a user means by `key`: its parameter index (1 to 76) or its displayed
// name, compared case-insensitively. Throws a usage error naming the closest control when
// nothing matches, or when the key names a group, which holds no value.
const Control& FindControl(const std::vector<Control>& controls, const std::string& key);

// The number of single-character insertions, deletions and substitutions that turn `a`
// into `b`: how near a mistyped name is to a real one.
size_t EditDistance(const std::string& a, const std::string& b);

// The value-carrying control whose name is closest to `key` (edit distance, ignoring case);
// null only when there is none.
const Control* ClosestControl(const std::vector<Control>& controls, const std::string& key);

// Reads `text` as a value of `control`: a popup entry (its text, ignoring case, or its
// 1-based number), a number for a slider, "X,Y" for a point. Throws a usage error naming
// the control and the problem: wrong type, or outside the control's valid range.
ControlValue ParseControlValue(const Control& control, const std::string& text);

// Checks a number-typed value against `control`'s valid range and type (popup numbers
// must be whole and within the entries). Throws a usage error naming the range.
void CheckControlValue(const Control& control, const ControlValue& value);

// Parses a whole decimal number into `out`; false unless all of `text` is one finite
// number (leading and trailing blanks allowed).
bool ParseNumber(const std::string& text, double& out);

// A float the host keeps in single precision (bounds, defaults), in the fewest decimal
// digits that give that float back, without an exponent ("0.1", "20000").
std::string FloatText(double value);
