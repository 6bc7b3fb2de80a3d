#include "OpenCvBaseline.h"

#include <cmath>

#if VTAFX_HAVE_OPENCV
#include <opencv2/calib3d.hpp>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#endif

namespace baseline {

const char* InterpolationName(Interpolation interpolation) {
  switch (interpolation) {
    case Interpolation::kNearest: return "INTER_NEAREST";
    case Interpolation::kLinear: return "INTER_LINEAR";
    case Interpolation::kCubic: return "INTER_CUBIC";
    case Interpolation::kLanczos4: return "INTER_LANCZOS4";
  }
  return "?";
}

#if VTAFX_HAVE_OPENCV

namespace {

int CvInterpolation(Interpolation interpolation) {
  switch (interpolation) {
    case Interpolation::kNearest: return cv::INTER_NEAREST;
    case Interpolation::kLinear: return cv::INTER_LINEAR;
    case Interpolation::kCubic: return cv::INTER_CUBIC;
    case Interpolation::kLanczos4: return cv::INTER_LANCZOS4;
  }
  return cv::INTER_LINEAR;
}

// A view of the image's pixels, no copy: the channel order does not matter to resampling.
cv::Mat View(const harness::Image& image) {
  const int type = image.depth == harness::Depth::k8    ? CV_8UC4
                   : image.depth == harness::Depth::k16 ? CV_16UC4
                                                        : CV_32FC4;
  return cv::Mat(image.height, image.width, type, const_cast<uint8_t*>(image.pixels.data()));
}

void RemapInto(const cv::Mat& input, const cv::Mat& mapX, const cv::Mat& mapY, cv::Mat& output,
               int interpolation) {
  cv::remap(input, output, mapX, mapY, interpolation, cv::BORDER_CONSTANT, cv::Scalar::all(0));
}

}  // namespace

bool Available() { return true; }

void SetThreads(int32_t threads) { cv::setNumThreads(threads); }

struct Remap::State {
  cv::Mat input, mapX, mapY, output;
  int interpolation;
};

Remap::Remap(const harness::Image& input, const float* mapX, const float* mapY, int32_t width,
             int32_t height, Interpolation interpolation)
    : state_(new State) {
  state_->input = View(input);
  state_->mapX = cv::Mat(height, width, CV_32FC1, const_cast<float*>(mapX)).clone();
  state_->mapY = cv::Mat(height, width, CV_32FC1, const_cast<float*>(mapY)).clone();
  state_->output.create(height, width, state_->input.type());
  state_->interpolation = CvInterpolation(interpolation);
}

Remap::~Remap() = default;

void Remap::Run() {
  RemapInto(state_->input, state_->mapX, state_->mapY, state_->output, state_->interpolation);
}

struct Undistort::State {
  cv::Mat input, camera, coefficients, mapX, mapY, output;
  cv::Size size;
  int interpolation;
};

Undistort::Undistort(const harness::Image& input, int32_t width, int32_t height, double k1,
                     double k2, Interpolation interpolation)
    : state_(new State) {
  state_->input = View(input);
  const double w = input.width, h = input.height;
  const double focal = 0.5 * std::sqrt(w * w + h * h);
  // Pixel centres at whole numbers, as in the effect's sampling positions.
  state_->camera =
      (cv::Mat_<double>(3, 3) << focal, 0, 0.5 * (w - 1), 0, focal, 0.5 * (h - 1), 0, 0, 1);
  state_->coefficients = (cv::Mat_<double>(1, 4) << k1, k2, 0, 0);
  state_->size = cv::Size(width, height);
  state_->output.create(height, width, state_->input.type());
  state_->interpolation = CvInterpolation(interpolation);
}

Undistort::~Undistort() = default;

void Undistort::MakeMap() {
  cv::initUndistortRectifyMap(state_->camera, state_->coefficients, cv::noArray(), state_->camera,
                              state_->size, CV_32FC1, state_->mapX, state_->mapY);
}

void Undistort::Run() {
  MakeMap();
  RemapInto(state_->input, state_->mapX, state_->mapY, state_->output, state_->interpolation);
}

float Undistort::MapX(int32_t x, int32_t y) const { return state_->mapX.at<float>(y, x); }
float Undistort::MapY(int32_t x, int32_t y) const { return state_->mapY.at<float>(y, x); }

#else  // built without OpenCV

bool Available() { return false; }
void SetThreads(int32_t) {}

struct Remap::State {};
Remap::Remap(const harness::Image&, const float*, const float*, int32_t, int32_t, Interpolation) {}
Remap::~Remap() = default;
void Remap::Run() {}

struct Undistort::State {};
Undistort::Undistort(const harness::Image&, int32_t, int32_t, double, double, Interpolation) {}
Undistort::~Undistort() = default;
void Undistort::MakeMap() {}
void Undistort::Run() {}
float Undistort::MapX(int32_t, int32_t) const { return 0.0f; }
float Undistort::MapY(int32_t, int32_t) const { return 0.0f; }

#endif

}  // namespace baseline
