#include "Controls.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "ToolError.h"

namespace {

constexpr int32_t kCannotTimeVary = 2;  // PF_ParamFlag_CANNOT_TIME_VARY

std::string Lower(const std::string& s) {
  std::string out = s;
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

std::string Trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t");
  if (b == std::string::npos) return "";
  size_t e = s.find_last_not_of(" \t");
  return s.substr(b, e - b + 1);
}

std::string Quoted(const Control& control) { return "\"" + control.name + "\""; }

std::string Number(double v) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.9g", v);
  return buffer;
}

std::string ChoiceList(const Control& control) {
  std::string list;
  for (size_t i = 0; i < control.choices.size(); ++i) {
    if (i) list += ", ";
    list += std::to_string(i + 1) + " \"" + control.choices[i] + "\"";
  }
  return list;
}

}  // namespace

size_t EditDistance(const std::string& a, const std::string& b) {
  std::vector<size_t> row(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    size_t diagonal = row[0];
    row[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      size_t above = row[j];
      size_t substitute = diagonal + (a[i - 1] == b[j - 1] ? 0 : 1);
      row[j] = std::min({above + 1, row[j - 1] + 1, substitute});
      diagonal = above;
    }
  }
  return row[b.size()];
}

bool HasValue(const Control& control) {
  return control.kind == ControlKind::Popup || control.kind == ControlKind::Float ||
         control.kind == ControlKind::Point;
}

bool IsAnimatable(const Control& control) {
  return HasValue(control) && (control.flags & kCannotTimeVary) == 0;
}

const char* ControlKindName(ControlKind kind) {
  switch (kind) {
    case ControlKind::Layer: return "layer";
    case ControlKind::Popup: return "popup";
    case ControlKind::Float: return "float";
    case ControlKind::Point: return "point";
    case ControlKind::GroupStart: return "group_start";
    case ControlKind::GroupEnd: return "group_end";
    case ControlKind::Other: break;
  }
  return "other";
}

std::string IdText(uint32_t id) {
  if (id == 0) return "";
  std::string text;
  for (int shift = 24; shift >= 0; shift -= 8) text += static_cast<char>((id >> shift) & 0xFF);
  return text;
}

bool ParseNumber(const std::string& text, double& out) {
  std::string t = Trim(text);
  if (t.empty()) return false;
  const char* begin = t.c_str();
  char* end = nullptr;
  double v = std::strtod(begin, &end);
  if (end != begin + t.size() || !std::isfinite(v)) return false;
  out = v;
  return true;
}

const Control* ClosestControl(const std::vector<Control>& controls, const std::string& key) {
  const Control* best = nullptr;
  size_t bestDistance = 0;
  std::string wanted = Lower(Trim(key));
  for (const Control& c : controls) {
    if (!HasValue(c)) continue;
    size_t d = EditDistance(wanted, Lower(c.name));
    if (!best || d < bestDistance) {
      best = &c;
      bestDistance = d;
    }
  }
  return best;
}

const Control& FindControl(const std::vector<Control>& controls, const std::string& key) {
  std::string wanted = Lower(Trim(key));
  double number = 0;
  if (ParseNumber(wanted, number)) {
    for (const Control& c : controls) {
      if (static_cast<double>(c.index) == number && HasValue(c)) return c;
      if (static_cast<double>(c.index) == number)
        throw UsageError("control " + Echo(Trim(key)) + " is the group \"" + c.name +
                         "\", which has no value");
    }
    throw UsageError("no control has the index " + Echo(Trim(key)) + "; indices run from 1 to " +
                     std::to_string(controls.empty() ? 0 : controls.back().index));
  }
  for (const Control& c : controls) {
    if (Lower(c.name) != wanted) continue;
    if (HasValue(c)) return c;
    throw UsageError("\"" + c.name + "\" is a group, which has no value");
  }
  std::string message = "unknown control " + Echo(Trim(key));
  if (const Control* close = ClosestControl(controls, key))
    message += "; did you mean \"" + close->name + "\"?";
  throw UsageError(message);
}

void CheckControlValue(const Control& control, const ControlValue& value) {
  switch (control.kind) {
    case ControlKind::Popup: {
      double n = value.x;
      if (n != std::floor(n) || n < 1 || n > static_cast<double>(control.choices.size()))
        throw UsageError(Quoted(control) + " has no entry " + Number(n) + "; its entries are " +
                         ChoiceList(control));
      return;
    }
    case ControlKind::Float: {
      // The host keeps slider bounds in single precision: compare the value as the host
      // would see it, so that typing a bound itself (0.1) is never refused.
      float v = static_cast<float>(value.x);
      if (!std::isfinite(value.x) || v < static_cast<float>(control.validMin) ||
          v > static_cast<float>(control.validMax))
        throw UsageError(Quoted(control) + " must be between " + FloatText(control.validMin) +
                         " and " + FloatText(control.validMax) + ", not " + Number(value.x));
      return;
    }
    case ControlKind::Point:
      // The host holds points in 16.16 fixed point.
      if (!(std::fabs(value.x) < 32768.0) || !(std::fabs(value.y) < 32768.0))
        throw UsageError(Quoted(control) + " takes coordinates between -32768 and 32768, not " +
                         Number(value.x) + "," + Number(value.y));
      return;
    default: throw UsageError(Quoted(control) + " has no value");
  }
}

ControlValue ParseControlValue(const Control& control, const std::string& text) {
  ControlValue value;
  std::string t = Trim(text);
  switch (control.kind) {
    case ControlKind::Popup: {
      for (size_t i = 0; i < control.choices.size(); ++i) {
        if (Lower(control.choices[i]) == Lower(t)) {
          value.x = static_cast<double>(i + 1);
          return value;
        }
      }
      if (!ParseNumber(t, value.x))
        throw UsageError(Quoted(control) + " has no entry " + Echo(t) + "; its entries are " +
                         ChoiceList(control));
      break;
    }
    case ControlKind::Float:
      if (!ParseNumber(t, value.x))
        throw UsageError(Quoted(control) + " takes a number, not " + Echo(t));
      break;
    case ControlKind::Point: {
      size_t comma = t.find(',');
      if (comma == std::string::npos || !ParseNumber(t.substr(0, comma), value.x) ||
          !ParseNumber(t.substr(comma + 1), value.y))
        throw UsageError(Quoted(control) + " takes a point X,Y in layer pixels, not " + Echo(t));
      break;
    }
    default: throw UsageError(Quoted(control) + " has no value");
  }
  CheckControlValue(control, value);
  return value;
}

std::string FloatText(double value) {
  float f = static_cast<float>(value);
  char buffer[64];
  for (int digits = 1; digits <= 9; ++digits) {
    std::snprintf(buffer, sizeof buffer, "%.*g", digits, static_cast<double>(f));
    if (std::strtof(buffer, nullptr) == f && std::string(buffer).find('e') == std::string::npos)
      break;
  }
  return buffer;
}
