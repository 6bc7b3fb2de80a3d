#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "ImageFile.h"
#include "PixelConvert.h"
#include "TempFiles.h"
#include "VtlensTestSupport.h"

namespace {

using OIIO::ImageSpec;
using OIIO::TypeDesc;

// Reading: unassociated alpha is associated exactly (colour x alpha / 255 rounded: 100.4,
// 50.2, 25.1), raw channels pass untouched; 16-bit goes to the host's scale (round(v x 32768
// / 65535): 1 -> 1, 32768 -> 16384) and back (round(w x 65535 / 32768): 1 -> 2), no alpha
// reads as opaque; an EXR's data window lands in its display window, colour above 1 kept.
TEST(ImageFile, ReadsAndWritesInTheHostsConventions) {
  const std::string dir = ScratchFolder();
  const std::string png = dir + "/unassoc.png", tif = dir + "/sixteen.tif",
                    exr = dir + "/window.exr";
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
  const Image sixteen = ReadImageFile(tif, ReadOptions{}, nullptr);
  EXPECT_EQ(sixteen.pixels16, (std::vector<uint16_t>{32768, 32768, 1, 16384}));
  ReadOptions toFloat;
  toFloat.depth = kDepthFloat;
  EXPECT_EQ(ReadImageFile(tif, toFloat, nullptr).pixelsFloat[2], float(1.0 / 65535.0));
  WriteImageFile(tif, sixteen, WriteOptions{});
  ImageSpec desc;
  EXPECT_EQ(ReadRaw<uint16_t>(tif, 4, &desc), (std::vector<uint16_t>{65535, 2, 32768, 65535}));
  EXPECT_EQ(desc.format, TypeDesc::UINT16);
  const Image layer = ReadImageFile(exr, ReadOptions{}, &info);
  EXPECT_TRUE(info.isHalf && !info.unassociatedAlpha);
  ASSERT_EQ(std::vector<int>({layer.width, layer.height}), std::vector<int>({4, 3}));
  std::vector<float> alpha;
  for (int i = 0; i < 12; ++i)
    alpha.push_back(layer.pixelsFloat[ChannelIndex(layer, i % 4, i / 4, 0)]);
  EXPECT_EQ(alpha, (std::vector<float>{0, 0, 0, 0, 0, 1, 0.5f, 0, 0, 0, 0, 0}));
  EXPECT_EQ(layer.pixelsFloat[ChannelIndex(layer, 1, 1, 3)], 2.0f);
}

// Formats that store unassociated alpha get exact dissociation, round(c x 255 / 128): 199,
// 100, 50, where the library's float dissociation would store 199, 99, 49. TIFFs are
// associated unless marked; a file reads back as it was written.
TEST(ImageFile, UnassociatedFormatsGetExactDissociation) {
  const std::string dir = ScratchFolder();
  Image image = MakeImage(1, 1, kDepth8);
  image.pixels8 = {128, 100, 50, 25};  // A R G B, associated
  const std::vector<int> dissociated = {199, 100, 50, 128}, associated = {100, 50, 25, 128};
  const std::tuple<const char*, bool, const char*, std::vector<int>> cases[] = {
      {"a.png", false, "", dissociated},    {"a.tga", false, "", dissociated},
      {"a.ico", false, "", dissociated},    {"a.tif", false, "", associated},
      {"b.tif", true, "tiff", dissociated}, {"c.tif", true, "png", associated},
      {"d.png", true, "tiff", dissociated}};
  for (const auto& [name, unassociatedSource, sourceFormat, stored] : cases) {
    WriteOptions options;
    options.unassociatedAlpha = unassociatedSource;
    options.sourceFormat = sourceFormat;
    WriteImageFile(dir + "/" + name, image, options);
    const std::vector<uint8_t> px = ReadRaw<uint8_t>(dir + "/" + name, 4);
    EXPECT_EQ(std::vector<int>(px.begin(), px.end()), stored) << name;
    ImageFileInfo info;
    ReadImageFile(dir + "/" + name, ReadOptions{}, &info);
    EXPECT_EQ(info.unassociatedAlpha, stored == dissociated) << name;
  }
}

// A killed run's temporaries of this output on this machine go; those of live runs, of
// other outputs or machines, and names not of that form stay.
TEST(TempFiles, StaleTemporariesOfTheOutputAreRemoved) {
  const std::string dir = ScratchFolder() + "/";
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
  for (const auto& [name, removed] : cases)
    EXPECT_EQ(std::filesystem::exists(dir + name), !removed) << name;
}

// Value, from, to, rescaled: half up, exact where a float would not be (1 of 65535 is 0.500008
// of a world step, 16384 of 32768 the one true tie, 32767.5); beyond full scale clamps. Host
// values come back through 16 bits, 8-bit file values through the host's scale.
TEST(PixelConvert, IntegerRescalesRoundHalfUpAndRoundTrip) {
  const std::array<uint32_t, 4> cases[] = {
      {1, 255, 32768, 129},         {1, 65535, 32768, 1},
      {32767, 65535, 32768, 16384}, {1, 32768, 65535, 2},
      {16384, 32768, 65535, 32768}, {40000, 32768, 65535, 65535},
      {65, 32768, 255, 1},          {7, 0, 255, 0}};
  for (const auto& [v, from, to, rescaled] : cases)
    EXPECT_EQ(RescaleChannel(v, from, to), rescaled) << v << " " << from << " " << to;
  for (uint32_t w = 0; w <= 32768; ++w)
    ASSERT_EQ(RescaleChannel(RescaleChannel(w, 32768, 65535), 65535, 32768), w) << w;
  for (uint32_t v = 0; v <= 255; ++v)
    ASSERT_EQ(RescaleChannel(RescaleChannel(v, 255, 32768), 32768, 255), v) << v;
}

// Floats to integers clamp (NaN to 0) and round half up. Alpha: colour, alpha, full scale,
// associated (200 x 128 / 255 = 100.39), back (199.2); colour above alpha clamps.
TEST(PixelConvert, FloatChannelsAndAlpha) {
  const std::tuple<float, uint32_t, uint32_t> cases[] = {
      {0.5f, 255, 128},         {0.5f, 32768, 16384},
      {1.0f, 255, 255},         {1.5f, 255, 255},
      {-0.1f, 255, 0},          {NAN, 255, 0},
      {INFINITY, 32768, 32768}, {127.4f / 255.0f, 255, 127}};
  for (const auto& [f, max, expected] : cases) EXPECT_EQ(FloatToChannel(f, max), expected) << f;
  EXPECT_EQ(ChannelToFloat(16384, 32768), 0.5f);
  EXPECT_EQ(ChannelToFloat(51, 255), float(51.0 / 255.0));
  const std::array<uint32_t, 5> alphas[] = {{200, 128, 255, 100, 199},
                                            {10, 0, 255, 0, 0},
                                            {32768, 16384, 32768, 16384, 32768},
                                            {1, 1, 32768, 0, 0}};
  for (const auto& [c, a, max, associated, back] : alphas) {
    EXPECT_EQ(AssociateChannel(c, a, max), associated) << c << " " << a;
    EXPECT_EQ(DissociateChannel(associated, a, max), back) << c << " " << a;
  }
  EXPECT_EQ(DissociateChannel(200u, 100u, 255u), 255u);
  EXPECT_EQ(AssociateChannel(0.5f, 0.25f), 0.125f);
  EXPECT_EQ(DissociateChannel(0.125f, 0.25f), 0.5f);
  EXPECT_EQ(DissociateChannel(0.125f, 0.0f), 0.0f);
}

}  // namespace
