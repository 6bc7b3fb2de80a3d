// A small JSON reader for preset files: the whole grammar of RFC 8259 (objects, arrays,
// strings with escapes, numbers, true, false, null), nothing written back.
#pragma once

#include <string>
#include <utility>
#include <vector>

struct JsonValue {
  enum class Type { Null, Bool, Number, String, Array, Object };
  Type type = Type::Null;
  bool boolean = false;
  double number = 0.0;
  std::string text;                                      // String
  std::vector<JsonValue> items;                          // Array
  std::vector<std::pair<std::string, JsonValue>> members;  // Object, in file order
};

// Parses `source` as one JSON document. On success returns true and fills `out`; on failure
// returns false and writes into `error` what is wrong and where ("line L, column C: ...").
// Nesting deeper than 64 levels is refused, so hostile input cannot exhaust the stack.
// Duplicate object keys are refused too: a preset that names a control twice is a mistake.
bool ParseJson(const std::string& source, JsonValue& out, std::string& error);

// The name of a value's type as users read it in messages ("number", "object", ...).
const char* JsonTypeName(JsonValue::Type type);

// `text` as a JSON string literal, quotes included, with the characters JSON requires
// escaped.
std::string JsonQuote(const std::string& text);
