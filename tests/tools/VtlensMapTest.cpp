// vtlens info, map and stmap, run as built.
#include <gtest/gtest.h>

#include <OpenImageIO/imageio.h>

#include <cmath>
#include <cstdio>
#include <fstream>

#include <nlohmann/json.hpp>

#include "VtlensTestSupport.h"

namespace {

TEST(VtlensInfo, JsonListsThePropertyListAndEveryControl) {
  std::string dir = ScratchFolder();
  CommandResult r = RunVtlens(dir, "info --json");
  ASSERT_EQ(r.status, 0) << r.err;
  auto doc = nlohmann::json::parse(r.out);
  const auto& pipl = doc.at("pipl");
  EXPECT_EQ(pipl.at("name"), "Vantrel Advanced Distortion");
  EXPECT_EQ(pipl.at("category"), "Halvard Vantrel");
  EXPECT_EQ(pipl.at("match_name"), "Halvard VtAFXAdvLens");
  EXPECT_EQ(pipl.at("version"), "1.4");
  EXPECT_EQ(pipl.at("out_flags"), 0x02000040);
  EXPECT_EQ(pipl.at("out_flags2"), 0x08001408);

  const auto& controls = doc.at("controls");
  ASSERT_EQ(controls.size(), 76u);
  for (size_t i = 0; i < controls.size(); ++i) EXPECT_EQ(controls[i].at("index"), i + 1);
  auto at = [&](int index) -> const nlohmann::json& { return controls[size_t(index - 1)]; };
  struct Case {
    int index;
    const char* name;
    const char* id;
    const char* kind;
    int flags;
  } cases[] = {
      {1, "Lens Model", "modl", "popup", 70},     {2, "Distort Mode", "mode", "popup", 6},
      {4, "Pixel Aspect", "pasp", "float", 6},    {6, "Zoom Factor", "zoom", "float", 0},
      {9, "Lens Center", "ictr", "point", 0},     {10, "Classic Parameters", nullptr, "group_start", 32},
      {21, "MOD ECC", "mode", "float", 0},        {32, "Anamorphic-6th-Merged Parameter", nullptr, "group_start", 32},
      {44, "A6M ROT", "m6ro", "float", 0},        {76, "Fisheye Parameters", nullptr, "group_end", 0},
  };
  for (const Case& c : cases) {
    const auto& control = at(c.index);
    EXPECT_EQ(control.at("name"), c.name) << c.index;
    if (c.id) EXPECT_EQ(control.at("id"), c.id) << c.index;
    else EXPECT_TRUE(control.at("id").is_null()) << c.index;
    EXPECT_EQ(control.at("kind"), c.kind) << c.index;
    EXPECT_EQ(control.at("flags"), c.flags) << c.index;
  }
  EXPECT_EQ(at(1).at("choices").size(), 12u);
  EXPECT_EQ(at(1).at("choices")[3], "Std. Radial 4th-order");
  EXPECT_EQ(at(1).at("default"), 4);
  EXPECT_EQ(at(3).at("default"), 4);
  EXPECT_EQ(at(4).at("valid_min").get<double>(), 0.1);  // the float bound in its shortest decimal
  EXPECT_EQ(at(4).at("valid_max"), 10);
  EXPECT_EQ(at(4).at("precision"), 3);
  EXPECT_EQ(at(11).at("slider_min"), -20000);
  EXPECT_EQ(at(74).at("valid_max"), 20);
  EXPECT_EQ(at(9).at("default_percent")[0], 50);
  EXPECT_EQ(at(7).at("default_percent")[1], 100);
  EXPECT_EQ(at(25).at("group"), "Radial-4th Parameters");
  EXPECT_TRUE(at(4).at("group").is_null());
}

// The frame transforms of "Remove WF2", written out plainly: the output pixel to
// normalised coordinates of the undistorted image, the zoom, then (the lens being the
// identity) straight back to pixels of the distorted image, with the effect's float
// roundings.
double IdentitySource(double p, int size, double centre, double zoom) {
  double scale = static_cast<float>(2.0 / size);
  double offset = static_cast<double>(static_cast<float>(-static_cast<float>(size) / static_cast<float>(size))) + 0.5 * scale;
  double n = (static_cast<double>(static_cast<float>(p)) * scale + offset) * (1.0 / zoom);
  double toPixel = static_cast<float>(0.5f * static_cast<float>(size));
  return static_cast<float>(static_cast<double>(static_cast<float>(n)) * toPixel + (centre - 0.5));
}

TEST(VtlensMap, ToSourceFollowsTheFrameTransformsAndZoom) {
  std::string dir = ScratchFolder();
  // Default lens model with zero coefficients: the identity.
  CommandResult r = RunVtlens(dir, "map --layer 1920x1080 --to source --set 'Zoom Factor=1.1' "
                                   "--set 'Lens Center=1000.25,500.5'",
                              "# track 1\n100 200\n\n1919.5,1079\n  -3.25\t7\n");
  ASSERT_EQ(r.status, 0) << r.err;
  double points[][2] = {{100, 200}, {1919.5, 1079}, {-3.25, 7}};
  std::string expected;
  for (auto& p : points) {
    char line[128];
    std::snprintf(line, sizeof line, "%.9g %.9g 1\n", IdentitySource(p[0], 1920, 1000.25, 1.1),
                  IdentitySource(p[1], 1080, 500.5, 1.1));
    expected += line;
  }
  EXPECT_EQ(r.out, expected);
}

TEST(VtlensMap, KeyframedZoomIsInterpolatedAtTheFrame) {
  std::string dir = ScratchFolder();
  std::ofstream(dir + "/zoom.json") << R"({"Zoom Factor": {"1": 1, "3": 3}})";
  // 2048 x 1024 keeps every step exact: frame 2 has zoom 2, so pixel 100 lands at
  // (100.5 - 1024) / 2 + 1023.5 and pixel 300 at (300.5 - 512) / 2 + 511.5.
  CommandResult r = RunVtlens(dir, "map --layer 2048x1024 --to source --preset zoom.json --frame 2", "100 300\n");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "561.75 405.75 1\n");
  // Held after the last key: zoom 3.
  r = RunVtlens(dir, "map --layer 2048x1024 --to source --preset zoom.json --frame 7", "100 300\n");
  char expected[64];
  std::snprintf(expected, sizeof expected, "%.9g %.9g 1\n", IdentitySource(100, 2048, 1024, 3),
                IdentitySource(300, 1024, 512, 3));
  EXPECT_EQ(r.out, expected);
}

TEST(VtlensMap, UnmappablePointsAreMarked) {
  std::string dir = ScratchFolder();
  // A factor 1 - r^2 folds the image over near its corners and is negative beyond.
  CommandResult r = RunVtlens(dir, "map --layer 2048x1024 --to source --lens-model 'Radial 4th-order' --set 'R4 C2=-1'",
                              "-500 -500\n1024 512\n");
  ASSERT_EQ(r.status, 0) << r.err;
  auto lines = NumberLines(r.out);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(r.out.substr(0, r.out.find('\n')), "268435456 268435456 0");
  EXPECT_EQ(lines[1][2], 1);
}

// Radial 4th-order's closed form written out (slots C2, U2, V2, C4, U4, V4), in the
// isotropic model frame of aspect `aspect`.
void PlainRadial4(const double c[6], double aspect, double x, double y, double& ox, double& oy) {
  double d = std::sqrt(aspect * aspect + 1.0);
  double u = x * (aspect / d), v = y * (-1.0 / d);
  double r2 = u * u + v * v;
  double g = (1.0 + c[0] * r2) + c[3] * (r2 * r2);
  double a = r2 + 2.0 * (u * u), b = r2 + 2.0 * (v * v), t = (2.0 * u) * v;
  double pu = ((g * u + c[1] * a) + c[2] * t) + r2 * (c[4] * a + c[5] * t);
  double pv = ((g * v + c[2] * b) + c[1] * t) + r2 * (c[5] * b + c[4] * t);
  ox = pu * (d / aspect);
  oy = pv * -d;
}

TEST(VtlensMap, NormalisedSpaceIsTheLensModelItself) {
  std::string dir = ScratchFolder();
  const double c[6] = {0.05, 0.004, -0.003, 0.01, 0.001, -0.002};
  std::string lens = "--lens-model 'Radial 4th-order' --set 'R4 C2=0.05' --set 'R4 U2=0.004' --set 'R4 V2=-0.003' "
                     "--set 'R4 C4=0.01' --set 'R4 U4=0.001' --set 'R4 V4=-0.002' --set 'Pixel Aspect=1.5'";
  // Aspect 600 x 1.5 / 800 = 9/8 (the undistorted size defaults to the layer).
  std::string points = "1 1\n-0.5 0.25\n0 0\n0.9,-0.7\n";
  CommandResult d = RunVtlens(dir, "map --layer 600x800 --space normalised --direction distort " + lens, points);
  ASSERT_EQ(d.status, 0) << d.err;
  auto lines = NumberLines(d.out);
  double in[][2] = {{1, 1}, {-0.5, 0.25}, {0, 0}, {0.9, -0.7}};
  ASSERT_EQ(lines.size(), 4u);
  for (size_t i = 0; i < 4; ++i) {
    double ox = 0, oy = 0;
    PlainRadial4(c, 600.0 * 1.5 / 800.0, in[i][0], in[i][1], ox, oy);
    EXPECT_EQ(lines[i][0], ox) << i;  // %.17g gives the double back exactly
    EXPECT_EQ(lines[i][1], oy) << i;
    EXPECT_EQ(lines[i][2], 1) << i;
  }
  std::string back;
  for (auto& l : lines) {
    char text[96];
    std::snprintf(text, sizeof text, "%.17g %.17g\n", l[0], l[1]);
    back += text;
  }
  CommandResult u = RunVtlens(dir, "map --layer 600x800 --space normalised --direction undistort " + lens, back);
  ASSERT_EQ(u.status, 0) << u.err;
  auto undone = NumberLines(u.out);
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_NEAR(undone[i][0], in[i][0], 1e-7) << i;
    EXPECT_NEAR(undone[i][1], in[i][1], 1e-7) << i;
    EXPECT_EQ(undone[i][2], 1) << i;
  }
}

TEST(VtlensMap, ToOutputUndoesToSource) {
  std::string dir = ScratchFolder();
  std::string lens = "--set 'R4 C2=0.04' --set 'R4 C4=-0.01' --set 'R4 U2=0.002' --set 'Zoom Factor=1.1' "
                     "--set 'Lens Center=930.5,560' --set 'Undistorted Img Size=2000,1126' ";
  std::string points;
  for (int y = -40; y <= 1120; y += 145)
    for (int x = -40; x <= 1960; x += 250) points += std::to_string(x) + " " + std::to_string(y) + ".25\n";
  for (const char* mode : {"Remove WF2", "Apply WF2", "Remove WF1"}) {
    std::string args = lens + "--distort-mode " + Quote(mode) + " --layer 1920x1080 --to ";
    CommandResult s = RunVtlens(dir, "map " + args + "source", points);
    ASSERT_EQ(s.status, 0) << s.err;
    std::string sources;  // "X Y" of each line, the validity column left out
    for (auto& l : NumberLines(s.out)) {
      char line[96];
      std::snprintf(line, sizeof line, "%.9g %.9g\n", l[0], l[1]);
      sources += line;
    }
    CommandResult o = RunVtlens(dir, "map " + args + "output", sources);
    ASSERT_EQ(o.status, 0) << o.err;
    auto in = NumberLines(points), src = NumberLines(s.out), out = NumberLines(o.out);
    ASSERT_EQ(out.size(), in.size());
    int valid = 0;
    for (size_t i = 0; i < in.size(); ++i) {
      if (src[i][2] != 1) continue;
      ++valid;
      EXPECT_NEAR(out[i][0], in[i][0], 2e-3) << mode << " " << i;
      EXPECT_NEAR(out[i][1], in[i][1], 2e-3) << mode << " " << i;
      EXPECT_EQ(out[i][2], 1) << mode << " " << i;
    }
    EXPECT_GT(valid, int(in.size()) / 2) << mode;
  }
}

TEST(VtlensStmap, HoldsTheSourcePositionsOfTheOutputExtent) {
  std::string dir = ScratchFolder();
  CommandResult r = RunVtlens(dir, "stmap map.exr --layer 64x32 --lens-model 'Radial 4th-order' --set 'R4 C2=-1'");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(FilesIn(dir), std::vector<std::string>{"map.exr"});
  auto in = OIIO::ImageInput::open(dir + "/map.exr");
  ASSERT_TRUE(in);
  const OIIO::ImageSpec& desc = in->spec();
  EXPECT_EQ(desc.format, OIIO::TypeDesc::FLOAT);
  // "Remove WF2" on a 64 x 32 layer centred: the extent reaches one pixel past the layer.
  EXPECT_EQ(std::vector<int>({desc.x, desc.y, desc.width, desc.height}), std::vector<int>({0, 0, 65, 33}));
  EXPECT_EQ(std::vector<int>({desc.full_x, desc.full_y, desc.full_width, desc.full_height}),
            std::vector<int>({0, 0, 64, 32}));
  std::vector<float> px(size_t(65 * 33 * 4));
  ASSERT_TRUE(in->read_image(0, 0, 0, 4, OIIO::TypeDesc::FLOAT, px.data()));
  auto pixel = [&](int x, int y) { return &px[size_t((y * 65 + x) * 4)]; };

  std::string points;
  int probe[][2] = {{32, 16}, {10, 5}, {0, 0}, {64, 32}, {50, 20}};
  for (auto& p : probe) points += std::to_string(p[0]) + " " + std::to_string(p[1]) + "\n";
  CommandResult m = RunVtlens(dir, "map --to source --layer 64x32 --lens-model 'Radial 4th-order' --set 'R4 C2=-1'", points);
  auto sources = NumberLines(m.out);
  ASSERT_EQ(sources.size(), 5u);
  int invalid = 0;
  for (size_t i = 0; i < 5; ++i) {
    const float* p = pixel(probe[i][0], probe[i][1]);
    if (sources[i][2] == 1) {
      EXPECT_EQ(p[0], static_cast<float>((sources[i][0] + 0.5) / 64)) << i;
      EXPECT_EQ(p[1], static_cast<float>(1.0 - (sources[i][1] + 0.5) / 32)) << i;
      EXPECT_EQ(p[2], 0.0f);
      EXPECT_EQ(p[3], 1.0f);
    } else {
      ++invalid;
      EXPECT_EQ(std::vector<float>(p, p + 4), std::vector<float>(4, 0.0f)) << i;
    }
  }
  EXPECT_EQ(sources[0][2], 1);
  EXPECT_GT(invalid, 0);  // the folded corners
}

TEST(VtlensStmap, IdentityGivesPixelCentres) {
  std::string dir = ScratchFolder();
  ASSERT_EQ(RunVtlens(dir, "stmap id.exr --layer 64x32").status, 0);
  auto in = OIIO::ImageInput::open(dir + "/id.exr");
  ASSERT_TRUE(in);
  std::vector<float> px(size_t(65 * 33 * 4));
  ASSERT_TRUE(in->read_image(0, 0, 0, 4, OIIO::TypeDesc::FLOAT, px.data()));
  struct Case {
    int x, y;
    float s, t;
  } cases[] = {{0, 0, 0.0078125f, 0.984375f}, {63, 31, 0.9921875f, 0.015625f}, {64, 32, 1.0078125f, -0.015625f},
               {32, 16, 0.5078125f, 0.484375f}};
  for (const Case& c : cases) {
    const float* p = &px[size_t((c.y * 65 + c.x) * 4)];
    EXPECT_EQ(p[0], c.s) << c.x << "," << c.y;
    EXPECT_EQ(p[1], c.t) << c.x << "," << c.y;
    EXPECT_EQ(p[3], 1.0f);
  }
}

}  // namespace
