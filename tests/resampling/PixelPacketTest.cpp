#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <vector>

#include "CpuPaths.h"
#include "Resampling/PixelPacket.h"

namespace {

SampleSource SourceOf(int32_t bits, const void* pixels, int32_t width, int32_t height,
                      int32_t rowBytes) {
  SampleSource s;
  std::memset(&s, 0, sizeof s);
  s.pixels = static_cast<const uint8_t*>(pixels);
  s.rowBytes = rowBytes;
  s.bytesPerPixel = bits / 2;
  s.bitsPerChannel = bits;
  s.width = width;
  s.height = height;
  return s;
}

TEST(PixelPacket, StoreKeepsTheLowBitsOfTheTruncationInMemoryOrder) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  struct Case {
    int32_t bits;
    float value;
    uint16_t stored;
  };
  const Case cases[] = {{8, 255.0f, 255},       {8, 127.9f, 127},   {8, 300.0f, 44},
                        {8, -1.0f, 255},        {8, 1e10f, 0},      {8, nan, 0},
                        {16, 32768.0f, 32768},  {16, 70000.0f, 4464}, {16, -1.0f, 65535}};
  for (const Case& c : cases) {
    for (int32_t count : {1, 4, 5, 9}) {  // whole groups of four and the rest
      const SampleSource source = SourceOf(c.bits, nullptr, 0, 0, 0);
      PixelPacket pixels;
      for (int ch = 0; ch < 4; ++ch)
        for (int32_t k = 0; k < 64; ++k) pixels.channels[ch][k] = ch == kRed ? c.value : static_cast<float>(ch + 1);
      pixels.channels[kRed].count = count;
      std::vector<uint16_t> out(64 * 4, 0xCDCD);
      StorePixels(source, pixels, out.data());
      for (int32_t k = 0; k < 10; ++k) {
        for (int m = 0; m < 4; ++m) {  // memory order alpha, red, green, blue
          const uint16_t want = k >= count ? 0xCDCD : m == 1 ? c.stored : static_cast<uint16_t>(m == 0 ? 4 : m);
          const uint16_t got = c.bits == 16 ? out[static_cast<size_t>(4 * k + m)]
                                            : reinterpret_cast<const uint8_t*>(out.data())[4 * k + m];
          const uint16_t guard = c.bits == 16 ? 0xCDCD : 0xCD;
          EXPECT_EQ(got, k >= count ? guard : want) << c.bits << "-bit " << c.value << " pixel " << k;
        }
      }
    }
  }
}

TEST(PixelPacket, FloatPixelsGoThroughFetchAndStoreBitForBit) {
  RestoreCpuFeatures restore;
  // Signed zero, a NaN with a payload, infinity, a denormal and an ordinary value.
  const uint32_t patterns[] = {0x80000000u, 0x7FC01234u, 0x7F800000u, 0x00000001u, 0x3F8CCCCDu};
  std::vector<float> world(3 * 2 * 4);
  for (size_t i = 0; i < world.size(); ++i) {
    const uint32_t bitsOf = patterns[i % 5] ^ static_cast<uint32_t>(i << 4);
    std::memcpy(&world[i], &bitsOf, 4);
  }
  const SampleSource source = SourceOf(32, world.data(), 3, 2, 3 * 16);
  for (uint32_t path : AvailablePaths()) {
    OverrideCpuFeatures(path);
    PointPacket at;
    at.x.count = at.y.count = 6;
    for (int32_t k = 0; k < 6; ++k) {
      at.x[k] = static_cast<float>(k % 3);
      at.y[k] = static_cast<float>(k / 3);
    }
    PixelPacket pixels;
    FetchPixels(source, at, pixels);
    EXPECT_EQ(pixels.channels[kAlpha].count, 64) << "fetch leaves the counts alone";
    pixels.channels[kRed].count = 6;
    std::vector<float> out(world.size());
    StorePixels(source, pixels, out.data());
    EXPECT_EQ(std::memcmp(out.data(), world.data(), world.size() * sizeof(float)), 0);
  }
}

}  // namespace
