// vtlens info, map and stmap, run as built. The positions themselves are the effect's (the
// geometry test compares them); here: what the commands read, print and write.
#include <OpenImageIO/imageio.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <fstream>

#include "VtlensTestSupport.h"

namespace {

// Every field of `expected` (JSON text) as `actual` has it.
void ExpectFields(const nlohmann::json& actual, const char* expected, const std::string& where) {
  const nlohmann::json fields = nlohmann::json::parse(expected);
  for (const auto& field : fields.items()) {
    EXPECT_EQ(actual.at(field.key()), field.value()) << where << " " << field.key();
  }
}

TEST(VtlensInfo, JsonListsThePropertyListAndEveryControl) {
  CommandResult r = RunVtlens(ScratchFolder(), "info --json");
  ASSERT_EQ(r.status, 0) << r.err;
  const auto doc = nlohmann::json::parse(r.out);
  ExpectFields(doc.at("pipl"), R"({"name": "Vantrel Advanced Distortion",
      "category": "Halvard Vantrel", "match_name": "Halvard VtAFXAdvLens", "version": "1.4",
      "out_flags": 33554496, "out_flags2": 134222856})",
               "pipl");
  const auto& controls = doc.at("controls");
  ASSERT_EQ(controls.size(), 76u);
  // Index, then a few fields of it exactly as printed: kinds, ids, flags, bounds in their
  // shortest decimal, defaults, groups.
  const std::pair<int, const char*> cases[] = {
      {1, R"({"name": "Lens Model", "id": "modl", "kind": "popup", "flags": 70, "default": 4})"},
      {2, R"({"name": "Distort Mode", "id": "mode", "kind": "popup", "flags": 6})"},
      {3, R"({"default": 4})"},
      {4, R"({"name": "Pixel Aspect", "id": "pasp", "flags": 6, "valid_min": 0.1,
              "valid_max": 10, "precision": 3, "group": null})"},
      {6, R"({"name": "Zoom Factor", "id": "zoom", "kind": "float", "flags": 0})"},
      {7, R"({"default_percent": [100, 100]})"},
      {9, R"({"name": "Lens Center", "id": "ictr", "kind": "point", "default_percent": [50, 50]})"},
      {10, R"({"name": "Classic Parameters", "id": null, "kind": "group_start", "flags": 32})"},
      {11, R"({"slider_min": -20000})"},
      {21, R"({"name": "MOD ECC", "id": "mode", "kind": "float"})"},
      {25, R"({"group": "Radial-4th Parameters"})"},
      {44, R"({"name": "A6M ROT", "id": "m6ro"})"},
      {74, R"({"valid_max": 20})"},
      {76, R"({"name": "Fisheye Parameters", "id": null, "kind": "group_end", "flags": 0})"}};
  for (const auto& [index, fields] : cases) {
    EXPECT_EQ(controls.at(size_t(index - 1)).at("index"), index);
    ExpectFields(controls.at(size_t(index - 1)), fields, std::to_string(index));
  }
  EXPECT_EQ(controls[0].at("choices").size(), 12u);
  EXPECT_EQ(controls[0].at("choices")[3], "Std. Radial 4th-order");
}

// Points "x y" or "x,y" with comments, blank lines and tabs; keyframes interpolated at
// --frame and held after the last (zoom 2 at frame 2 is exact on 2048 x 1024: (100.5 - 1024)
// / 2 + 1023.5); unmappable points marked; the normalised space is the model's own mapping.
TEST(VtlensMap, PrintsEachPointsPosition) {
  const std::string dir = ScratchFolder();
  std::ofstream(dir + "/zoom.json") << R"({"Zoom Factor": {"1": 1, "3": 3}})";
  const std::string radial =
      "--lens-model 'Radial 4th-order' --set 'R4 C2=0.05' --set 'R4 U2=0.004' --set "
      "'R4 V2=-0.003' --set 'R4 C4=0.01' --set 'R4 U4=0.001' --set 'R4 V4=-0.002' --set "
      "'Pixel Aspect=1.5' --layer 600x800 --space normalised --direction ";
  struct Case {
    std::string args, input, output;
  };
  const Case cases[] = {
      {"--layer 1920x1080 --to source --set 'Zoom Factor=1.1' --set 'Lens Center=1000.25,500.5'",
       "# track 1\n100 200\n\n1919.5,1079\n  -3.25\t7\n",
       "218.386383 191.363632 1\n1872.47729 990.454529 1\n124.522736 15.909091 1\n"},
      {"--layer 2048x1024 --to source --preset zoom.json --frame 2", "100 300\n",
       "561.75 405.75 1\n"},
      {"--layer 2048x1024 --to source --preset zoom.json --frame 7", "100 300\n",
       "715.666626 441 1\n"},
      {"--layer 2048x1024 --to source --lens-model 'Radial 4th-order' --set 'R4 C2=-1'",
       "-500 -500\n1024 512\n", "268435456 268435456 0\n1024 512 1\n"},
      {radial + "distort", "1 1\n-0.5 0.25\n0 0\n0.9,-0.7\n",
       "1.0808075063411315 1.0816437281868809 1\n-0.5023849249011757 0.25249809111552651 1\n"
       "0 0 1\n0.94031875931415021 -0.72374368940544043 1\n"}};
  for (const Case& c : cases) {
    CommandResult r = RunVtlens(dir, "map " + c.args, c.input);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, c.output) << c.args;
  }
  std::string distorted;  // without the validity column
  for (const auto& l : NumberLines(cases[4].output)) {
    char line[96];
    std::snprintf(line, sizeof line, "%.17g %.17g\n", l[0], l[1]);
    distorted += line;
  }
  CommandResult back = RunVtlens(dir, "map " + radial + "undistort", distorted);
  const auto undone = NumberLines(back.out);
  const double in[4][2] = {{1, 1}, {-0.5, 0.25}, {0, 0}, {0.9, -0.7}};
  ASSERT_EQ(undone.size(), 4u) << back.err;
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_NEAR(undone[i][0], in[i][0], 1e-7) << i;
    EXPECT_NEAR(undone[i][1], in[i][1], 1e-7) << i;
    EXPECT_EQ(undone[i][2], 1) << i;
  }
}

TEST(VtlensMap, ToOutputUndoesToSourceInEveryMode) {
  const std::string dir = ScratchFolder();
  std::string points;
  for (int y = -40; y <= 1120; y += 145) {
    for (int x = -40; x <= 1960; x += 250)
      points += std::to_string(x) + " " + std::to_string(y) + ".25\n";
  }
  for (const char* mode : {"Remove WF2", "Apply WF2", "Remove WF1"}) {
    const std::string args =
        "--set 'R4 C2=0.04' --set 'R4 C4=-0.01' --set 'R4 U2=0.002' --set 'Zoom Factor=1.1' "
        "--set 'Lens Center=930.5,560' --set 'Undistorted Img Size=2000,1126' --layer 1920x1080 "
        "--distort-mode " +
        Quote(mode) + " --to ";
    const auto in = NumberLines(points),
               src = NumberLines(RunVtlens(dir, "map " + args + "source", points).out);
    std::string sources;  // without the validity column
    for (const auto& l : src) sources += std::to_string(l[0]) + " " + std::to_string(l[1]) + "\n";
    const auto out = NumberLines(RunVtlens(dir, "map " + args + "output", sources).out);
    ASSERT_EQ(out.size(), in.size()) << mode;
    int valid = 0;
    for (size_t i = 0; i < in.size(); ++i) {
      if (src[i][2] != 1) continue;
      ++valid;
      EXPECT_NEAR(out[i][0], in[i][0], 2e-3) << mode << " " << i;
      EXPECT_NEAR(out[i][1], in[i][1], 2e-3) << mode << " " << i;
    }
    EXPECT_GT(valid, int(in.size()) / 2) << mode;
  }
}

// s = (x + 0.5) / width, t = 1 - (y + 0.5) / height of each output pixel's source, alpha 1;
// zero where unmappable; float EXR over the output extent with the layer as display window.
TEST(VtlensStmap, HoldsTheSourcePositionsOfTheOutputExtent) {
  const std::string dir = ScratchFolder();
  const std::string folded = " --layer 64x32 --lens-model 'Radial 4th-order' --set 'R4 C2=-1'";
  ASSERT_EQ(RunVtlens(dir, "stmap id.exr --layer 64x32").status, 0);
  ASSERT_EQ(RunVtlens(dir, "stmap folded.exr" + folded).status, 0);
  EXPECT_EQ(FilesIn(dir), (std::vector<std::string>{"folded.exr", "id.exr"}));
  const auto sources = NumberLines(RunVtlens(dir, "map --to source" + folded, "32 16\n0 0\n").out);
  ASSERT_EQ(sources.size(), 2u);
  struct Case {
    const char* file;
    int x, y;
    float pixel[4];
  };
  const Case cases[] = {
      {"id.exr", 0, 0, {0.0078125f, 0.984375f, 0, 1}},
      {"id.exr", 63, 31, {0.9921875f, 0.015625f, 0, 1}},
      {"id.exr", 64, 32, {1.0078125f, -0.015625f, 0, 1}},
      {"folded.exr",
       32,
       16,
       {float((sources[0][0] + 0.5) / 64), float(1 - (sources[0][1] + 0.5) / 32), 0, 1}},
      {"folded.exr", 0, 0, {0, 0, 0, 0}}};
  ASSERT_EQ(sources[1][2], 0);  // the corner folds
  for (const Case& c : cases) {
    auto in = OIIO::ImageInput::open(dir + "/" + c.file);
    ASSERT_TRUE(in);
    const OIIO::ImageSpec& desc = in->spec();
    EXPECT_EQ(desc.format, OIIO::TypeDesc::FLOAT);
    EXPECT_EQ(std::vector<int>({desc.x, desc.y, desc.width, desc.height, desc.full_x, desc.full_y,
                                desc.full_width, desc.full_height}),
              std::vector<int>({0, 0, 65, 33, 0, 0, 64, 32}));
    std::vector<float> px(65 * 33 * 4);
    ASSERT_TRUE(in->read_image(0, 0, 0, 4, OIIO::TypeDesc::FLOAT, px.data()));
    const float* p = &px[size_t((c.y * 65 + c.x) * 4)];
    EXPECT_EQ(std::vector<float>(p, p + 4), std::vector<float>(c.pixel, c.pixel + 4))
        << c.file << " " << c.x << "," << c.y;
  }
}

}  // namespace
