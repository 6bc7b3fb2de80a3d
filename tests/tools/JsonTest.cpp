#include <gtest/gtest.h>

#include "Json.h"

namespace {

TEST(Json, ReadsNestedDocument) {
  JsonValue v;
  std::string error;
  ASSERT_TRUE(ParseJson(" {\"a\": [1, -0.05, 2.5e3, true, false, null], \"b\": {\"c\": \"x\\ty\"}} ", v, error)) << error;
  ASSERT_EQ(v.type, JsonValue::Type::Object);
  ASSERT_EQ(v.members.size(), 2u);
  EXPECT_EQ(v.members[0].first, "a");
  const auto& a = v.members[0].second.items;
  ASSERT_EQ(a.size(), 6u);
  EXPECT_EQ(a[0].number, 1.0);
  EXPECT_EQ(a[1].number, -0.05);  // the same double the compiler makes of the literal
  EXPECT_EQ(a[2].number, 2500.0);
  EXPECT_TRUE(a[3].boolean);
  EXPECT_EQ(a[4].type, JsonValue::Type::Bool);
  EXPECT_FALSE(a[4].boolean);
  EXPECT_EQ(a[5].type, JsonValue::Type::Null);
  EXPECT_EQ(v.members[1].second.members[0].second.text, "x\ty");
}

TEST(Json, DecodesUnicodeEscapesToUtf8) {
  JsonValue v;
  std::string error;
  ASSERT_TRUE(ParseJson("\"\\u00e9\\u20ac\\ud83d\\ude00\\/\"", v, error)) << error;
  EXPECT_EQ(v.text, "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80/");
}

TEST(Json, RefusesMalformedInputWithPlace) {
  struct Case {
    const char* text;
    const char* message;
  } cases[] = {
      {"", "line 1, column 1: unexpected end of input"},
      {"{\"a\": 1,}", "line 1, column 9: expected a key in quotes"},
      {"{\"a\" 1}", "line 1, column 6: expected ':'"},
      {"[1 2]", "line 1, column 4: expected ',' or ']'"},
      {"{\n  \"a\": 01}", "line 2, column 9: expected ',' or '}'"},
      {"-", "line 1, column 2: bad number"},
      {"1.", "line 1, column 3: bad number"},
      {"1e400", "line 1, column 1: number out of range"},
      {"\"abc", "line 1, column 5: unterminated string"},
      {"\"a\\x\"", "line 1, column 4: bad escape"},
      {"\"\\ud800\"", "line 1, column 8: unpaired surrogate"},
      {"\"a\nb\"", "line 1, column 3: control character in string"},
      {"tru", "line 1, column 1: unexpected character"},
      {"{} x", "line 1, column 4: unexpected text after the value"},
      {"{\"a\": 1, \"a\": 2}", "line 1, column 10: duplicate key \"a\""},
  };
  for (const Case& c : cases) {
    JsonValue v;
    std::string error;
    EXPECT_FALSE(ParseJson(c.text, v, error)) << c.text;
    EXPECT_EQ(error, c.message) << c.text;
  }
}

TEST(Json, LimitsNesting) {
  JsonValue v;
  std::string error;
  EXPECT_TRUE(ParseJson(std::string(64, '[') + std::string(64, ']'), v, error)) << error;
  EXPECT_FALSE(ParseJson(std::string(100000, '['), v, error));
  EXPECT_NE(error.find("nested too deeply"), std::string::npos);
}

}  // namespace
