#include <gtest/gtest.h>

#include "HostScope.h"

using namespace harness;

// Rows are padded, the buffer ends with the last pixel, and copies take the part of the
// image the world covers (the rest keeps its fill); empty worlds still have an address.
TEST(Worlds, PaddedRowsCopiesAndEmptyWorlds) {
  const std::unique_ptr<World> w = MakeWorld(5, 3, Depth::k16, 3, 0x11, 0xA5);
  EXPECT_EQ(w->world.rowbytes, (5 + 3) * 8);
  EXPECT_EQ(w->size, size_t(2 * 64 + 5 * 8));
  EXPECT_EQ(w->world.world_flags, PF_WorldFlag_DEEP | PF_WorldFlag_WRITEABLE);
  for (size_t i = 0; i < w->size; ++i) EXPECT_EQ(w->bytes[i], i % 64 >= 40 ? 0xA5 : 0x11) << i;
  EXPECT_TRUE(PaddingIntact(*w, 0xA5));
  w->bytes[64 + 40] = 0;  // first padding byte of row 1
  EXPECT_FALSE(PaddingIntact(*w, 0xA5));

  Image image = MakeImage(6, 4, Depth::k8);
  for (size_t i = 0; i < image.pixels.size(); ++i) image.pixels[i] = uint8_t(i);
  const std::unique_ptr<World> part = MakeWorld(5, 4, Depth::k8, 2, 0xEE, 0xA5);
  part->world.origin_x = 2;
  part->world.origin_y = 1;
  CopyImageToWorld(image, *part);
  const Image back = WorldToImage(*part);
  EXPECT_EQ(back.originX * 10 + back.originY, 21);
  for (int32_t y = 0; y < 4; ++y) {
    for (int32_t x = 0; x < 5; ++x) {
      const bool inside = x + 2 < 6 && y + 1 < 4;
      EXPECT_EQ(PixelAt<PF_Pixel8>(back, x, y)->red,
                inside ? uint8_t(((y + 1) * 6 + x + 2) * 4 + 1) : 0xEE)
          << x << "," << y;
    }
  }
  EXPECT_TRUE(PaddingIntact(*part, 0xA5));

  for (auto size : {std::make_pair(0, 0), std::make_pair(0, 7), std::make_pair(-3, 2)}) {
    const std::unique_ptr<World> empty = MakeWorld(size.first, size.second, Depth::kFloat, 3, 0, 0);
    EXPECT_NE(empty->world.data, nullptr);
    EXPECT_EQ(empty->world.width, 0);
    EXPECT_TRUE(WorldToImage(*empty).pixels.empty());
  }
}
