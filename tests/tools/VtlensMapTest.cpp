// vtlens info, map and stmap, run as built. The positions themselves are the effect's (the
// geometry test compares them); here: what the commands read, print and write.
#include <OpenImageIO/imageio.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fstream>
#include <sstream>

#include "VtlensTestSupport.h"

namespace {

// Everything the effect declares, as printed: names, ids, kinds, flags, bounds in their
// shortest decimal, defaults and groups. The golden file holds the property list and then
// one control a line.
TEST(VtlensInfo, JsonListsThePropertyListAndEveryControl) {
  CommandResult r = RunVtlens(ScratchFolder(), "info --json");
  ASSERT_EQ(r.status, 0) << r.err;
  const auto doc = nlohmann::json::parse(r.out);
  std::istringstream golden(ReadFile(VTLENS_GOLDEN_DIR "/info.jsonl"));
  std::vector<nlohmann::json> lines;
  for (std::string line; std::getline(golden, line);) lines.push_back(nlohmann::json::parse(line));
  ASSERT_EQ(lines.size(), doc.at("controls").size() + 1);
  EXPECT_EQ(doc.at("pipl"), lines[0]);
  for (size_t i = 1; i < lines.size(); ++i) EXPECT_EQ(doc["controls"][i - 1], lines[i]) << i;
}

// Points "x y" or "x,y" with comments, blank lines and tabs; keyframes interpolated at
// --frame and held after the last (zoom 2 at frame 2 is exact on 2048 x 1024: (100.5 - 1024)
// / 2 + 1023.5); unmappable points marked; the normalised space is the model's own mapping,
// undistort giving the distorted points back.
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
       "0 0 1\n0.94031875931415021 -0.72374368940544043 1\n"},
      {radial + "undistort",
       "1.0808075063411315 1.0816437281868809\n-0.5023849249011757 0.25249809111552651\n0 0\n"
       "0.94031875931415021 -0.72374368940544043\n",
       "1 0.99999999999999989 1\n-0.49999999999999994 0.25000000000000011 1\n0 -0 1\n"
       "0.89999999999999991 -0.70000000000000018 1\n"}};
  for (const Case& c : cases) {
    CommandResult r = RunVtlens(dir, "map " + c.args, c.input);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, c.output) << c.args;
  }
}

// Each mode there and back: the sources exactly as the render samples them; to output of
// those gives the points back to 2e-3 (positions are floats, and an iterative inverse's
// last digits are not promised).
TEST(VtlensMap, ToOutputUndoesToSourceInEveryMode) {
  const std::string dir = ScratchFolder();
  const std::string lens =
      "--set 'R4 C2=0.04' --set 'R4 C4=-0.01' --set 'R4 U2=0.002' --set 'Zoom Factor=1.1' --set "
      "'Lens Center=930.5,560' --set 'Undistorted Img Size=2000,1126' --layer 1920x1080 ";
  const std::string points = "-40 -40.25\n960 540.25\n1710 1105.25\n";
  const std::pair<const char*, const char*> cases[] = {
      {"Remove WF2", "39.6276627 44.0946846 1\n930.45459 560.181824 1\n1597.21619 1063.3678 1\n"},
      {"Apply WF2",
       "-139.701279 -141.577652 1\n988.503418 516.023926 1\n1834.30554 1151.11072 1\n"},
      {"Remove WF1", "42.143383 46.2177963 1\n895.521912 540.097656 1\n1537.3739 1023.85529 1\n"}};
  for (const auto& [mode, sources] : cases) {
    const std::string args = "map " + lens + "--distort-mode " + Quote(mode) + " --to ";
    EXPECT_EQ(RunVtlens(dir, args + "source", points).out, sources);
    std::string back = sources;  // without the validity column
    for (size_t at; (at = back.find(" 1\n")) != std::string::npos;) back.replace(at, 3, "\n");
    const auto in = NumberLines(points),
               out = NumberLines(RunVtlens(dir, args + "output", back).out);
    ASSERT_EQ(out.size(), 3u) << mode;
    for (size_t i = 0; i < 3; ++i) {
      EXPECT_NEAR(out[i][0], in[i][0], 2e-3) << mode << " " << i;
      EXPECT_NEAR(out[i][1], in[i][1], 2e-3) << mode << " " << i;
      EXPECT_EQ(out[i][2], 1) << mode << " " << i;
    }
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
  ASSERT_EQ(sources[1][2], 0);  // the corner folds
  const std::tuple<const char*, int, int, std::vector<float>> cases[] = {
      {"id.exr", 0, 0, {0.0078125f, 0.984375f, 0, 1}},
      {"id.exr", 63, 31, {0.9921875f, 0.015625f, 0, 1}},
      {"id.exr", 64, 32, {1.0078125f, -0.015625f, 0, 1}},
      {"folded.exr",
       32,
       16,
       {float((sources[0][0] + 0.5) / 64), float(1 - (sources[0][1] + 0.5) / 32), 0, 1}},
      {"folded.exr", 0, 0, {0, 0, 0, 0}}};
  for (const auto& [file, x, y, pixel] : cases) {
    OIIO::ImageSpec desc;
    const std::vector<float> px = ReadRaw<float>(dir + "/" + file, 4, &desc);
    EXPECT_EQ(desc.format, OIIO::TypeDesc::FLOAT);
    ASSERT_EQ(Windows(desc), std::vector<int>({0, 0, 65, 33, 0, 0, 64, 32}));
    const auto p = px.begin() + (y * 65 + x) * 4;
    EXPECT_EQ(std::vector<float>(p, p + 4), pixel) << file << " " << x << "," << y;
  }
}

}  // namespace
