// Fitting the free lens parameters to measured correspondences: Levenberg-Marquardt with
// a Huber loss (Ceres), derivatives by central differences of the effect's own mapping.
#pragma once

#include <string>
#include <vector>

#include "SolveLens.h"

// Where the lens puts one undistorted position. In a chart photo the undistorted position
// is unknown up to the photo's homography, and (ux, uy) is the point on the chart instead.
struct Correspondence {
  double ux = 0, uy = 0;  // undistorted layer pixels, or the chart's layout in a view
  double dx = 0, dy = 0;  // measured distorted layer pixels
  int view = -1;          // chart photo, -1 for plain layer pixels
};

// A chart photo: the homography from the chart's layout to undistorted layer pixels,
// row-major with [8] = 1, first estimated from the distorted corners and then solved too.
struct ChartView {
  std::string name;
  double homography[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
};

struct Correspondences {
  std::vector<Correspondence> points;
  std::vector<ChartView> views;
};

struct FitOptions {
  double huberPixels = 1.0;   // the loss is quadratic up to this residual, linear beyond
  double rejectPixels = 3.0;  // points left this far off after the first fit are dropped
  int maxIterations = 200;
};

struct PointResidual {
  double x = 0, y = 0;    // measured distorted position
  double ex = 0, ey = 0;  // solved minus measured, pixels
  bool used = false;
};

struct FitResult {
  std::vector<double> values;
  std::vector<double> deviations;        // standard deviations; NaN where not determinable
  std::vector<PointResidual> residuals;  // one per correspondence
  size_t used = 0, rejected = 0;
  double rms = 0, largest = 0;
  int iterations = 0;
};

// Solves `free` of `lens` from `start`. Throws a ToolError when too few points remain
// for the unknowns, or when the solve does not converge (naming the last RMS residual).
FitResult FitLens(SolveLens& lens, const std::vector<FreeParameter>& free,
                  const std::vector<double>& start, const Correspondences& data,
                  const FitOptions& options);
