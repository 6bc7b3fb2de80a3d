// vtlens info and stmap, run as built. The positions themselves are the effect's (the geometry
// test compares them); here: what the commands print and write.
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

// s = (x + 0.5) / width, t = 1 - (y + 0.5) / height of each output pixel's source, alpha 1
// (the source `map --to source` prints); zero where unmappable (the folded corner); float EXR over
// the output extent with the layer as display window.
TEST(VtlensStmap, HoldsTheSourcePositionsOfTheOutputExtent) {
  const std::string dir = ScratchFolder();
  const std::string folded = " --layer 64x32 --lens-model 'Radial 4th-order' --set 'R4 C2=-1'";
  ASSERT_EQ(RunVtlens(dir, "stmap id.exr --layer 64x32").status, 0);
  ASSERT_EQ(RunVtlens(dir, "stmap folded.exr" + folded).status, 0);
  EXPECT_EQ(FilesIn(dir), (std::vector<std::string>{"folded.exr", "id.exr"}));
  const std::tuple<const char*, int, int, std::vector<float>> cases[] = {
      {"id.exr", 0, 0, {0.0078125f, 0.984375f, 0, 1}},
      {"id.exr", 63, 31, {0.9921875f, 0.015625f, 0, 1}},
      {"id.exr", 64, 32, {1.0078125f, -0.015625f, 0, 1}},
      {"folded.exr", 32, 16, {0.50780946f, 0.484381109f, 0, 1}},  // from 31.9998055 15.9998045
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
