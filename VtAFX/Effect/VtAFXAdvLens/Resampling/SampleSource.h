// The description of an input world, and of the filter's footprint and weights, that the
// batched samplers read from.
#pragma once

#include <cstdint>

struct FilterKernelTable;

// Filled once per row by the caller. Plain fixed-width types stand in for the host's: the
// pixel pointer is the world's pixel (0, 0) as bytes, `rowBytes` is its `rowbytes`
// (padding included), `width` and `height` its size. Pixels have four channels, alpha
// first in memory.
struct SampleSource {
  const uint8_t* pixels;   // address of pixel (0, 0)
  int32_t rowBytes;        // bytes from one row to the next
  int32_t bytesPerPixel;   // 4, 8 or 16
  int32_t bitsPerChannel;  // 8 (unsigned bytes), 16 (unsigned, full scale 32768), 32 (floats)
  int32_t width;           // pixels per row
  int32_t height;          // rows
  float colourMax;         // upper clamp of red, green, blue in SampleKernel
  float alphaMax;          // upper clamp of alpha in SampleKernel
  int32_t tapsX;           // kernel footprint in pixels (4 or 6); SampleKernel only
  int32_t tapsY;
  int32_t tapOffsetX;  // the first tap lies this many pixels before floor(position)
  int32_t tapOffsetY;
  float phases;       // sub-pixel phases per pixel of the weight table (64)
  float blockStride;  // floats from one phase block to the next: the table's (16 or 40)
  const FilterKernelTable* weights;  // the weight table; read only
};

// The channel type of the source's format: 8, 16 or 32 for a matching pixel size, 0 when the
// pair of `bitsPerChannel` and `bytesPerPixel` is not one of the three formats.
inline int32_t SourceChannelBits(const SampleSource& source) {
  const int32_t bits = source.bitsPerChannel;
  if ((bits == 8 || bits == 16 || bits == 32) && source.bytesPerPixel == bits / 2) return bits;
  return 0;
}
