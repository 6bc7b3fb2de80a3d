#include <gtest/gtest.h>

#include <cmath>

#include "PixelConvert.h"

namespace {

// Every 8- and 16-bit file value against rounding half up in long double (exact for these
// magnitudes), and every world value through a file and back.
TEST(PixelConvert, IntegerRescalesRoundHalfUpAndRoundTrip) {
  for (uint32_t file : {255u, 65535u}) {
    for (uint32_t v = 0; v <= file; ++v) {
      ASSERT_EQ(RescaleChannel(v, file, 32768), uint32_t(std::floor(v * 32768.0L / file + 0.5L)))
          << v;
    }
    for (uint32_t w = 0; w <= 32768; ++w) {
      ASSERT_EQ(RescaleChannel(w, 32768, file),
                uint32_t(std::floor(w * static_cast<long double>(file) / 32768 + 0.5L)))
          << w;
      if (file == 65535) {
        ASSERT_EQ(RescaleChannel(RescaleChannel(w, 32768, file), file, 32768), w) << w;
      }
    }
  }
  EXPECT_EQ(RescaleChannel(16384, 32768, 65535), 32768u);  // the one tie, 32767.5, goes up
  EXPECT_EQ(RescaleChannel(40000, 32768, 65535), 65535u);  // beyond full scale is clamped
}

TEST(PixelConvert, FloatChannelsAndAlpha) {
  struct Case {
    float f;
    uint32_t max, expected;
  };
  const Case cases[] = {{0.5f, 255, 128},         {0.5f, 32768, 16384},
                        {1.0f, 255, 255},         {1.5f, 255, 255},
                        {-0.1f, 255, 0},          {NAN, 255, 0},
                        {INFINITY, 32768, 32768}, {127.4f / 255.0f, 255, 127}};
  for (const Case& c : cases) EXPECT_EQ(FloatToChannel(c.f, c.max), c.expected) << c.f;
  EXPECT_EQ(ChannelToFloat(16384, 32768), 0.5f);
  EXPECT_EQ(ChannelToFloat(51, 255), float(51.0 / 255.0));
  struct Alpha {
    uint32_t c, a, max, associated, back;
  };
  const Alpha alphas[] = {{200, 128, 255, 100, 199},  // 100.39; 100 x 255 / 128 = 199.2
                          {255, 255, 255, 255, 255},
                          {10, 0, 255, 0, 0},
                          {32768, 16384, 32768, 16384, 32768},
                          {1, 1, 32768, 0, 0}};
  for (const Alpha& c : alphas) {
    EXPECT_EQ(AssociateChannel(c.c, c.a, c.max), c.associated);
    EXPECT_EQ(DissociateChannel(c.associated, c.a, c.max), c.back);
  }
  EXPECT_EQ(DissociateChannel(200u, 100u, 255u), 255u);  // colour above alpha clamps
  EXPECT_EQ(AssociateChannel(0.5f, 0.25f), 0.125f);
  EXPECT_EQ(DissociateChannel(0.125f, 0.25f), 0.5f);
  EXPECT_EQ(DissociateChannel(0.125f, 0.0f), 0.0f);
}

}  // namespace
