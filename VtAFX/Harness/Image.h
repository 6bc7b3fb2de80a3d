// Images as the harness's callers hold them: tightly packed rows of the host's ARGB pixels
// in one of the three depths, with the layer position of their top-left pixel.
#pragma once

#include <cstdint>
#include <vector>

#include "AE_Effect.h"

namespace harness {

// Bits per channel of a world: 8 and 16 are integers (16-bit full scale is 32768), 32 float.
enum class Depth : int32_t { k8 = 8, k16 = 16, kFloat = 32 };

// Bytes of one pixel: 4, 8 or 16.
int32_t PixelBytes(Depth depth);

// The host's pixel-format code of a depth ('argb', 'ae16', 'ae32').
PF_PixelFormat PixelFormatOf(Depth depth);

struct Image {
  int32_t width = 0;
  int32_t height = 0;
  Depth depth = Depth::k8;
  int32_t originX = 0;  // layer position of pixel (0, 0)
  int32_t originY = 0;
  std::vector<uint8_t> pixels;  // height rows of width * PixelBytes(depth) bytes, alpha first
};

// A zero-filled (transparent black) image of the given size and depth at origin (0, 0).
// Negative sizes count as 0.
Image MakeImage(int32_t width, int32_t height, Depth depth);

// Pixel (x, y) of `image`, typed for its depth; the caller picks the type that matches
// (PF_Pixel8, PF_Pixel16 or PF_PixelFloat) and keeps x, y inside the image.
template <typename Pixel>
Pixel* PixelAt(Image& image, int32_t x, int32_t y) {
  return reinterpret_cast<Pixel*>(image.pixels.data() +
                                  (size_t(y) * size_t(image.width) + size_t(x)) * sizeof(Pixel));
}
template <typename Pixel>
const Pixel* PixelAt(const Image& image, int32_t x, int32_t y) {
  return reinterpret_cast<const Pixel*>(
      image.pixels.data() + (size_t(y) * size_t(image.width) + size_t(x)) * sizeof(Pixel));
}

}  // namespace harness
