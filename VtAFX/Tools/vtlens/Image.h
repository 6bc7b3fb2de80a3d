// An image as the host's worlds hold it: rows top to bottom, pixels of four channels in
// the host's order alpha, red, green, blue, at one of three depths, placed in layer
// coordinates by the position of its first pixel.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

constexpr int kDepth8 = 8;
constexpr int kDepth16 = 16;
constexpr int kDepthFloat = 32;

// Full scale of a world channel at `depth`: 255, 32768 (the host's 16-bit scale), 1.
uint32_t WorldMax(int depth);

struct Image {
  int32_t width = 0;
  int32_t height = 0;
  int depth = kDepth8;
  int32_t originX = 0;  // layer position of pixel (0, 0)
  int32_t originY = 0;
  // Exactly one of these holds width x height x 4 channels, chosen by `depth`.
  std::vector<uint8_t> pixels8;
  std::vector<uint16_t> pixels16;
  std::vector<float> pixelsFloat;
};

// A transparent (all zero) image of the given size and depth at the layer origin.
Image MakeImage(int32_t width, int32_t height, int depth);

// Index of channel `c` (0 alpha, 1 red, 2 green, 3 blue) of pixel (x, y) in the pixel array.
inline size_t ChannelIndex(const Image& image, int32_t x, int32_t y, int c) {
  return (static_cast<size_t>(y) * static_cast<size_t>(image.width) + static_cast<size_t>(x)) * 4 +
         static_cast<size_t>(c);
}

// Channel `c` of pixel (x, y) as a float of full scale 1.
float ChannelAsFloat(const Image& image, int32_t x, int32_t y, int c);

// Sets channel `c` of pixel (x, y) from a float of full scale 1 (rounded for integer depths).
void SetChannelFromFloat(Image& image, int32_t x, int32_t y, int c, float value);

// A copy of `image` at another depth, channel by channel (integers rescaled exactly with
// rounding half up, floats clamped to [0, 1] when they become integers).
Image ConvertDepth(const Image& image, int depth);
