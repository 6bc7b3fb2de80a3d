#include "StMap.h"

#include <algorithm>
#include <atomic>
#include <thread>

void StCoordinates(double x, double y, int32_t width, int32_t height, float& s, float& t) {
  s = static_cast<float>((x + 0.5) / width);
  t = static_cast<float>(1.0 - (y + 0.5) / height);
}

Image MakeStMap(const RenderContext& context, int32_t layerWidth, int32_t layerHeight,
                int threads) {
  const PF_LRect& extent = context.outputRect;
  Image map = MakeImage(extent.right - extent.left, extent.bottom - extent.top, kDepthFloat);
  map.originX = extent.left;
  map.originY = extent.top;
  std::atomic<int32_t> nextRow{0};
  auto work = [&] {
    std::vector<MappedPoint> outputs(static_cast<size_t>(map.width));
    for (int32_t row = nextRow++; row < map.height; row = nextRow++) {
      for (int32_t x = 0; x < map.width; ++x)
        outputs[static_cast<size_t>(x)] = MappedPoint{static_cast<double>(extent.left + x),
                                                      static_cast<double>(extent.top + row), 1};
      std::vector<MappedPoint> sources = MapToSource(context, outputs);
      for (int32_t x = 0; x < map.width; ++x) {
        const MappedPoint& p = sources[static_cast<size_t>(x)];
        if (!p.valid) continue;  // stays transparent
        float s = 0, t = 0;
        StCoordinates(p.x, p.y, layerWidth, layerHeight, s, t);
        size_t i = ChannelIndex(map, x, row, 0);
        map.pixelsFloat[i] = 1.0f;
        map.pixelsFloat[i + 1] = s;
        map.pixelsFloat[i + 2] = t;
      }
    }
  };
  std::vector<std::thread> pool;
  for (int i = 1; i < std::max(1, threads); ++i) pool.emplace_back(work);
  work();
  for (std::thread& t : pool) t.join();
  return map;
}
