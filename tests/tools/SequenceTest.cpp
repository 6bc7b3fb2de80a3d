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

TEST(Sequence, ParsesRanges) {
  FrameRange r = ParseFrameRange("1001-1100");
  EXPECT_EQ(r.first, 1001);
  EXPECT_EQ(r.last, 1100);
  r = ParseFrameRange("7");
  EXPECT_EQ(r.first, 7);
  EXPECT_EQ(r.last, 7);
  for (const char* bad : {"", "5-3", "a-b", "1-", "-4", "1-2-3", "1.5-3", "0-1000000"})
    EXPECT_THROW(ParseFrameRange(bad), ToolError) << bad;
  EXPECT_NO_THROW(ParseFrameRange("0-999999"));
}

TEST(Sequence, FindsMissingFrames) {
  std::string dir = ::testing::TempDir();
  std::string pattern = dir + "vtlens_seq_test.####.txt";
  FramePattern p = FindFramePattern(pattern);
  for (long f : {1, 2, 4, 7}) std::ofstream(FramePath(pattern, p, f)) << "x";
  EXPECT_EQ(MissingFrames(pattern, p, FrameRange{1, 8}), (std::vector<long>{3, 5, 6, 8}));
  EXPECT_TRUE(MissingFrames(pattern, p, FrameRange{1, 2}).empty());
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
