#include "TestChart.h"

#include <cstdlib>

namespace {

struct Rgb {
  float r, g, b;
};

Rgb ChartColour(int32_t x, int32_t y, int32_t width, int32_t height) {
  int32_t rampTop = height - height / 5;
  if (y >= rampTop) {
    // Four ramps, dark on the left to full on the right.
    int32_t band = (y - rampTop) * 4 / (height - rampTop);
    float v = width > 1 ? static_cast<float>(x) / static_cast<float>(width - 1) : 0.0f;
    switch (band) {
      case 0: return {v, 0, 0};
      case 1: return {0, v, 0};
      case 2: return {0, 0, v};
      default: return {v, v, v};
    }
  }
  int32_t cx = width / 2, cy = height / 2;
  if ((std::abs(x - cx) <= 1 && std::abs(y - cy) < 60) ||
      (std::abs(y - cy) <= 1 && std::abs(x - cx) < 60))
    return {1.0f, 0.2f, 0.1f};
  if (x % 120 < 3 || y % 120 < 3) return {1, 1, 1};    // bold grid
  if (x % 30 == 15 || y % 30 == 15) return {0, 0, 0};  // fine lines
  bool light = ((x / 60) + (y / 60)) % 2 == 0;
  float v = light ? 0.75f : 0.3f;
  return {v, v, v * 1.1f};
}

}  // namespace

Image MakeTestChart(int32_t width, int32_t height, int depth) {
  Image chart = MakeImage(width, height, depth);
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) {
      Rgb c = ChartColour(x, y, width, height);
      SetChannelFromFloat(chart, x, y, 0, 1.0f);
      SetChannelFromFloat(chart, x, y, 1, c.r);
      SetChannelFromFloat(chart, x, y, 2, c.g);
      SetChannelFromFloat(chart, x, y, 3, c.b);
    }
  }
  return chart;
}
