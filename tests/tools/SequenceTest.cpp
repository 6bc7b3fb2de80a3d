#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include "Sequence.h"
#include "ToolError.h"

namespace {

TEST(Sequence, ExpandsPlaceholders) {
  struct Case {
    const char* path;
    long frame;
    const char* expected;
  } cases[] = {
      {"plate.####.exr", 7, "plate.0007.exr"},
      {"plate.####.exr", 12345, "plate.12345.exr"},
      {"plate.%04d.exr", 1001, "plate.1001.exr"},
      {"plate.%d.png", 5, "plate.5.png"},
      {"plate.%06d.png", -3, "plate.-00003.png"},
      {"shots/#12/plate.#.tif", 9, "shots/#12/plate.9.tif"},
      {"still.exr", 9, "still.exr"},
  };
  for (const Case& c : cases) {
    FramePattern p = FindFramePattern(c.path);
    EXPECT_EQ(FramePath(c.path, p, c.frame), c.expected) << c.path;
  }
  EXPECT_FALSE(FindFramePattern("dir/#1/still.exr").isSequence);
  EXPECT_THROW(FindFramePattern("a.##.%04d.exr"), ToolError);
  EXPECT_THROW(FindFramePattern("a.%s.exr"), ToolError);
  EXPECT_THROW(FindFramePattern("100%.exr"), ToolError);
}

TEST(Sequence, ParsesFrameLists) {
  struct Good {
    const char* text;
    std::vector<long> frames;
  } good[] = {
      {"7", {7}},
      {"1001-1004", {1001, 1002, 1003, 1004}},
      {"1001-1010x4", {1001, 1005, 1009}},
      {"1,5,10-12", {1, 5, 10, 11, 12}},
      {"9,1-3,2", {1, 2, 3, 9}},  // sorted, each once
      {"-3--1,0", {-3, -2, -1, 0}},
      {"-10000000,10000000", {-10000000, 10000000}},
  };
  for (const Good& g : good) EXPECT_EQ(ParseFrames(g.text), g.frames) << g.text;
  EXPECT_EQ(ParseFrames("0-999999").size(), 1000000u);
  EXPECT_EQ(ParseFrames("0-1999999x2").size(), 1000000u);

  const char* const kForm = "--frames takes frames as 1001-1100, 1001-1100x5 or 1,5,10-20, not ";
  struct Bad {
    const char* text;
    std::string message;
  } bad[] = {
      {"", kForm + std::string("\"\"")},
      {"1,,2", kForm + std::string("\"1,,2\"")},
      {"1-2-3", kForm + std::string("\"1-2-3\"")},
      {"1.5-3", kForm + std::string("\"1.5-3\"")},
      {"1-9x-2", kForm + std::string("\"1-9x-2\"")},
      {"1,5-3", "--frames \"1,5-3\": the range \"5-3\" runs backwards; write it 3-5"},
      {"1-9x0", "--frames \"1-9x0\": a step takes a whole number from 1 up"},
      {"0-1000000", "--frames \"0-1000000\": more than a million frames"},
      {"1-600000,700000-1300000", "--frames \"1-600000,700000-1300000\": more than a million frames"},
      {"99999999999999999999",
       "--frames \"99999999999999999999\": frame \"99999999999999999999\" is beyond the frames a shot can have "
       "(-10000000 to 10000000)"},
      {"1-10000001", "--frames \"1-10000001\": frame \"10000001\" is beyond the frames a shot can have "
                     "(-10000000 to 10000000)"},
  };
  for (const Bad& b : bad) {
    try {
      ParseFrames(b.text);
      ADD_FAILURE() << b.text;
    } catch (const ToolError& e) {
      EXPECT_EQ(e.status, kExitUsage);
      EXPECT_EQ(e.what(), b.message) << b.text;
    }
  }
  EXPECT_EQ(ParseFrameNumber("-42", "--frame"), -42);
  EXPECT_THROW(ParseFrameNumber("+4", "--frame"), ToolError);
  EXPECT_THROW(ParseFrameNumber("10000001", "--frame"), ToolError);
}

TEST(Sequence, FindsMissingFrames) {
  std::string dir = ::testing::TempDir();
  std::string pattern = dir + "vtlens_seq_test.####.txt";
  FramePattern p = FindFramePattern(pattern);
  for (long f : {1, 2, 4, 7}) std::ofstream(FramePath(pattern, p, f)) << "x";
  EXPECT_EQ(MissingFrames(pattern, p, ParseFrames("1-8")), (std::vector<long>{3, 5, 6, 8}));
  EXPECT_TRUE(MissingFrames(pattern, p, ParseFrames("1-7x3")).empty());
  for (long f : {1, 2, 4, 7}) std::remove(FramePath(pattern, p, f).c_str());
}

TEST(Sequence, DescribesFrameLists) {
  EXPECT_EQ(DescribeFrames({3, 5, 6, 7, 9}), "3, 5-7, 9");
  std::vector<long> many;
  for (long f = 0; f < 50; ++f) many.push_back(f * 2);
  std::string text = DescribeFrames(many);
  EXPECT_EQ(text.substr(text.size() - 13), ", and 30 more");
}

}  // namespace
