#include "Image.h"

#include "PixelConvert.h"

uint32_t WorldMax(int depth) {
  if (depth == kDepth8) return 255;
  if (depth == kDepth16) return 32768;
  return 1;
}

Image MakeImage(int32_t width, int32_t height, int depth) {
  Image image;
  image.width = width;
  image.height = height;
  image.depth = depth;
  size_t n = static_cast<size_t>(width) * static_cast<size_t>(height) * 4;
  if (depth == kDepth8)
    image.pixels8.assign(n, 0);
  else if (depth == kDepth16)
    image.pixels16.assign(n, 0);
  else
    image.pixelsFloat.assign(n, 0.0f);
  return image;
}

float ChannelAsFloat(const Image& image, int32_t x, int32_t y, int c) {
  size_t i = ChannelIndex(image, x, y, c);
  if (image.depth == kDepth8) return ChannelToFloat(image.pixels8[i], 255);
  if (image.depth == kDepth16) return ChannelToFloat(image.pixels16[i], 32768);
  return image.pixelsFloat[i];
}

void SetChannelFromFloat(Image& image, int32_t x, int32_t y, int c, float value) {
  size_t i = ChannelIndex(image, x, y, c);
  if (image.depth == kDepth8)
    image.pixels8[i] = static_cast<uint8_t>(FloatToChannel(value, 255));
  else if (image.depth == kDepth16)
    image.pixels16[i] = static_cast<uint16_t>(FloatToChannel(value, 32768));
  else
    image.pixelsFloat[i] = value;
}

Image ConvertDepth(const Image& image, int depth) {
  Image out = MakeImage(image.width, image.height, depth);
  out.originX = image.originX;
  out.originY = image.originY;
  size_t n = static_cast<size_t>(image.width) * static_cast<size_t>(image.height) * 4;
  uint32_t fromMax = WorldMax(image.depth), toMax = WorldMax(depth);
  for (size_t i = 0; i < n; ++i) {
    if (image.depth == kDepthFloat) {
      float f = image.pixelsFloat[i];
      if (depth == kDepthFloat)
        out.pixelsFloat[i] = f;
      else if (depth == kDepth8)
        out.pixels8[i] = static_cast<uint8_t>(FloatToChannel(f, toMax));
      else
        out.pixels16[i] = static_cast<uint16_t>(FloatToChannel(f, toMax));
      continue;
    }
    uint32_t v = image.depth == kDepth8 ? image.pixels8[i] : image.pixels16[i];
    if (depth == kDepthFloat)
      out.pixelsFloat[i] = ChannelToFloat(v, fromMax);
    else if (depth == kDepth8)
      out.pixels8[i] = static_cast<uint8_t>(RescaleChannel(v, fromMax, toMax));
    else
      out.pixels16[i] = static_cast<uint16_t>(RescaleChannel(v, fromMax, toMax));
  }
  return out;
}
