#include <gtest/gtest.h>

#include <vector>

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
  const auto red = [&back](int32_t x, int32_t y) {
    return int(PixelAt<PF_Pixel8>(back, x, y)->red);
  };
  // (0, 0) and (3, 2) are the image's (2, 1) and (5, 3); (4, 0) and (0, 3) lie outside it.
  EXPECT_EQ(
      std::vector<int>({back.originX, back.originY, red(0, 0), red(3, 2), red(4, 0), red(0, 3)}),
      std::vector<int>({2, 1, (1 * 6 + 2) * 4 + 1, (3 * 6 + 5) * 4 + 1, 0xEE, 0xEE}));
  EXPECT_TRUE(PaddingIntact(*part, 0xA5));

  for (auto size : {std::make_pair(0, 0), std::make_pair(0, 7), std::make_pair(-3, 2)}) {
    const std::unique_ptr<World> empty = MakeWorld(size.first, size.second, Depth::kFloat, 3, 0, 0);
    EXPECT_NE(empty->world.data, nullptr);
    EXPECT_EQ(empty->world.width, 0);
    EXPECT_TRUE(WorldToImage(*empty).pixels.empty());
  }
}
