#include <gtest/gtest.h>

#include <dirent.h>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

#include "ImageFile.h"
#include "TempFiles.h"
#include "ToolError.h"
#include "VtlensTestSupport.h"

namespace {

using OIIO::ImageSpec;
using OIIO::TypeDesc;

std::string TempPath(const std::string& name) {
  return ::testing::TempDir() + "vtlens_img_" + name;
}

bool Exists(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0;
}

// Reading: unassociated alpha is associated exactly (colour x alpha / 255 rounded: 100.4,
// 50.2, 25.1), raw channels pass untouched; 16-bit goes to the host's scale (round(v x 32768
// / 65535): 1 -> 1, 32768 -> 16384), no alpha reads as opaque; an EXR's data window lands in
// its display window, colour above 1 kept.
TEST(ImageFile, ReadsIntoTheHostsConventions) {
  const std::string png = TempPath("unassoc.png"), tif = TempPath("sixteen.tif"),
                    exr = TempPath("window.exr");
  WriteRaw(png, ImageSpec(2, 1, 4, TypeDesc::UINT8),
           std::vector<uint8_t>{200, 100, 50, 128, 10, 20, 30, 0});
  WriteRaw(tif, ImageSpec(1, 1, 3, TypeDesc::UINT16), std::vector<uint16_t>{65535, 1, 32768});
  ImageSpec window(2, 1, 4, TypeDesc::HALF);  // at (1, 1) inside 4 x 3
  window.x = window.y = 1;
  window.full_width = 4;
  window.full_height = 3;
  WriteRaw(exr, window, std::vector<float>{0.5f, 0.25f, 2.0f, 1.0f, 1, 1, 1, 0.5f}, false);
  ImageFileInfo info;
  EXPECT_EQ(ReadImageFile(png, ReadOptions{}, &info).pixels8,
            (std::vector<uint8_t>{128, 100, 50, 25, 0, 0, 0, 0}));
  EXPECT_TRUE(info.unassociatedAlpha);
  ReadOptions raw;
  raw.rawChannels = true;
  EXPECT_EQ(ReadImageFile(png, raw, nullptr).pixels8,
            (std::vector<uint8_t>{128, 200, 100, 50, 0, 10, 20, 30}));
  EXPECT_EQ(ReadImageFile(tif, ReadOptions{}, nullptr).pixels16,
            (std::vector<uint16_t>{32768, 32768, 1, 16384}));
  ReadOptions toFloat;
  toFloat.depth = kDepthFloat;
  EXPECT_EQ(ReadImageFile(tif, toFloat, nullptr).pixelsFloat[2], float(1.0 / 65535.0));
  const Image layer = ReadImageFile(exr, ReadOptions{}, &info);
  EXPECT_TRUE(info.isHalf && !info.unassociatedAlpha);
  ASSERT_EQ(std::vector<int>({layer.width, layer.height}), std::vector<int>({4, 3}));
  for (int i = 0; i < 12; ++i) {
    EXPECT_EQ(layer.pixelsFloat[ChannelIndex(layer, i % 4, i / 4, 0)], i == 5   ? 1.0f
                                                                       : i == 6 ? 0.5f
                                                                                : 0.0f)
        << i;
  }
  EXPECT_EQ(layer.pixelsFloat[ChannelIndex(layer, 1, 1, 3)], 2.0f);
  for (const std::string& path : {png, tif, exr}) std::remove(path.c_str());
}

// Formats that store unassociated alpha get exact dissociation, round(c x 255 / 128): 199,
// 100, 50, where the library's float dissociation would store 199, 99, 49. TIFFs are
// associated unless marked; a file reads back as it was written.
TEST(ImageFile, UnassociatedFormatsGetExactDissociation) {
  Image image = MakeImage(1, 1, kDepth8);
  image.pixels8 = {128, 100, 50, 25};  // A R G B, associated
  const std::vector<int> dissociated = {199, 100, 50, 128}, associated = {100, 50, 25, 128};
  struct Case {
    const char* name;
    bool unassociatedSource;
    const char* sourceFormat;
    std::vector<int> stored;
  };
  const Case cases[] = {{"a.png", false, "", dissociated},    {"a.tga", false, "", dissociated},
                        {"a.ico", false, "", dissociated},    {"a.tif", false, "", associated},
                        {"b.tif", true, "tiff", dissociated}, {"c.tif", true, "png", associated},
                        {"d.png", true, "tiff", dissociated}};
  for (const Case& c : cases) {
    const std::string path = TempPath(c.name);
    WriteOptions options;
    options.unassociatedAlpha = c.unassociatedSource;
    options.sourceFormat = c.sourceFormat;
    WriteImageFile(path, image, options);
    const std::vector<uint8_t> px = ReadRaw<uint8_t>(path, 4);
    EXPECT_EQ(std::vector<int>(px.begin(), px.end()), c.stored) << c.name;
    ImageFileInfo info;
    ReadImageFile(path, ReadOptions{}, &info);
    EXPECT_EQ(info.unassociatedAlpha, c.stored == dissociated) << c.name;
    std::remove(path.c_str());
  }
}

// Writing: 16-bit back to the file's scale (round(w x 65535 / 32768): 1 -> 2), EXR with the
// extent as data window and the layer as display window.
TEST(ImageFile, WritesFromTheHostsConventions) {
  Image sixteen = MakeImage(1, 1, kDepth16);
  sixteen.pixels16 = {32768, 32768, 1, 16384};
  Image extent = MakeImage(6, 5, kDepthFloat);
  extent.originX = -1;
  extent.originY = -2;
  WriteOptions options;
  options.halfFloat = true;
  options.displayWidth = 4;
  options.displayHeight = 3;
  const std::string tif = TempPath("sixteen_out.tif"), exr = TempPath("window_out.exr");
  WriteImageFile(tif, sixteen, WriteOptions{});
  WriteImageFile(exr, extent, options);
  ImageSpec desc;
  EXPECT_EQ(ReadRaw<uint16_t>(tif, 4, &desc), (std::vector<uint16_t>{65535, 2, 32768, 65535}));
  EXPECT_EQ(desc.format, TypeDesc::UINT16);
  ReadRaw<float>(exr, 4, &desc);
  EXPECT_EQ(desc.format, TypeDesc::HALF);
  EXPECT_EQ(std::vector<int>({desc.x, desc.y, desc.width, desc.height, desc.full_x, desc.full_y,
                              desc.full_width, desc.full_height}),
            std::vector<int>({-1, -2, 6, 5, 0, 0, 4, 3}));
  std::remove(tif.c_str());
  std::remove(exr.c_str());
}

TEST(ImageFile, FailuresLeaveNoFileBehind) {
  const Image image = MakeImage(2, 2, kDepth8);
  try {
    WriteImageFile(TempPath("out.nosuchformat"), image, WriteOptions{});
    FAIL() << "no error";
  } catch (const ToolError& e) {
    EXPECT_EQ(e.status, kExitUsage);
    EXPECT_NE(std::string(e.what()).find("unsupported output format"), std::string::npos);
  }
  const std::string missingDir = TempPath("no_such_dir/out.png"), garbage = TempPath("garbage.png");
  EXPECT_THROW(WriteImageFile(missingDir, image, WriteOptions{}), ToolError);
  EXPECT_FALSE(Exists(missingDir));
  EXPECT_THROW(ReadImageFile(TempPath("does_not_exist.exr"), ReadOptions{}, nullptr), ToolError);
  std::ofstream(garbage) << "not an image";
  EXPECT_THROW(ReadImageFile(garbage, ReadOptions{}, nullptr), ToolError);
  std::remove(garbage.c_str());
  int temporaries = 0;
  if (DIR* d = opendir(::testing::TempDir().c_str())) {
    while (dirent* e = readdir(d)) temporaries += std::string(e->d_name).rfind(".vtlens-", 0) == 0;
    closedir(d);
  }
  EXPECT_EQ(temporaries, 0);
}

// A killed run's temporaries of this output on this machine go; those of live runs, of
// other outputs or machines, and names not of that form stay.
TEST(TempFiles, StaleTemporariesOfTheOutputAreRemoved) {
  const std::string dir = TempPath("stale/");
  mkdir(dir.c_str(), 0700);
  char host[256] = {};
  gethostname(host, sizeof host - 1);
  const std::string mine = std::string(".vtlens-") + host + "-", dead = "2147483647";
  const std::pair<std::string, bool> cases[] = {
      {mine + dead + "-3-out.png", true},
      {mine + dead + "-12-out.png", true},
      {mine + std::to_string(getpid()) + "-3-out.png", false},
      {mine + dead + "-3-other.png", false},
      {mine + dead + "-3-out.png.exr", false},
      {".vtlens-elsewhere-" + dead + "-3-out.png", false},
      {mine + dead + "-out.png", false},
      {mine + "-3-out.png", false}};
  for (const auto& c : cases) std::ofstream(dir + c.first) << "partial";
  EXPECT_EQ(RemoveStaleTemporaries(dir + "out.png"), 2);
  for (const auto& c : cases) {
    EXPECT_EQ(Exists(dir + c.first), !c.second) << c.first;
    std::remove((dir + c.first).c_str());
  }
  rmdir(dir.c_str());
}

}  // namespace
