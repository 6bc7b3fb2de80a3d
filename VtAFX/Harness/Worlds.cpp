#include <algorithm>
#include <cstring>

#include "AE_EffectPixelFormat.h"
#include "HostScope.h"
#include "RowPool.h"

namespace harness {

int32_t PixelBytes(Depth depth) {
  switch (depth) {
    case Depth::k8: return 4;
    case Depth::k16: return 8;
    case Depth::kFloat: return 16;
  }
  return 4;
}

PF_PixelFormat PixelFormatOf(Depth depth) {
  switch (depth) {
    case Depth::k8: return PF_PixelFormat_ARGB32;
    case Depth::k16: return PF_PixelFormat_ARGB64;
    case Depth::kFloat: return PF_PixelFormat_ARGB128;
  }
  return PF_PixelFormat_INVALID;
}

Image MakeImage(int32_t width, int32_t height, Depth depth) {
  Image image;
  image.width = std::max(width, 0);
  image.height = std::max(height, 0);
  image.depth = depth;
  image.pixels.assign(size_t(image.width) * size_t(image.height) * size_t(PixelBytes(depth)), 0);
  return image;
}

namespace {

// The world of MakeWorld and MakeWorldOver: each row holds `image`'s pixels where the
// image covers it (none without an image) and `fill` elsewhere, then its padding, every
// byte written once: a frame's layer is memory-bound work the host does on every render.
std::unique_ptr<World> BuildWorld(int32_t width, int32_t height, Depth depth, int32_t padding,
                                  uint8_t fill, uint8_t paddingByte, const Image* image,
                                  int32_t originX, int32_t originY, WorldMemory* memory,
                                  RowPool* pool) {
  std::unique_ptr<World> w(new World);
  width = std::max(width, 0);
  height = std::max(height, 0);
  padding = std::max(padding, 0);
  const size_t pixel = size_t(PixelBytes(depth));
  const size_t rowbytes = (size_t(width) + size_t(padding)) * pixel;
  const size_t rowPixels = size_t(width) * pixel;
  w->size = height > 0 ? (size_t(height) - 1) * rowbytes + rowPixels : 0;
  // A world without pixels still gets an address, as the host never hands out null data.
  if (memory != nullptr) {
    w->bytes = memory->Take(w->size);
    w->memory = memory;
  } else {
    w->bytes.reset(new uint8_t[std::max<size_t>(w->size, 1)]);
  }
  // The columns the image covers, in world pixels; empty without an image.
  int64_t x0 = 0, x1 = 0;
  if (image != nullptr) {
    x0 = std::max<int64_t>(0, -int64_t(originX));
    x1 = std::min<int64_t>(width, int64_t(image->width) - originX);
  }
  uint8_t* bytes = w->bytes.get();
  ShareRows(pool, height, [=](int32_t y) {
    uint8_t* row = bytes + size_t(y) * rowbytes;
    const int64_t sy = int64_t(y) + originY;
    if (x1 > x0 && sy >= 0 && sy < image->height) {
      const size_t left = size_t(x0) * pixel, right = size_t(x1) * pixel;
      std::memset(row, fill, left);
      std::memcpy(
          row + left,
          image->pixels.data() + (size_t(sy) * size_t(image->width) + size_t(x0 + originX)) * pixel,
          right - left);
      std::memset(row + right, fill, rowPixels - right);
    } else {
      std::memset(row, fill, rowPixels);
    }
    if (y + 1 < height) std::memset(row + rowPixels, paddingByte, rowbytes - rowPixels);
  });
  w->depth = depth;
  PF_EffectWorld& world = w->world;
  world.world_flags = PF_WorldFlag_WRITEABLE | (depth == Depth::k16 ? PF_WorldFlag_DEEP : 0);
  world.data = reinterpret_cast<PF_PixelPtr>(w->bytes.get());
  world.rowbytes = A_long(rowbytes);
  world.width = width;
  world.height = height;
  world.origin_x = originX;
  world.origin_y = originY;
  world.extent_hint = PF_UnionableRect{0, 0, width, height};
  world.pix_aspect_ratio = PF_RationalScale{1, 1};
  return w;
}

}  // namespace

std::unique_ptr<World> MakeWorld(int32_t width, int32_t height, Depth depth, int32_t padding,
                                 uint8_t fill, uint8_t paddingByte, WorldMemory* memory,
                                 RowPool* pool) {
  return BuildWorld(width, height, depth, padding, fill, paddingByte, nullptr, 0, 0, memory, pool);
}

std::unique_ptr<World> MakeWorldOver(const Image& image, int32_t originX, int32_t originY,
                                     int32_t width, int32_t height, int32_t padding, uint8_t fill,
                                     uint8_t paddingByte, WorldMemory* memory, RowPool* pool) {
  return BuildWorld(width, height, image.depth, padding, fill, paddingByte, &image, originX,
                    originY, memory, pool);
}

Image WorldToImage(const World& world) {
  Image image;
  CopyWorldToImage(world, image);
  return image;
}

void CopyWorldToImage(const World& world, Image& image, RowPool* pool) {
  const PF_EffectWorld& w = world.world;
  image.width = std::max(w.width, 0);
  image.height = std::max(w.height, 0);
  image.depth = world.depth;
  image.originX = w.origin_x;
  image.originY = w.origin_y;
  const size_t rowPixels = size_t(image.width) * size_t(PixelBytes(world.depth));
  // Every byte is written below, so storage the image already has needs no clearing.
  image.pixels.resize(size_t(image.height) * rowPixels);
  // An image of width 0 has no pixel storage at all: memcpy must not see its null pointer.
  if (rowPixels == 0) return;
  ShareRows(pool, image.height, [&](int32_t y) {
    std::memcpy(image.pixels.data() + size_t(y) * rowPixels,
                world.bytes.get() + size_t(y) * size_t(w.rowbytes), rowPixels);
  });
}

bool PaddingIntact(const World& world, uint8_t paddingByte) {
  const PF_EffectWorld& w = world.world;
  const size_t rowPixels = size_t(w.width) * size_t(PixelBytes(world.depth));
  for (int32_t y = 0; y + 1 < w.height; ++y) {
    const uint8_t* pad = world.bytes.get() + size_t(y) * size_t(w.rowbytes) + rowPixels;
    for (size_t i = 0; i < size_t(w.rowbytes) - rowPixels; ++i) {
      if (pad[i] != paddingByte) return false;
    }
  }
  return true;
}

}  // namespace harness
