#include "ResidualPlot.h"

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "ToolError.h"

namespace {

constexpr int kPlotSize = 1000;  // the frame's longer side in the picture
constexpr int kBarHeight = 44;

// A length in three significant digits.
std::string Number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3g", value);
  return text;
}

}  // namespace

void WriteResidualPlot(const std::string& path, const std::vector<PointResidual>& residuals,
                       int width, int height) {
  const double scale = double(kPlotSize) / std::max(width, height);
  const int w = std::max(1, int(std::lround(width * scale))),
            h = std::max(1, int(std::lround(height * scale)));
  cv::Mat plot(h + kBarHeight, std::max(w, 480), CV_8UC3, cv::Scalar(24, 24, 24));
  cv::rectangle(plot, cv::Rect(0, 0, w, h), cv::Scalar(60, 60, 60), 1);

  double largest = 0;
  for (const PointResidual& r : residuals)
    if (r.used) largest = std::max(largest, std::hypot(r.ex, r.ey));
  // The longest arrow spans a twentieth of the picture, whatever the residuals' size.
  const double gain = largest > 0 ? 0.05 * std::max(w, h) / (largest * scale) : 1.0;
  cv::Mat ramp(1, 256, CV_8UC1);
  for (int i = 0; i < 256; ++i) ramp.at<uint8_t>(0, i) = static_cast<uint8_t>(i);
  cv::Mat colours;
  cv::applyColorMap(ramp, colours, cv::COLORMAP_VIRIDIS);
  auto colourOf = [&](double length) {
    int i = largest > 0 ? int(std::lround(255 * std::min(1.0, length / largest))) : 0;
    cv::Vec3b c = colours.at<cv::Vec3b>(0, i);
    return cv::Scalar(c[0], c[1], c[2]);
  };
  for (const PointResidual& r : residuals) {
    const cv::Point2d at(r.x * scale, r.y * scale);
    if (!r.used) {
      cv::drawMarker(plot, at, cv::Scalar(0, 0, 200), cv::MARKER_TILTED_CROSS, 5, 1, cv::LINE_AA);
      continue;
    }
    const cv::Point2d to = at + cv::Point2d(r.ex, r.ey) * (gain * scale);
    cv::arrowedLine(plot, at, to, colourOf(std::hypot(r.ex, r.ey)), 1, cv::LINE_AA, 0, 0.25);
  }

  const int barWidth = 256, x0 = 10, y0 = h + 8;
  for (int i = 0; i < barWidth; ++i) {
    cv::Vec3b c = colours.at<cv::Vec3b>(0, i);
    cv::line(plot, {x0 + i, y0}, {x0 + i, y0 + 10}, cv::Scalar(c[0], c[1], c[2]));
  }
  const cv::Scalar text(220, 220, 220);
  cv::putText(plot, "0", {x0, y0 + 26}, cv::FONT_HERSHEY_SIMPLEX, 0.4, text, 1, cv::LINE_AA);
  cv::putText(plot, Number(largest) + " px", {x0 + barWidth - 40, y0 + 26},
              cv::FONT_HERSHEY_SIMPLEX, 0.4, text, 1, cv::LINE_AA);
  cv::putText(plot, "arrows x" + Number(gain), {x0 + barWidth + 16, y0 + 10},
              cv::FONT_HERSHEY_SIMPLEX, 0.4, text, 1, cv::LINE_AA);
  try {
    if (!cv::imwrite(path, plot, {cv::IMWRITE_PNG_COMPRESSION, 9}))
      throw ToolError("cannot write the residual plot \"" + path + "\"");
  } catch (const cv::Exception& e) {
    throw ToolError("cannot write the residual plot \"" + path + "\": " + e.what());
  }
}
