#include <gtest/gtest.h>

#include <cmath>

#include "PixelConvert.h"

namespace {

// Rounding half up, evaluated plainly in long double (exact for these magnitudes).
uint32_t RoundHalfUp(long double v) { return static_cast<uint32_t>(std::floor(v + 0.5L)); }

TEST(PixelConvert, SixteenBitFileAndWorldRoundTrip) {
  for (uint32_t v = 0; v <= 65535; ++v)
    ASSERT_EQ(RescaleChannel(v, 65535, 32768), RoundHalfUp(v * 32768.0L / 65535.0L)) << v;
  for (uint32_t w = 0; w <= 32768; ++w) {
    ASSERT_EQ(RescaleChannel(w, 32768, 65535), RoundHalfUp(w * 65535.0L / 32768.0L)) << w;
    // A world value survives the trip to a 16-bit file and back.
    ASSERT_EQ(RescaleChannel(RescaleChannel(w, 32768, 65535), 65535, 32768), w) << w;
  }
  EXPECT_EQ(RescaleChannel(16384, 32768, 65535), 32768u);  // the one tie, 32767.5, goes up
  EXPECT_EQ(RescaleChannel(40000, 32768, 65535), 65535u);  // beyond full scale is clamped
}

TEST(PixelConvert, EightBitRescales) {
  for (uint32_t v = 0; v <= 255; ++v) {
    EXPECT_EQ(RescaleChannel(v, 255, 32768), RoundHalfUp(v * 32768.0L / 255.0L));
    EXPECT_EQ(RescaleChannel(RescaleChannel(v, 255, 32768), 32768, 255), v);
  }
}

TEST(PixelConvert, FloatChannels) {
  struct Case {
    float f;
    uint32_t max, expected;
  } cases[] = {
      {0.5f, 255, 128}, {0.5f, 32768, 16384}, {1.0f, 255, 255}, {1.5f, 255, 255},
      {-0.1f, 255, 0},  {NAN, 255, 0},        {INFINITY, 32768, 32768},
      {127.4f / 255.0f, 255, 127},
  };
  for (const Case& c : cases) EXPECT_EQ(FloatToChannel(c.f, c.max), c.expected) << c.f;
  EXPECT_EQ(ChannelToFloat(16384, 32768), 0.5f);
  EXPECT_EQ(ChannelToFloat(51, 255), static_cast<float>(51.0 / 255.0));
}

TEST(PixelConvert, AssociatesAndDissociates) {
  struct Case {
    uint32_t c, a, max, associated, back;
  } cases[] = {
      {200, 128, 255, 100, 199},  // 200 x 128 / 255 = 100.39; 100 x 255 / 128 = 199.2
      {255, 255, 255, 255, 255},
      {10, 0, 255, 0, 0},
      {32768, 16384, 32768, 16384, 32768},
      {1, 1, 32768, 0, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(AssociateChannel(c.c, c.a, c.max), c.associated);
    EXPECT_EQ(DissociateChannel(c.associated, c.a, c.max), c.back);
  }
  EXPECT_EQ(DissociateChannel(200u, 100u, 255u), 255u);  // colour above alpha clamps
  EXPECT_EQ(AssociateChannel(0.5f, 0.25f), 0.125f);
  EXPECT_EQ(DissociateChannel(0.125f, 0.25f), 0.5f);
  EXPECT_EQ(DissociateChannel(0.125f, 0.0f), 0.0f);
}

}  // namespace
