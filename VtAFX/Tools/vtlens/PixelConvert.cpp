#include "PixelConvert.h"

#include <algorithm>

uint32_t RescaleChannel(uint32_t v, uint32_t fromMax, uint32_t toMax) {
  if (fromMax == 0) return 0;
  uint64_t value = std::min(v, fromMax);
  return static_cast<uint32_t>((2 * value * toMax + fromMax) /
                               (2 * static_cast<uint64_t>(fromMax)));
}

uint32_t FloatToChannel(float f, uint32_t max) {
  if (!(f > 0.0f)) return 0;
  if (f >= 1.0f) return max;
  double scaled = static_cast<double>(f) * max + 0.5;
  return std::min(static_cast<uint32_t>(scaled), max);
}

float ChannelToFloat(uint32_t v, uint32_t max) {
  return max == 0 ? 0.0f : static_cast<float>(static_cast<double>(v) / max);
}

uint32_t AssociateChannel(uint32_t c, uint32_t a, uint32_t max) {
  if (max == 0) return 0;
  uint64_t cc = std::min(c, max), aa = std::min(a, max);
  return static_cast<uint32_t>((2 * cc * aa + max) / (2 * static_cast<uint64_t>(max)));
}

uint32_t DissociateChannel(uint32_t c, uint32_t a, uint32_t max) {
  if (a == 0) return 0;
  uint64_t v = (2 * static_cast<uint64_t>(c) * max + a) / (2 * static_cast<uint64_t>(a));
  return static_cast<uint32_t>(std::min<uint64_t>(v, max));
}

float AssociateChannel(float c, float a) { return c * a; }

float DissociateChannel(float c, float a) { return a > 0.0f ? c / a : 0.0f; }
