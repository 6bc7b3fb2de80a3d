// vtlens solve, run as built: lenses put on a drawn chart or into an ST map by the effect
// come back from the solve; a lensfun profile is matched and renders.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>
#include <cmath>

#include "ImageFile.h"
#include "VtlensTestSupport.h"

namespace {

double ReportedRms(const std::string& report) {
  size_t at = report.find("RMS ");
  return at == std::string::npos ? 1e9 : std::stod(report.substr(at + 4));
}

// Where a photo shows the board: turned, tilted (the projective divisor's slope per pixel)
// and moved from the frame's centre, in undistorted pixels.
struct View {
  double turn, tiltX, tiltY, shiftX, shiftY;
};

// What a camera with the lens sees of a chessboard of 9 x 6 inner corners with 30-pixel
// squares on a white ground: each pixel takes the board at the undistorted position the
// effect's ST map ("Apply WF2") gives, 64 samples a pixel placed through the map's local
// slope, each on its own 64th of the pixel along either axis so that an edge's place is
// resolved that finely.
Image PhotographedChessboard(const Image& stmap, const View& view) {
  const int32_t w = stmap.width, h = stmap.height;
  Image image = MakeImage(w, h, kDepth16);
  const auto at = [&](int32_t x, int32_t y) {  // from the frame's centre and the board's shift
    x = std::clamp(x, 0, w - 1), y = std::clamp(y, 0, h - 1);
    return std::array<double, 2>{
        double(ChannelAsFloat(stmap, x, y, 1)) * double(w) - 0.5 - 0.5 * w - view.shiftX,
        (1 - double(ChannelAsFloat(stmap, x, y, 2))) * double(h) - 0.5 - 0.5 * h - view.shiftY};
  };
  const double c = std::cos(view.turn), s = std::sin(view.turn);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      const auto o = at(x, y), l = at(x - 1, y), r = at(x + 1, y), u = at(x, y - 1),
                 d = at(x, y + 1);
      int white = 0;
      for (int k = 0; k < 64; ++k) {
        const double ox = (k + 0.5) / 64 - 0.5, oy = (k * 27 % 64 + 0.5) / 64 - 0.5;
        const double px = o[0] + (r[0] - l[0]) / 2 * ox + (d[0] - u[0]) / 2 * oy,
                     py = o[1] + (r[1] - l[1]) / 2 * ox + (d[1] - u[1]) / 2 * oy;
        const double p = c * px + s * py, q = c * py - s * px,
                     scale = 30 * (1 + view.tiltX * p + view.tiltY * q);
        const double bu = p / scale + 5, bv = q / scale + 3.5;  // board squares from its corner
        white += !(bu >= 0 && bv >= 0 && bu < 10 && bv < 7) || (int(bu) + int(bv)) % 2 == 1;
      }
      const size_t i = ChannelIndex(image, x, y, 0);
      image.pixels16[i] = 32768;
      image.pixels16[i + 1] = image.pixels16[i + 2] = image.pixels16[i + 3] = uint16_t(white * 512);
    }
  return image;
}

struct Lens {
  bool chart;  // a chart photographed through the lens, or else its ST map
  const char *mode, *model;
  std::vector<std::pair<const char*, double>> coefficients;  // all of them free
};

std::string LensArgs(const Lens& lens, bool values) {
  std::string args = "--lens-model " + Quote(lens.model), free;
  for (const auto& c : lens.coefficients) {
    if (values) args += " --set " + Quote(std::string(c.first) + "=" + std::to_string(c.second));
    free += (free.empty() ? "" : ",") + std::string(c.first);
  }
  return values ? args : args + " --free " + Quote(free);
}

// Charts: a small calibration set, the board turned, tilted and moved so that its corners
// reach every part of the frame. ST maps give their own coefficients back almost exactly.
TEST(VtlensSolve, LensesOnChartsAndInStMapsSolveBack) {
  const View views[] = {{0.05, 4e-4, 2e-4, -50, -30},
                        {-0.1, -3e-4, 4e-4, 50, 30},
                        {0.15, 2e-4, -4e-4, 40, -35},
                        {-0.05, -4e-4, -2e-4, -45, 35}};
  const Lens cases[] = {
      {true, "Apply WF2", "Std. Radial 4th-order", {{"R4 C2", -0.08}, {"R4 C4", 0.02}}},
      {true,
       "Apply WF2",
       "Std. Anamorphic 6th-order",
       {{"A6 CX02", 0.05}, {"A6 CX22", 0.03}, {"A6 CY02", -0.04}, {"A6 CY22", -0.02}}},
      {true, "Apply WF2", "Fisheye, Equidistant", {{"FISH C2", 0.05}, {"FISH C4", -0.01}}},
      {false,
       "Remove WF2",
       "Std. Radial 4th-order",
       {{"R4 C2", -0.08}, {"R4 U2", 0.004}, {"R4 C4", 0.02}}},
      {false,
       "Apply WF2",
       "Std. Anamorphic 6th-order",
       {{"A6 CX02", 0.05}, {"A6 CY02", -0.03}, {"A6 CX22", 0.01}}}};
  std::string dir = ScratchFolder();
  for (const Lens& lens : cases) {
    SCOPED_TRACE(lens.model);
    const std::string mode = " --distort-mode " + Quote(lens.mode) + " ";
    CommandResult map =
        RunVtlens(dir, std::string("stmap map.exr --layer ") +
                           (lens.chart ? "480x320" : "160x100") + mode + LensArgs(lens, true));
    ASSERT_EQ(map.status, 0) << map.err;
    std::string source = "--stmap map.exr --step 1" + mode;
    if (lens.chart) {
      const Image stmap = ReadImageFile(dir + "/map.exr", ReadOptions{}, nullptr);
      source = "--grid 9x6 --chart";
      for (const View& view : views) {
        source += " photo" + std::to_string(source.size()) + ".png";
        WriteImageFile(dir + "/" + source.substr(source.rfind(' ') + 1),
                       PhotographedChessboard(stmap, view), WriteOptions{});
      }
    }
    CommandResult solve =
        RunVtlens(dir, "solve " + source + " --out lens.json " + LensArgs(lens, false));
    ASSERT_EQ(solve.status, 0) << solve.err;
    EXPECT_LT(ReportedRms(solve.out), 0.05) << solve.out;
    const auto preset = nlohmann::json::parse(ReadFile(dir + "/lens.json"));
    EXPECT_EQ(preset["Lens Model"], lens.model);
    EXPECT_TRUE(lens.chart || preset["Distort Mode"] == lens.mode) << preset;
    for (const auto& [name, value] : lens.coefficients)
      EXPECT_NEAR(preset[name].get<double>(), value, lens.chart ? 1e-3 : 1e-7) << name << "\n"
                                                                               << solve.out;
  }
}

TEST(VtlensSolve, LensfunProfileIsMatchedAndRenders) {
  std::string dir = ScratchFolder();
  WriteImageFile(dir + "/plate.png", RampImage(120, 80), WriteOptions{});
  CommandResult solve =
      RunVtlens(dir,
                "solve --lensfun Canon 'Canon EF 50mm f/1.8 II' --focal 50 --layer 120x80 "
                "--lens-model 'Radial 4th-order' --free 'R4 C2,R4 C4,Zoom Factor' --out lens.json "
                "--plot residuals.png");
  ASSERT_EQ(solve.status, 0) << solve.err;
  EXPECT_LT(ReportedRms(solve.out), 0.1) << solve.out;
  CommandResult render = RunVtlens(dir, "render plate.png undistorted.png --preset lens.json");
  EXPECT_EQ(render.status, 0) << render.err;
  EXPECT_EQ(FilesIn(dir), (std::vector<std::string>{"lens.json", "plate.png", "residuals.png",
                                                    "undistorted.png"}));
}

}  // namespace
