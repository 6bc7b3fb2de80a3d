#include <gtest/gtest.h>

#include "Sequence.h"
#include "ToolError.h"

namespace {

TEST(Sequence, ExpandsPlaceholders) {
  const std::tuple<const char*, long, const char*> cases[] = {
      {"plate.####.exr", 7, "plate.0007.exr"},
      {"plate.####.exr", 12345, "plate.12345.exr"},
      {"plate.%04d.exr", 1001, "plate.1001.exr"},
      {"plate.%d.png", 5, "plate.5.png"},
      {"plate.%06d.png", -3, "plate.-00003.png"},
      {"shots/#12/plate.#.tif", 9, "shots/#12/plate.9.tif"},
      {"still.exr", 9, "still.exr"}};
  for (const auto& [path, frame, expected] : cases)
    EXPECT_EQ(FramePath(path, FindFramePattern(path), frame), expected) << path;
  EXPECT_FALSE(FindFramePattern("dir/#1/still.exr").isSequence);
  for (const char* bad : {"a.##.%04d.exr", "a.%s.exr", "100%.exr"})
    EXPECT_THROW(FindFramePattern(bad), ToolError) << bad;
  std::vector<long> many;
  for (long f = 0; f < 50; ++f) many.push_back(f * 2);
  const std::string text = DescribeFrames(many);
  EXPECT_EQ(text.substr(text.size() - 13), ", and 30 more");
  EXPECT_EQ(DescribeFrames({3, 5, 6, 7, 9}), "3, 5-7, 9");
}

TEST(Sequence, ParsesFrameLists) {
  const std::pair<const char*, std::vector<long>> good[] = {
      {"7", {7}},
      {"1001-1004", {1001, 1002, 1003, 1004}},
      {"1001-1010x4", {1001, 1005, 1009}},
      {"9,1-3,2", {1, 2, 3, 9}},  // sorted, each once
      {"-3--1,0", {-3, -2, -1, 0}},
      {"-10000000,10000000", {-10000000, 10000000}}};
  for (const auto& [text, frames] : good) EXPECT_EQ(ParseFrames(text), frames) << text;
  EXPECT_EQ(ParseFrames("0-999999").size(), 1000000u);
  EXPECT_EQ(ParseFrames("0-1999999x2").size(), 1000000u);

  const std::string form = "takes frames as 1001-1100, 1001-1100x5 or 1,5,10-20, not ";
  const std::string beyond = "is beyond the frames a shot can have (-10000000 to 10000000)";
  const std::pair<const char*, std::string> bad[] = {
      {"", form + "\"\""},
      {"1,,2", form + "\"1,,2\""},
      {"1-2-3", form + "\"1-2-3\""},
      {"1.5-3", form + "\"1.5-3\""},
      {"1-9x-2", form + "\"1-9x-2\""},
      {"1,5-3", "\"1,5-3\": the range \"5-3\" runs backwards; write it 3-5"},
      {"1-9x0", "\"1-9x0\": a step takes a whole number from 1 up"},
      {"0-1000000", "\"0-1000000\": more than a million frames"},
      {"1-600000,700000-1300000", "\"1-600000,700000-1300000\": more than a million frames"},
      {"99999999999999999999",
       "\"99999999999999999999\": frame \"99999999999999999999\" " + beyond},
      {"1-10000001", "\"1-10000001\": frame \"10000001\" " + beyond}};
  for (const auto& [text, message] : bad) {
    try {
      ParseFrames(text);
      ADD_FAILURE() << text;
    } catch (const ToolError& e) {
      EXPECT_EQ(e.status, kExitUsage);
      EXPECT_EQ(e.what(), "--frames " + message) << text;
    }
  }
  EXPECT_EQ(ParseFrameNumber("-42", "--frame"), -42);
  EXPECT_THROW(ParseFrameNumber("+4", "--frame"), ToolError);
  EXPECT_THROW(ParseFrameNumber("10000001", "--frame"), ToolError);
}

}  // namespace
