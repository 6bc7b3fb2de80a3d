#include <gtest/gtest.h>

#include <OpenImageIO/imageio.h>

#include <cstdio>
#include <dirent.h>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

#include "ImageFile.h"
#include "TempFiles.h"
#include "ToolError.h"

namespace {

std::string TempPath(const std::string& name) { return ::testing::TempDir() + "vtlens_img_" + name; }

// Writes a file directly through the library, in the file's own convention.
template <typename T>
void WriteRaw(const std::string& path, int w, int h, int nch, OIIO::TypeDesc type, const std::vector<T>& data,
              bool unassociated, int x = 0, int y = 0, int fullW = 0, int fullH = 0) {
  OIIO::ImageSpec desc(w, h, nch, type);
  if (nch == 4) desc.alpha_channel = 3;
  if (unassociated) desc.attribute("oiio:UnassociatedAlpha", 1);
  desc.x = x;
  desc.y = y;
  if (fullW) {
    desc.full_x = 0;
    desc.full_y = 0;
    desc.full_width = fullW;
    desc.full_height = fullH;
  }
  auto out = OIIO::ImageOutput::create(path);
  ASSERT_TRUE(out && out->open(path, desc) && out->write_image(OIIO::BaseTypeFromC<T>::value, data.data()) && out->close());
}

bool Exists(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0;
}

int FilesStartingWith(const std::string& dir, const std::string& prefix) {
  int n = 0;
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* e = readdir(d))
      if (std::string(e->d_name).compare(0, prefix.size(), prefix) == 0) ++n;
    closedir(d);
  }
  return n;
}

TEST(ImageFile, AssociatesUnassociatedPng) {
  std::string in = TempPath("unassoc.png");
  WriteRaw<uint8_t>(in, 2, 1, 4, OIIO::TypeDesc::UINT8, {200, 100, 50, 128, 10, 20, 30, 0}, true);
  ImageFileInfo info;
  Image image = ReadImageFile(in, ReadOptions{}, &info);
  EXPECT_TRUE(info.unassociatedAlpha);
  ASSERT_EQ(image.depth, kDepth8);
  // A R G B: colour x alpha / 255, rounded: 100.4, 50.2, 25.1.
  EXPECT_EQ(image.pixels8, (std::vector<uint8_t>{128, 100, 50, 25, 0, 0, 0, 0}));

  ReadOptions raw;
  raw.rawChannels = true;
  EXPECT_EQ(ReadImageFile(in, raw, nullptr).pixels8, (std::vector<uint8_t>{128, 200, 100, 50, 0, 10, 20, 30}));

  std::remove(in.c_str());
}

TEST(ImageFile, UnassociatedFormatsGetExactDissociation) {
  Image image = MakeImage(1, 1, kDepth8);
  image.pixels8 = {128, 100, 50, 25};  // A R G B, associated
  // Exact: round(c x 255 / 128) gives 199, 100, 50; the library's float dissociation
  // would store 199, 99, 49.
  const std::vector<int> dissociated = {199, 100, 50, 128}, associated = {100, 50, 25, 128};
  struct Case {
    const char* name;
    bool unassociatedSource;
    const char* sourceFormat;
    std::vector<int> stored;
  } cases[] = {
      {"a.png", false, "", dissociated},       {"a.tga", false, "", dissociated},
      {"a.ico", false, "", dissociated},       {"a.tif", false, "", associated},
      {"b.tif", true, "tiff", dissociated},    // a TIFF marked unassociated stays so
      {"c.tif", true, "png", associated},      // TIFFs are associated unless marked
      {"d.png", true, "tiff", dissociated},
  };
  for (const Case& c : cases) {
    std::string path = TempPath(c.name);
    WriteOptions options;
    options.unassociatedAlpha = c.unassociatedSource;
    options.sourceFormat = c.sourceFormat;
    WriteImageFile(path, image, options);
    OIIO::ImageSpec config;
    config.attribute("oiio:UnassociatedAlpha", 1);
    auto reread = OIIO::ImageInput::open(path, &config);
    ASSERT_TRUE(reread) << c.name;
    std::vector<uint8_t> px(4);
    ASSERT_TRUE(reread->read_image(0, 0, 0, 4, OIIO::TypeDesc::UINT8, px.data())) << c.name;
    EXPECT_EQ(std::vector<int>(px.begin(), px.end()), c.stored) << c.name;
    ImageFileInfo info;
    ReadImageFile(path, ReadOptions{}, &info);
    EXPECT_EQ(info.unassociatedAlpha, c.stored == dissociated) << c.name;  // read back as written
    std::remove(path.c_str());
  }
}

TEST(TempFiles, StaleTemporariesOfTheOutputAreRemoved) {
  std::string dir = TempPath("stale/");
  mkdir(dir.c_str(), 0700);
  char host[256] = {};
  gethostname(host, sizeof host - 1);
  std::string mine = std::string(".vtlens-") + host + "-";
  const std::string dead = "2147483647";  // beyond any process id
  struct Case {
    std::string name;
    bool removed;
  } cases[] = {
      {mine + dead + "-3-out.png", true},
      {mine + dead + "-12-out.png", true},
      {mine + std::to_string(getpid()) + "-3-out.png", false},  // a live run writes it
      {mine + dead + "-3-other.png", false},                   // another output's
      {mine + dead + "-3-out.png.exr", false},
      {".vtlens-elsewhere-" + dead + "-3-out.png", false},     // that machine may still write it
      {mine + dead + "-out.png", false},
      {mine + "-3-out.png", false},
  };
  for (const Case& c : cases) std::ofstream(dir + c.name) << "partial";
  EXPECT_EQ(RemoveStaleTemporaries(dir + "out.png"), 2);
  for (const Case& c : cases) {
    EXPECT_EQ(Exists(dir + c.name), !c.removed) << c.name;
    std::remove((dir + c.name).c_str());
  }
  rmdir(dir.c_str());
}

TEST(ImageFile, SixteenBitGoesToTheHostScaleAndBack) {
  std::string in = TempPath("sixteen.tif");
  WriteRaw<uint16_t>(in, 1, 1, 3, OIIO::TypeDesc::UINT16, {65535, 1, 32768}, false);
  Image image = ReadImageFile(in, ReadOptions{}, nullptr);
  ASSERT_EQ(image.depth, kDepth16);
  // No alpha: opaque. round(1 x 32768 / 65535) = 1 (0.50001), round(32768 x 32768 / 65535) = 16384.
  EXPECT_EQ(image.pixels16, (std::vector<uint16_t>{32768, 32768, 1, 16384}));

  ReadOptions toFloat;
  toFloat.depth = kDepthFloat;
  Image f = ReadImageFile(in, toFloat, nullptr);
  EXPECT_EQ(f.pixelsFloat[2], static_cast<float>(1.0 / 65535.0));

  std::string out = TempPath("sixteen_out.tif");
  WriteImageFile(out, image, WriteOptions{});
  auto reread = OIIO::ImageInput::open(out);
  ASSERT_TRUE(reread);
  EXPECT_EQ(reread->spec().format, OIIO::TypeDesc::UINT16);
  std::vector<uint16_t> px(4);
  ASSERT_TRUE(reread->read_image(0, 0, 0, 4, OIIO::TypeDesc::UINT16, px.data()));
  EXPECT_EQ(px, (std::vector<uint16_t>{65535, 2, 32768, 65535}));  // round(1 x 65535 / 32768) = 2
  std::remove(in.c_str());
  std::remove(out.c_str());
}

TEST(ImageFile, ExrWindowsPlaceTheLayerAndTheExtent) {
  std::string in = TempPath("window.exr");
  // A 2x1 data window at (1, 1) inside a 4x3 display window.
  WriteRaw<float>(in, 2, 1, 4, OIIO::TypeDesc::HALF, {0.5f, 0.25f, 2.0f, 1.0f, 1, 1, 1, 0.5f}, false, 1, 1, 4, 3);
  ImageFileInfo info;
  Image layer = ReadImageFile(in, ReadOptions{}, &info);
  EXPECT_TRUE(info.isHalf);
  EXPECT_FALSE(info.unassociatedAlpha);
  ASSERT_EQ(layer.width, 4);
  ASSERT_EQ(layer.height, 3);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x) {
      float a = layer.pixelsFloat[ChannelIndex(layer, x, y, 0)];
      EXPECT_EQ(a, y == 1 && x == 1 ? 1.0f : y == 1 && x == 2 ? 0.5f : 0.0f) << x << "," << y;
    }
  EXPECT_EQ(layer.pixelsFloat[ChannelIndex(layer, 1, 1, 3)], 2.0f);  // colour above 1 kept

  Image extent = MakeImage(6, 5, kDepthFloat);
  extent.originX = -1;
  extent.originY = -2;
  std::string out = TempPath("window_out.exr");
  WriteOptions options;
  options.halfFloat = true;
  options.displayWidth = 4;
  options.displayHeight = 3;
  WriteImageFile(out, extent, options);
  auto reread = OIIO::ImageInput::open(out);
  ASSERT_TRUE(reread);
  const OIIO::ImageSpec& desc = reread->spec();
  EXPECT_EQ(desc.format, OIIO::TypeDesc::HALF);
  EXPECT_EQ(std::vector<int>({desc.x, desc.y, desc.width, desc.height}), std::vector<int>({-1, -2, 6, 5}));
  EXPECT_EQ(std::vector<int>({desc.full_x, desc.full_y, desc.full_width, desc.full_height}),
            std::vector<int>({0, 0, 4, 3}));
  std::remove(in.c_str());
  std::remove(out.c_str());
}

TEST(ImageFile, FailuresLeaveNoFileBehind) {
  Image image = MakeImage(2, 2, kDepth8);
  try {
    WriteImageFile(TempPath("out.nosuchformat"), image, WriteOptions{});
    FAIL() << "no error";
  } catch (const ToolError& e) {
    EXPECT_EQ(e.status, kExitUsage);
    EXPECT_NE(std::string(e.what()).find("unsupported output format"), std::string::npos);
  }
  std::string missingDir = TempPath("no_such_dir/out.png");
  EXPECT_THROW(WriteImageFile(missingDir, image, WriteOptions{}), ToolError);
  EXPECT_FALSE(Exists(missingDir));

  EXPECT_THROW(ReadImageFile(TempPath("does_not_exist.exr"), ReadOptions{}, nullptr), ToolError);
  std::string garbage = TempPath("garbage.png");
  { std::FILE* f = std::fopen(garbage.c_str(), "wb"); std::fputs("not an image", f); std::fclose(f); }
  EXPECT_THROW(ReadImageFile(garbage, ReadOptions{}, nullptr), ToolError);
  std::remove(garbage.c_str());

  std::string good = TempPath("complete.png");
  WriteImageFile(good, image, WriteOptions{});
  EXPECT_TRUE(Exists(good));
  EXPECT_EQ(FilesStartingWith(::testing::TempDir(), ".vtlens-"), 0);
  std::remove(good.c_str());
}

}  // namespace
