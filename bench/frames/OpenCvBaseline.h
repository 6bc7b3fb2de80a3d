// The same work done by OpenCV, as the yardstick the frame benchmarks print their ratios
// against. Nothing of OpenCV shows here, so the benchmarks build (and print no ratios)
// where it is not installed.
#pragma once

#include <cstdint>
#include <memory>

#include "Image.h"

namespace baseline {

// False when the benchmarks were built without OpenCV: every operation below then does
// nothing.
bool Available();

enum class Interpolation { kNearest, kLinear, kCubic, kLanczos4 };

// "INTER_NEAREST" and so on.
const char* InterpolationName(Interpolation interpolation);

// Threads of OpenCV's parallel loops from now on.
void SetThreads(int32_t threads);

// cv::remap of `input` (four channels of the image's depth) through per-pixel source
// positions, constant transparent border, into an output held here. The maps are copied.
class Remap {
 public:
  Remap(const harness::Image& input, const float* mapX, const float* mapY, int32_t width,
        int32_t height, Interpolation interpolation);
  ~Remap();
  void Run();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// The radial model r' = r (1 + k1 r^2 + k2 r^4) about the image centre, radius measured in
// half diagonals, which is how the effect's radial 4th-order model measures it, so k1 and k2
// are the effect's C2 and C4: MakeMap is cv::initUndistortRectifyMap (float maps) for an
// output of width x height, Run that and cv::remap of `input` through its result.
class Undistort {
 public:
  Undistort(const harness::Image& input, int32_t width, int32_t height, double k1, double k2,
            Interpolation interpolation);
  ~Undistort();
  void MakeMap();
  void Run();
  // Source position of output pixel (x, y) from the last MakeMap or Run.
  float MapX(int32_t x, int32_t y) const;
  float MapY(int32_t x, int32_t y) const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace baseline
