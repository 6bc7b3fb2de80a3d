#include "Json.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int kMaxDepth = 64;

struct JsonReader {
  const std::string& s;
  size_t pos = 0;
  std::string error;

  bool Fail(const std::string& what) {
    if (error.empty()) {
      size_t line = 1, column = 1;
      for (size_t i = 0; i < pos && i < s.size(); ++i) {
        if (s[i] == '\n') {
          ++line;
          column = 1;
        } else {
          ++column;
        }
      }
      error = "line " + std::to_string(line) + ", column " + std::to_string(column) + ": " + what;
    }
    return false;
  }

  void SkipSpace() {
    while (pos < s.size() && (s[pos] == ' ' || s[pos] == '\t' || s[pos] == '\n' || s[pos] == '\r'))
      ++pos;
  }

  bool Literal(const char* word) {
    size_t n = std::strlen(word);
    if (s.compare(pos, n, word) != 0) return Fail("unexpected character");
    pos += n;
    return true;
  }

  static void AppendUtf8(std::string& out, unsigned long cp) {
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      out += static_cast<char>(0xC0 | (cp >> 6));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      out += static_cast<char>(0xE0 | (cp >> 12));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (cp >> 18));
      out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }

  bool Hex4(unsigned long& cp) {
    if (pos + 4 > s.size()) return Fail("unfinished \\u escape");
    cp = 0;
    for (int i = 0; i < 4; ++i) {
      char c = s[pos++];
      cp <<= 4;
      if (c >= '0' && c <= '9') cp |= static_cast<unsigned long>(c - '0');
      else if (c >= 'a' && c <= 'f') cp |= static_cast<unsigned long>(c - 'a' + 10);
      else if (c >= 'A' && c <= 'F') cp |= static_cast<unsigned long>(c - 'A' + 10);
      else return Fail("bad \\u escape");
    }
    return true;
  }

  bool String(std::string& out) {
    ++pos;  // opening quote
    while (true) {
      if (pos >= s.size()) return Fail("unterminated string");
      char c = s[pos];
      if (c == '"') {
        ++pos;
        return true;
      }
      if (static_cast<unsigned char>(c) < 0x20) return Fail("control character in string");
      if (c != '\\') {
        out += c;
        ++pos;
        continue;
      }
      if (++pos >= s.size()) return Fail("unterminated string");
      char e = s[pos++];
      switch (e) {
        case '"': out += '"'; break;
        case '\\': out += '\\'; break;
        case '/': out += '/'; break;
        case 'b': out += '\b'; break;
        case 'f': out += '\f'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case 'u': {
          unsigned long cp = 0;
          if (!Hex4(cp)) return false;
          if (cp >= 0xD800 && cp < 0xDC00) {
            unsigned long low = 0;
            if (s.compare(pos, 2, "\\u") != 0) return Fail("unpaired surrogate");
            pos += 2;
            if (!Hex4(low)) return false;
            if (low < 0xDC00 || low > 0xDFFF) return Fail("unpaired surrogate");
            cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
          } else if (cp >= 0xDC00 && cp < 0xE000) {
            return Fail("unpaired surrogate");
          }
          AppendUtf8(out, cp);
          break;
        }
        default: --pos; return Fail("bad escape");
      }
    }
  }

  bool Digits() {
    size_t start = pos;
    while (pos < s.size() && s[pos] >= '0' && s[pos] <= '9') ++pos;
    return pos > start;
  }

  bool Number(double& out) {
    size_t start = pos;
    if (s[pos] == '-') ++pos;
    if (pos < s.size() && s[pos] == '0') {
      ++pos;
    } else if (!Digits()) {
      return Fail("bad number");
    }
    if (pos < s.size() && s[pos] == '.') {
      ++pos;
      if (!Digits()) return Fail("bad number");
    }
    if (pos < s.size() && (s[pos] == 'e' || s[pos] == 'E')) {
      ++pos;
      if (pos < s.size() && (s[pos] == '+' || s[pos] == '-')) ++pos;
      if (!Digits()) return Fail("bad number");
    }
    std::string token = s.substr(start, pos - start);
    out = std::strtod(token.c_str(), nullptr);
    if (!std::isfinite(out)) {
      pos = start;
      return Fail("number out of range");
    }
    return true;
  }

  bool Value(JsonValue& out, int depth) {
    if (depth > kMaxDepth) return Fail("nested too deeply");
    SkipSpace();
    if (pos >= s.size()) return Fail("unexpected end of input");
    char c = s[pos];
    if (c == '{') {
      out.type = JsonValue::Type::Object;
      ++pos;
      SkipSpace();
      if (pos < s.size() && s[pos] == '}') {
        ++pos;
        return true;
      }
      while (true) {
        SkipSpace();
        if (pos >= s.size() || s[pos] != '"') return Fail("expected a key in quotes");
        size_t keyPos = pos;
        std::string key;
        if (!String(key)) return false;
        for (const auto& m : out.members) {
          if (m.first == key) {
            pos = keyPos;
            return Fail("duplicate key \"" + key + "\"");
          }
        }
        SkipSpace();
        if (pos >= s.size() || s[pos] != ':') return Fail("expected ':'");
        ++pos;
        JsonValue v;
        if (!Value(v, depth + 1)) return false;
        out.members.emplace_back(std::move(key), std::move(v));
        SkipSpace();
        if (pos < s.size() && s[pos] == ',') {
          ++pos;
          continue;
        }
        if (pos < s.size() && s[pos] == '}') {
          ++pos;
          return true;
        }
        return Fail("expected ',' or '}'");
      }
    }
    if (c == '[') {
      out.type = JsonValue::Type::Array;
      ++pos;
      SkipSpace();
      if (pos < s.size() && s[pos] == ']') {
        ++pos;
        return true;
      }
      while (true) {
        JsonValue v;
        if (!Value(v, depth + 1)) return false;
        out.items.push_back(std::move(v));
        SkipSpace();
        if (pos < s.size() && s[pos] == ',') {
          ++pos;
          continue;
        }
        if (pos < s.size() && s[pos] == ']') {
          ++pos;
          return true;
        }
        return Fail("expected ',' or ']'");
      }
    }
    if (c == '"') {
      out.type = JsonValue::Type::String;
      return String(out.text);
    }
    if (c == '-' || (c >= '0' && c <= '9')) {
      out.type = JsonValue::Type::Number;
      return Number(out.number);
    }
    if (c == 't') {
      out.type = JsonValue::Type::Bool;
      out.boolean = true;
      return Literal("true");
    }
    if (c == 'f') {
      out.type = JsonValue::Type::Bool;
      return Literal("false");
    }
    if (c == 'n') {
      out.type = JsonValue::Type::Null;
      return Literal("null");
    }
    return Fail("unexpected character");
  }
};

}  // namespace

bool ParseJson(const std::string& source, JsonValue& out, std::string& error) {
  JsonReader reader{source, 0, {}};
  JsonValue value;
  bool ok = reader.Value(value, 0);
  if (ok) {
    reader.SkipSpace();
    if (reader.pos != source.size()) ok = reader.Fail("unexpected text after the value");
  }
  if (!ok) {
    error = reader.error;
    return false;
  }
  out = std::move(value);
  return true;
}

const char* JsonTypeName(JsonValue::Type type) {
  switch (type) {
    case JsonValue::Type::Null: return "null";
    case JsonValue::Type::Bool: return "boolean";
    case JsonValue::Type::Number: return "number";
    case JsonValue::Type::String: return "string";
    case JsonValue::Type::Array: return "array";
    case JsonValue::Type::Object: return "object";
  }
  return "value";
}

std::string JsonQuote(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          char buffer[8];
          std::snprintf(buffer, sizeof buffer, "\\u%04x", static_cast<unsigned>(static_cast<unsigned char>(c)));
          out += buffer;
        } else {
          out += c;
        }
    }
  }
  return out + "\"";
}
