#include "SolveSources.h"

#include <OpenImageIO/imageio.h>
#include <lensfun/lensfun.h>
#include <opencv2/calib3d.hpp>
#include <opencv2/features2d.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <fstream>
#include <memory>
#include <sstream>

#include "Controls.h"
#include "ImageFile.h"
#include "ToolError.h"

// lensfun's database keeps a glib buffer until the process ends; under the leak checker of
// sanitizer builds that would turn every lensfun solve into a failure.
extern "C" const char* __lsan_default_suppressions() { return "leak:libglib-2.0.so\n"; }

namespace {

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// The photo as grey in 0..1, kept in float so that 16-bit and float photos keep their
// precision for the corner refinement.
cv::Mat GreyOf(const Image& image) {
  cv::Mat grey(image.height, image.width, CV_32FC1);
  for (int32_t y = 0; y < image.height; ++y)
    for (int32_t x = 0; x < image.width; ++x) {
      const float v = 0.299f * ChannelAsFloat(image, x, y, 1) +
                      0.587f * ChannelAsFloat(image, x, y, 2) +
                      0.114f * ChannelAsFloat(image, x, y, 3);
      grey.at<float>(y, x) = std::min(std::max(v, 0.0f), 1.0f);
    }
  return grey;
}

// Moves a chessboard corner to the saddle point of the image's intensity. A corner with its
// four squares looks the same turned half a turn about it, so the blurred intensity is
// point-symmetric there and a quadratic fitted over a window centred on the corner has its
// saddle exactly on it. The window is resampled around each new estimate until the step is
// tiny. (The gradient-orthogonality refinement that OpenCV offers is pulled toward the pixel
// grid by up to a tenth of a pixel on sharp edges; this stays within about a hundredth.)
// Returns false, leaving `corner` as it was, where the window leaves the image or the fit
// is no saddle.
class SaddleRefiner {
 public:
  // `blurred` smooth at the pixel scale; `radius` the window's half size in pixels.
  SaddleRefiner(const cv::Mat& blurred, int radius) : image_(blurred), radius_(radius) {
    // Weighted least squares over fixed offsets: the solving matrix is the same for every
    // window, q = (M'WM)^-1 M'W v for the coefficients of xx, xy, yy, x, y, 1.
    const int side = 2 * radius + 1;
    cv::Mat m(side * side, 6, CV_64F), w(side * side, side * side, CV_64F, cv::Scalar(0));
    for (int dy = -radius, k = 0; dy <= radius; ++dy)
      for (int dx = -radius; dx <= radius; ++dx, ++k) {
        const double row[6] = {double(dx * dx), double(dx * dy), double(dy * dy),
                               double(dx),      double(dy),      1};
        for (int c = 0; c < 6; ++c) m.at<double>(k, c) = row[c];
        w.at<double>(k, k) = std::exp(-2.0 * (dx * dx + dy * dy) / double(radius * radius));
      }
    solve_ = (m.t() * w * m).inv(cv::DECOMP_SVD) * m.t() * w;
  }

  bool Refine(cv::Point2f& corner) const {
    double x = corner.x, y = corner.y;
    cv::Mat values(solve_.cols, 1, CV_64F);
    for (int iteration = 0; iteration < 30; ++iteration) {
      if (!(x - radius_ >= 0 && y - radius_ >= 0 && x + radius_ + 1 < image_.cols &&
            y + radius_ + 1 < image_.rows))
        return false;
      for (int dy = -radius_, k = 0; dy <= radius_; ++dy)
        for (int dx = -radius_; dx <= radius_; ++dx, ++k)
          values.at<double>(k) = Sample(x + dx, y + dy);
      const cv::Mat q = solve_ * values;
      const double a = q.at<double>(0), b = q.at<double>(1), c = q.at<double>(2),
                   d = q.at<double>(3), e = q.at<double>(4);
      const double det = 4 * a * c - b * b;  // below 0 for a saddle
      if (!(det < 0)) return false;
      const double sx = std::max(-1.0, std::min(1.0, (b * e - 2 * c * d) / det));
      const double sy = std::max(-1.0, std::min(1.0, (b * d - 2 * a * e) / det));
      x += sx;
      y += sy;
      if (!(std::hypot(x - double(corner.x), y - double(corner.y)) <= radius_)) return false;
      if (std::hypot(sx, sy) < 1e-4) {
        corner = cv::Point2f(float(x), float(y));
        return true;
      }
    }
    return false;
  }

 private:
  // Bilinear; the caller keeps (x, y) at least one pixel inside the image.
  double Sample(double x, double y) const {
    const int i = int(std::floor(x)), j = int(std::floor(y));
    const double fx = x - i, fy = y - j;
    const float* top = image_.ptr<float>(j) + i;
    const float* bottom = image_.ptr<float>(j + 1) + i;
    return (1 - fy) * ((1 - fx) * double(top[0]) + fx * double(top[1])) +
           fy * ((1 - fx) * double(bottom[0]) + fx * double(bottom[1]));
  }

  const cv::Mat& image_;
  int radius_;
  cv::Mat solve_;
};

// The chart's planar layout in OpenCV's order (row by row), centred and scaled to about
// unit size so that the homography's eight numbers are of comparable magnitude.
std::vector<cv::Point2d> ChartLayout(int columns, int rows, ChartPattern pattern) {
  std::vector<cv::Point2d> layout;
  for (int i = 0; i < rows; ++i)
    for (int j = 0; j < columns; ++j)
      layout.emplace_back(pattern == ChartPattern::AsymmetricCircles ? 2 * j + i % 2 : j, i);
  double maxX = 0, maxY = 0;
  for (const cv::Point2d& p : layout) {
    maxX = std::max(maxX, p.x);
    maxY = std::max(maxY, p.y);
  }
  const double scale = 2 / std::max({maxX, maxY, 1.0});
  for (cv::Point2d& p : layout) p = {(p.x - 0.5 * maxX) * scale, (p.y - 0.5 * maxY) * scale};
  return layout;
}

// Finds the grid in the grey photo; on failure `seen` says how much of it was there.
bool FindGridOrThrow(const cv::Mat& grey, cv::Size size, ChartPattern pattern,
                     std::vector<cv::Point2f>& found, size_t& seen) {
  cv::Mat grey8;
  grey.convertTo(grey8, CV_8U, 255.0);
  if (pattern == ChartPattern::Chessboard) {
    // The sector-based finder copes with uneven light, blur and strong perspective.
    if (cv::findChessboardCornersSB(
            grey8, size, found,
            cv::CALIB_CB_NORMALIZE_IMAGE | cv::CALIB_CB_EXHAUSTIVE | cv::CALIB_CB_ACCURACY)) {
      // It places corners to a few tenths of a pixel. The saddle refinement wants the
      // intensity smooth over a pixel or two, and its window well inside the smallest square.
      double spacing = 1e9;
      for (int i = 0; i < size.height; ++i)
        for (int j = 0; j + 1 < size.width; ++j) {
          const cv::Point2f d =
              found[size_t(i * size.width + j + 1)] - found[size_t(i * size.width + j)];
          spacing = std::min(spacing, std::hypot(double(d.x), double(d.y)));
        }
      const int radius = std::max(1, std::min(3, int(spacing / 4)));
      cv::Mat blurred;
      cv::GaussianBlur(grey, blurred, cv::Size(0, 0), 0.5 * radius);
      const SaddleRefiner refiner(blurred, radius);
      for (cv::Point2f& corner : found) refiner.Refine(corner);
      return true;
    }
    std::vector<cv::Point2f> partial;
    cv::findChessboardCorners(grey8, size, partial,
                              cv::CALIB_CB_ADAPTIVE_THRESH | cv::CALIB_CB_NORMALIZE_IMAGE);
    seen = partial.size();
    return false;
  }
  const int flags =
      pattern == ChartPattern::Circles ? cv::CALIB_CB_SYMMETRIC_GRID : cv::CALIB_CB_ASYMMETRIC_GRID;
  if (cv::findCirclesGrid(grey8, size, found, flags)) return true;
  std::vector<cv::KeyPoint> blobs;
  cv::SimpleBlobDetector::create()->detect(grey8, blobs);
  seen = blobs.size();
  return false;
}

// As FindGridOrThrow, but a photo too small for the finders' windows, on which they assert
// instead of searching, is one without the grid.
bool FindGrid(const cv::Mat& grey, cv::Size size, ChartPattern pattern,
              std::vector<cv::Point2f>& found, size_t& seen) {
  try {
    return FindGridOrThrow(grey, size, pattern, found, seen);
  } catch (const cv::Exception&) {
    found.clear();
    seen = 0;
    return false;
  }
}

}  // namespace

Correspondences ReadPointPairs(const std::string& path) {
  std::ifstream in(path);
  if (!in) throw ToolError("cannot read the points file \"" + path + "\"");
  Correspondences data;
  std::string line;
  for (long number = 1; std::getline(in, line); ++number) {
    size_t first = line.find_first_not_of(" \t\r");
    if (first == std::string::npos || line[first] == '#') continue;
    std::istringstream fields(line);
    std::string word[5];
    double v[4];
    bool ok = true;
    for (int k = 0; k < 4; ++k) ok = ok && (fields >> word[k]) && ParseNumber(word[k], v[k]);
    if (!ok || (fields >> word[4]))
      throw UsageError(path + ":" + std::to_string(number) +
                       ": expected four numbers \"xu yu xd yd\", not \"" + line + "\"");
    Correspondence c;
    c.ux = v[0];
    c.uy = v[1];
    c.dx = v[2];
    c.dy = v[3];
    data.points.push_back(c);
  }
  if (in.bad()) throw ToolError("cannot read the points file \"" + path + "\"");
  return data;
}

namespace {

std::unique_ptr<OIIO::ImageInput> OpenStMap(const std::string& path) {
  auto in = OIIO::ImageInput::open(path);
  if (!in) throw ToolError("cannot read the ST map \"" + path + "\": " + OIIO::geterror());
  return in;
}

}  // namespace

StMapSize ReadStMapSize(const std::string& path) {
  auto in = OpenStMap(path);
  const OIIO::ImageSpec& imageSpec = in->spec();
  return {imageSpec.full_width, imageSpec.full_height};
}

Correspondences ReadStMap(const std::string& path, int step, bool apply, const double shift[2]) {
  auto in = OpenStMap(path);
  const OIIO::ImageSpec& imageSpec = in->spec();
  int red = imageSpec.channelindex("R"), green = imageSpec.channelindex("G"),
      alpha = imageSpec.alpha_channel;
  if (red < 0 || green < 0)
    throw ToolError("\"" + path + "\" has no R and G channels, so it is not an ST map");
  std::vector<float> pixels(size_t(imageSpec.width) * size_t(imageSpec.height) *
                            size_t(imageSpec.nchannels));
  if (!in->read_image(0, 0, 0, imageSpec.nchannels, OIIO::TypeDesc::FLOAT, pixels.data()))
    throw ToolError("cannot read the ST map \"" + path + "\": " + in->geterror());
  Correspondences data;
  for (int j = 0; j < imageSpec.height; j += step)
    for (int i = 0; i < imageSpec.width; i += step) {
      const float* p =
          &pixels[(size_t(j) * size_t(imageSpec.width) + size_t(i)) * size_t(imageSpec.nchannels)];
      if (alpha >= 0 && !(p[alpha] > 0.5f)) continue;
      if (!std::isfinite(p[red]) || !std::isfinite(p[green])) continue;
      const double x = imageSpec.x - imageSpec.full_x + i, y = imageSpec.y - imageSpec.full_y + j;
      const double sx = double(p[red]) * imageSpec.full_width - 0.5,
                   sy = (1 - double(p[green])) * imageSpec.full_height - 0.5;
      Correspondence c;
      if (apply) {
        c = {sx - shift[0], sy - shift[1], x - shift[0], y - shift[1], -1};
      } else {
        c = {x, y, sx, sy, -1};
      }
      data.points.push_back(c);
    }
  if (data.points.empty())
    throw ToolError("the ST map \"" + path + "\" has no valid pixels (its alpha is 0 everywhere)");
  return data;
}

ChartPattern ParseChartPattern(const std::string& text) {
  if (text == "chessboard") return ChartPattern::Chessboard;
  if (text == "circles") return ChartPattern::Circles;
  if (text == "acircles") return ChartPattern::AsymmetricCircles;
  throw UsageError("--pattern takes chessboard, circles or acircles, not \"" + text + "\"");
}

Correspondences FindCharts(const std::vector<std::string>& photos, int columns, int rows,
                           ChartPattern pattern, int& width, int& height,
                           std::vector<std::string>& skipped) {
  const std::vector<cv::Point2d> layout = ChartLayout(columns, rows, pattern);
  const char* what = pattern == ChartPattern::Chessboard ? "corners" : "circles";
  const std::string grid = std::to_string(columns) + "x" + std::to_string(rows) + " " +
                           (pattern == ChartPattern::Chessboard ? "chessboard" : "circle grid");
  Correspondences data;
  std::string notFound;
  width = height = 0;
  for (const std::string& path : photos) {
    Image image = ReadImageFile(path, ReadOptions{}, nullptr);
    if (width == 0) {
      width = image.width;
      height = image.height;
    } else if (image.width != width || image.height != height) {
      throw UsageError("\"" + path + "\" is " + std::to_string(image.width) + "x" +
                       std::to_string(image.height) + ", the first photo " + std::to_string(width) +
                       "x" + std::to_string(height) +
                       "; the photos of one solve come from one camera");
    }
    std::vector<cv::Point2f> found;
    size_t seen = 0;
    if (!FindGrid(GreyOf(image), cv::Size(columns, rows), pattern, found, seen)) {
      std::string line = path + ": no " + grid + " found (" + std::to_string(seen) + " of " +
                         std::to_string(layout.size()) + " " + what + " seen)";
      skipped.push_back(line);
      notFound += "\n  " + line;
      continue;
    }
    std::vector<cv::Point2d> measured(found.begin(), found.end());
    cv::Mat h = cv::findHomography(layout, measured, 0);
    if (h.empty()) {
      skipped.push_back(path + ": the " + what + " found do not form a plane's grid");
      continue;
    }
    ChartView view;
    view.name = path;
    for (int k = 0; k < 9; ++k)
      view.homography[k] = h.at<double>(k / 3, k % 3) / h.at<double>(2, 2);
    const int index = static_cast<int>(data.views.size());
    data.views.push_back(view);
    for (size_t k = 0; k < layout.size(); ++k)
      data.points.push_back({layout[k].x, layout[k].y, measured[k].x, measured[k].y, index});
  }
  if (data.views.empty()) throw ToolError("no chart found:" + notFound);
  return data;
}

Correspondences LensfunPoints(const std::string& maker, const std::string& model, double focal,
                              double crop, int width, int height, int step) {
  lfDatabase db;
  if (db.Load() != LF_NO_ERROR) throw ToolError("cannot load the lensfun database");
  const lfLens** lenses = db.FindLenses(nullptr, maker.c_str(), model.c_str());
  std::unique_ptr<const lfLens*, void (*)(void*)> lensList(lenses, lf_free);
  if (!lenses || !lenses[0]) {
    // The nearest names by edit distance over the whole database, which is local.
    std::vector<std::pair<size_t, std::string>> near;
    const std::string wanted = Lower(maker + " " + model);
    for (const lfLens* const* l = db.GetLenses(); l && *l; ++l) {
      std::string name =
          std::string((*l)->Maker ? (*l)->Maker : "") + " " + ((*l)->Model ? (*l)->Model : "");
      near.emplace_back(EditDistance(wanted, Lower(name)),
                        "\"" + std::string((*l)->Maker ? (*l)->Maker : "") + "\" \"" +
                            ((*l)->Model ? (*l)->Model : "") + "\"");
    }
    std::sort(near.begin(), near.end());
    near.erase(std::unique(near.begin(), near.end()), near.end());
    std::string list;
    for (size_t k = 0; k < near.size() && k < 5; ++k) list += "\n  " + near[k].second;
    throw UsageError("lensfun has no lens \"" + maker + "\" \"" + model +
                     "\"; the closest names:" + list);
  }
  const lfLens* lens = lenses[0];
  if (!(focal > 0) || !std::isfinite(focal))
    throw UsageError("--focal takes the focal length in mm, more than 0");
  const float cropFactor = crop > 0 ? static_cast<float>(crop) : lens->CropFactor;
  lfModifier modifier(lens, cropFactor, width, height);
  const int active = modifier.Initialize(lens, LF_PF_F32, static_cast<float>(focal), 8.0f, 10.0f,
                                         1.0f, lens->Type, LF_MODIFY_DISTORTION, false);
  if (!(active & LF_MODIFY_DISTORTION))
    throw UsageError("the lensfun profile of \"" + std::string(lens->Maker) + "\" \"" +
                     lens->Model + "\" has no distortion at " + std::to_string(focal) + " mm");
  Correspondences data;
  for (double y = 0.5 * (height % step); y < height; y += step)
    for (double x = 0.5 * (width % step); x < width; x += step) {
      const float ux = static_cast<float>(x), uy = static_cast<float>(y);
      float distorted[2];
      if (!modifier.ApplyGeometryDistortion(ux, uy, 1, 1, distorted)) continue;
      if (!std::isfinite(distorted[0]) || !std::isfinite(distorted[1])) continue;
      data.points.push_back({ux, uy, distorted[0], distorted[1], -1});
    }
  return data;
}
