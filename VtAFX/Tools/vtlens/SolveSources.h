// Where correspondences for the solve come from: a points file, an ST map, photos of a
// flat calibration chart, or a lens profile of the lensfun database.
#pragma once

#include <string>
#include <vector>

#include "SolveFit.h"

// Lines "xu yu xd yd": an undistorted and the distorted position, layer pixels with pixel
// centres at whole numbers; blank lines and lines starting with # are skipped. Throws a
// usage error naming the line that is not four finite numbers.
Correspondences ReadPointPairs(const std::string& path);

// An ST map (as `vtlens stmap` writes it): the output pixels whose alpha is set, every
// `step` pixels, each with the source position the map holds. `apply` reads it as an
// "Apply WF2" map (output distorted, source undistorted) whose pixels lie `shift` from
// the "Remove" render's; else the output is undistorted. The layer is the map's display
// window. Throws a ToolError for an unreadable map or one without valid pixels.
struct StMapSize {
  int width = 0, height = 0;
};
StMapSize ReadStMapSize(const std::string& path);
Correspondences ReadStMap(const std::string& path, int step, bool apply, const double shift[2]);

enum class ChartPattern { Chessboard, Circles, AsymmetricCircles };

// Parses chessboard|circles|acircles. Throws a usage error otherwise.
ChartPattern ParseChartPattern(const std::string& text);

// Finds the chart's grid of `columns` x `rows` (inner corners, or circles) in each photo,
// one view per photo where it is found; `skipped` receives a line for each photo where it
// is not. All photos must be one size, returned in `width`, `height`. Throws a ToolError
// when no photo shows the grid, saying how many corners or circles were seen.
Correspondences FindCharts(const std::vector<std::string>& photos, int columns, int rows,
                           ChartPattern pattern, int& width, int& height,
                           std::vector<std::string>& skipped);

// The lens `maker` `model` of the lensfun database at `focal` mm on a sensor of `crop`
// factor (0: the profile's own), evaluated through lensfun's modifier on a grid of `step`
// pixels over a `width` x `height` frame. Throws a usage error for a lens not in
// the database (listing the closest names) or one without a distortion profile.
Correspondences LensfunPoints(const std::string& maker, const std::string& model, double focal,
                              double crop, int width, int height, int step);
