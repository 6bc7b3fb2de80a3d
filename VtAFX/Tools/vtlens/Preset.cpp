#include "Preset.h"

#include <nlohmann/json.hpp>

#include <fstream>
#include <set>
#include <sstream>

#include "Sequence.h"
#include "ToolError.h"

namespace {

using Json = nlohmann::ordered_json;

// Deep enough for any preset, shallow enough that hostile input stays cheap.
constexpr int kMaxNesting = 64;

// A problem the library does not look for, found at a byte offset of the text.
struct JsonProblem {
  size_t offset;
  std::string what;
};

std::string Place(const std::string& text, size_t offset) {
  size_t line = 1, column = 1;
  for (size_t i = 0; i < offset && i < text.size(); ++i) {
    if (text[i] == '\n') {
      ++line;
      column = 1;
    } else {
      ++column;
    }
  }
  return "line " + std::to_string(line) + ", column " + std::to_string(column);
}

// The offset of the opening quote of the key whose closing quote is at `closing`: the
// nearest quote before it that no backslash escapes.
size_t KeyStart(const std::string& text, size_t closing) {
  for (size_t i = std::min(closing, text.size()); i-- > 0;) {
    if (text[i] != '"') continue;
    size_t slashes = 0;
    while (slashes < i && text[i - 1 - slashes] == '\\') ++slashes;
    if (slashes % 2 == 0) return i;
  }
  return 0;
}

// The library's message without its own prefix, the input it quotes made safe to print.
std::string LibraryMessage(const std::string& what) {
  std::string m = what;
  size_t at = m.find("parse error at ");
  if (at != std::string::npos) {
    m = m.substr(at + 15);
  } else if (m.compare(0, 1, "[") == 0 && m.find("] ") != std::string::npos) {
    m = m.substr(m.find("] ") + 2);
  }
  const std::string lastRead = "last read: '";
  size_t read = m.find(lastRead);
  size_t close = m.rfind('\'');
  if (read != std::string::npos && close > read + lastRead.size() - 1) {
    size_t from = read + lastRead.size();
    m = m.substr(0, read) + "last read: " + Echo(m.substr(from, close - from)) +
        m.substr(close + 1);
  }
  return m;
}

std::string AType(const Json& v) {
  return (v.is_array() || v.is_object() ? "an " : "a ") + std::string(v.type_name());
}

ControlValue PresetValue(const Control& control, const Json& v, const std::string& where) {
  ControlValue value;
  if (v.is_number()) {
    if (control.kind == ControlKind::Point)
      throw UsageError(where + ": \"" + control.name + "\" takes a point [X, Y], not a number");
    value.x = v.get<double>();
    CheckControlValue(control, value);
    return value;
  }
  if (v.is_string()) return ParseControlValue(control, v.get_ref<const std::string&>());
  if (v.is_array()) {
    if (control.kind != ControlKind::Point || v.size() != 2 || !v[0].is_number() ||
        !v[1].is_number())
      throw UsageError(
          where + ": \"" + control.name + "\" does not take " +
          (control.kind == ControlKind::Point ? "this array; give [X, Y]" : "an array"));
    value.x = v[0].get<double>();
    value.y = v[1].get<double>();
    CheckControlValue(control, value);
    return value;
  }
  throw UsageError(where + ": \"" + control.name + "\" does not take " + AType(v));
}

}  // namespace

nlohmann::ordered_json ParsePreset(const std::string& text, const std::string& source) {
  // Positions count from after a byte-order mark, as the editor that wrote it shows them.
  const std::string body = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? text.substr(3) : text;
  std::istringstream in(body);
  // The library reads through the stream's buffer, so its position is how far it got.
  auto offset = [&] {
    return static_cast<size_t>(in.rdbuf()->pubseekoff(0, std::ios::cur, std::ios::in));
  };
  std::vector<std::set<std::string>> keys;  // the keys seen so far in each open object
  auto check = [&](int depth, Json::parse_event_t event, Json& parsed) {
    switch (event) {
      case Json::parse_event_t::object_start:
      case Json::parse_event_t::array_start:
        if (depth >= kMaxNesting) throw JsonProblem{offset() - 1, "nested too deeply"};
        if (event == Json::parse_event_t::object_start) keys.emplace_back();
        break;
      case Json::parse_event_t::object_end: keys.pop_back(); break;
      case Json::parse_event_t::key:
        if (!keys.back().insert(parsed.get<std::string>()).second)
          throw JsonProblem{KeyStart(body, offset() - 1),
                            "duplicate key " + Echo(parsed.get<std::string>())};
        break;
      default: break;
    }
    return true;
  };
  const std::string prefix = source + ": not valid JSON: ";
  try {
    return Json::parse(in, check);
  } catch (const JsonProblem& p) {
    throw UsageError(prefix + Place(body, p.offset) + ": " + p.what);
  } catch (const Json::parse_error& e) {
    throw UsageError(prefix + LibraryMessage(e.what()));
  } catch (const Json::exception& e) {
    // A number beyond a double: the library names no place but quotes the number, which
    // ends at most a character before where the stream got to.
    std::string what = e.what();
    size_t quote = what.find(" '");
    std::string token =
        quote == std::string::npos ? "" : what.substr(quote + 2, what.rfind('\'') - quote - 2);
    size_t at = token.empty() ? std::string::npos : body.rfind(token, offset());
    throw UsageError(prefix + Place(body, at == std::string::npos ? offset() : at) + ": " +
                     LibraryMessage(what));
  }
}

void ApplyPreset(ControlSettings& settings, const std::vector<Control>& controls,
                 const nlohmann::ordered_json& document, const std::string& source) {
  if (!document.is_object())
    throw UsageError(source + ": a preset is a JSON object of control name to value, not " +
                     AType(document));
  std::vector<std::pair<int, std::string>> named;  // control index, key: one key per control
  for (const auto& member : document.items()) {
    const Control* control = nullptr;
    try {
      control = &FindControl(controls, member.key());
    } catch (const ToolError& e) {
      throw UsageError(source + ": " + e.what());
    }
    for (const auto& earlier : named)
      if (earlier.first == control->index)
        throw UsageError(source + ": " + Echo(earlier.second) + " and " + Echo(member.key()) +
                         " both name \"" + control->name + "\"");
    named.emplace_back(control->index, member.key());
    const std::string& where = source;
    try {
      if (!member.value().is_object()) {
        SetConstant(settings, *control, PresetValue(*control, member.value(), where));
        continue;
      }
      std::vector<Keyframe> keys;
      for (const auto& key : member.value().items()) {
        Keyframe k;
        k.frame = ParseFrameNumber(key.key(), "\"" + control->name + "\" keyframe");
        k.value = PresetValue(*control, key.value(), where);
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
  ApplyPreset(settings, controls, ParsePreset(text.str(), path), path);
}
