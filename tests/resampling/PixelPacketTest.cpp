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
    uint32_t stored;
  };
  const Case cases[] = {
      {8, 0.0f, 0},      {8, 255.0f, 255},     {8, 127.9f, 127},   {8, 300.0f, 44},
      {8, -1.0f, 255},   {8, 1e10f, 0},        {8, nan, 0},        {16, 32768.0f, 32768},
      {16, 65535.0f, 65535}, {16, 70000.0f, 4464}, {16, -1.0f, 65535}, {16, nan, 0},
  };
  for (const Case& c : cases) {
    for (int32_t count : {1, 3, 4, 5, 9, 64}) {
      const SampleSource source = SourceOf(c.bits, nullptr, 0, 0, 0);
      PixelPacket pixels;
      for (int ch = 0; ch < 4; ++ch) {
        for (int32_t k = 0; k < 64; ++k) {
          // Channel ch of pixel k: the case's value in red, distinct small numbers elsewhere.
          pixels.channels[ch][k] = ch == kRed ? c.value : static_cast<float>(ch * 10 + k % 7);
        }
      }
      pixels.channels[kRed].count = count;
      std::vector<uint8_t> out(static_cast<size_t>(65 * source.bytesPerPixel), 0xCD);
      StorePixels(source, pixels, out.data());
      for (int32_t k = 0; k < count; ++k) {
        uint32_t memory[4] = {0, 0, 0, 0};  // alpha, red, green, blue
        for (int m = 0; m < 4; ++m) {
          if (c.bits == 8) memory[m] = out[static_cast<size_t>(4 * k + m)];
          if (c.bits == 16) {
            uint16_t v;
            std::memcpy(&v, &out[static_cast<size_t>(8 * k + 2 * m)], 2);
            memory[m] = v;
          }
        }
        EXPECT_EQ(memory[1], c.stored) << c.bits << "-bit " << c.value << " pixel " << k;
        EXPECT_EQ(memory[0], static_cast<uint32_t>(30 + k % 7));
        EXPECT_EQ(memory[2], static_cast<uint32_t>(10 + k % 7));
        EXPECT_EQ(memory[3], static_cast<uint32_t>(20 + k % 7));
      }
      for (size_t b = static_cast<size_t>(count * source.bytesPerPixel); b < out.size(); ++b) {
        ASSERT_EQ(out[b], 0xCD) << "wrote past " << count << " pixels";
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
