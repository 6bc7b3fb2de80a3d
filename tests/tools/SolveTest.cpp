// vtlens solve, run as built: lenses put on a drawn chart or into an ST map by the effect
// come back from the solve; a lensfun profile is matched; bad input is named.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <fstream>

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

// What a camera with the lens sees of a chessboard of `columns` x `rows` inner corners with
// `square`-pixel squares on a white ground: each pixel takes the board at the undistorted
// position the effect's ST map ("Apply WF2") gives, 64 samples a pixel placed through the
// map's local slope, each on its own 64th of the pixel along either axis so that an edge's
// place is resolved that finely.
Image PhotographedChessboard(const Image& stmap, int columns, int rows, double square,
                             const View& view) {
  const int32_t width = stmap.width, height = stmap.height;
  Image image = MakeImage(width, height, kDepth16);
  auto source = [&](int32_t x, int32_t y, double& sx, double& sy) {
    x = std::min(std::max(x, 0), width - 1);
    y = std::min(std::max(y, 0), height - 1);
    sx = double(ChannelAsFloat(stmap, x, y, 1)) * double(width) - 0.5 - 0.5 * width - view.shiftX;
    sy = (1 - double(ChannelAsFloat(stmap, x, y, 2))) * double(height) - 0.5 - 0.5 * height -
         view.shiftY;
  };
  const double c = std::cos(view.turn), s = std::sin(view.turn);
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) {
      double cx, cy, lx, ly, rx, ry, ux, uy, dx, dy;
      source(x, y, cx, cy);
      source(x - 1, y, lx, ly);
      source(x + 1, y, rx, ry);
      source(x, y - 1, ux, uy);
      source(x, y + 1, dx, dy);
      int white = 0;
      for (int k = 0; k < 64; ++k) {
        const double ox = (k + 0.5) / 64 - 0.5, oy = (k * 27 % 64 + 0.5) / 64 - 0.5;
        const double px = cx + (rx - lx) / 2 * ox + (dx - ux) / 2 * oy,
                     py = cy + (ry - ly) / 2 * ox + (dy - uy) / 2 * oy;
        const double p = c * px + s * py, q = c * py - s * px,
                     w = square * (1 + view.tiltX * p + view.tiltY * q);
        const double u = p / w + 0.5 * (columns + 1), v = q / w + 0.5 * (rows + 1);
        const bool inside = u >= 0 && v >= 0 && u < columns + 1 && v < rows + 1;
        white += !inside || (int(u) + int(v)) % 2 == 1;
      }
      const size_t i = ChannelIndex(image, x, y, 0);
      image.pixels16[i] = 32768;
      image.pixels16[i + 1] = image.pixels16[i + 2] = image.pixels16[i + 3] =
          static_cast<uint16_t>(white * 512);
    }
  return image;
}

struct Lens {
  const char* model;
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
  const std::tuple<bool, const char*, Lens> cases[] = {
      // chart or ST map, mode, lens
      {true, "Apply WF2", {"Std. Radial 4th-order", {{"R4 C2", -0.08}, {"R4 C4", 0.02}}}},
      {true,
       "Apply WF2",
       {"Std. Anamorphic 6th-order",
        {{"A6 CX02", 0.05}, {"A6 CX22", 0.03}, {"A6 CY02", -0.04}, {"A6 CY22", -0.02}}}},
      {true, "Apply WF2", {"Fisheye, Equidistant", {{"FISH C2", 0.05}, {"FISH C4", -0.01}}}},
      {false,
       "Remove WF2",
       {"Std. Radial 4th-order", {{"R4 C2", -0.08}, {"R4 U2", 0.004}, {"R4 C4", 0.02}}}},
      {false,
       "Apply WF2",
       {"Std. Anamorphic 6th-order", {{"A6 CX02", 0.05}, {"A6 CY02", -0.03}, {"A6 CX22", 0.01}}}}};
  std::string dir = ScratchFolder();
  for (const auto& [chart, distortMode, lens] : cases) {
    SCOPED_TRACE(lens.model);
    const std::string mode = " --distort-mode " + Quote(distortMode) + " ";
    CommandResult map =
        RunVtlens(dir, std::string("stmap map.exr --layer ") + (chart ? "480x320" : "160x100") +
                           mode + LensArgs(lens, true));
    ASSERT_EQ(map.status, 0) << map.err;
    std::string source = "--stmap map.exr --step 1" + mode;
    if (chart) {
      const Image stmap = ReadImageFile(dir + "/map.exr", ReadOptions{}, nullptr);
      source = "--grid 9x6 --chart";
      for (const View& view : views) {
        source += " photo" + std::to_string(source.size()) + ".png";
        WriteImageFile(dir + "/" + source.substr(source.rfind(' ') + 1),
                       PhotographedChessboard(stmap, 9, 6, 30, view), WriteOptions{});
      }
    }
    CommandResult solve =
        RunVtlens(dir, "solve " + source + " --out lens.json " + LensArgs(lens, false));
    ASSERT_EQ(solve.status, 0) << solve.err;
    EXPECT_LT(ReportedRms(solve.out), 0.05) << solve.out;
    const auto preset = nlohmann::json::parse(ReadFile(dir + "/lens.json"));
    EXPECT_EQ(preset["Lens Model"], lens.model);
    EXPECT_TRUE(chart || preset["Distort Mode"] == distortMode) << preset;
    for (const auto& [name, value] : lens.coefficients)
      EXPECT_NEAR(preset[name].get<double>(), value, chart ? 1e-3 : 1e-7) << name << "\n"
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

TEST(VtlensSolve, BadInputIsNamedAndWritesNothing) {
  std::string dir = ScratchFolder();
  WriteImageFile(dir + "/blank.png", RampImage(64, 48), WriteOptions{});
  WriteImageFile(dir + "/empty.exr", MakeImage(16, 8, kDepthFloat), WriteOptions{});
  std::ofstream(dir + "/two.txt") << "10 10 11 11\n# a comment\n20 20 21 22\n";
  std::ofstream(dir + "/bad.txt") << "10 10 11\n";
  ASSERT_EQ(RunVtlens(dir, "stmap map.exr --layer 64x48 --set 'R4 C2=-0.1'").status, 0);
  std::vector<std::string> before = FilesIn(dir);
  const struct {
    const char* args;
    int status;
    const char* message;
  } cases[] = {
      {"--chart blank.png --grid 9x6", 1,
       "no chart found:\n  blank.png: no 9x6 chessboard found (0 of 54 corners seen)"},
      {"--points two.txt --layer 64x48", 1,
       "too few points: 2 usable points give 4 equations for 6 unknowns"},
      {"--points bad.txt --layer 64x48", 2,
       "bad.txt:1: expected four numbers \"xu yu xd yd\", not \"10 10 11\""},
      {"--stmap map.exr --max-iterations 1", 1, "the solve did not converge after 2 iterations"},
      {"--stmap empty.exr", 1, "the ST map \"empty.exr\" has no valid pixels"},
      {"--lensfun Canon 'EF 50mm f/1.9 III' --focal 50 --layer 64x48", 2,
       "lensfun has no lens \"Canon\" \"EF 50mm f/1.9 III\"; the closest names:\n  \"Canon\" "
       "\"Canon EF 50mm f/1.8 MkII\""},
      {"--points two.txt", 2, "solve needs --layer WxH with --points"},
      {"--points two.txt --stmap map.exr", 2, "solve takes one source"},
  };
  for (const auto& c : cases) {
    CommandResult r =
        RunVtlens(dir, std::string("solve ") + c.args + " --out lens.json --plot plot.png");
    EXPECT_EQ(r.status, c.status) << c.args << "\n" << r.err;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << c.args << "\n" << r.err;
    EXPECT_EQ(FilesIn(dir), before) << c.args;
  }
}

}  // namespace
