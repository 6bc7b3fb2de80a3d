// Controls, values, presets and options as vtlens reads them: what is accepted, and the exact
// message for what is not.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>

#include "Arguments.h"
#include "ControlValues.h"
#include "EffectSession.h"
#include "Preset.h"
#include "Sequence.h"
#include "ToolError.h"
#include "VtlensTestSupport.h"

namespace {

// The effect's own controls, read from a host of its own that is gone before any test
// forks (a fork must not copy its threads).
const std::vector<Control>& EffectControls() {
  static const std::vector<Control> controls = [] {
    std::string error;
    const auto host = harness::EffectHost::Load(VTAFX_MODULE_PATH, error, harness::HostOptions{1});
    if (!host) return std::vector<Control>{};
    host->GlobalSetup();
    host->ParamsSetup();
    return ControlsFromDeclarations(host->Params());
  }();
  return controls;
}

// A control by its name (any case, blanks around) or index, then a value of its kind.
TEST(Controls, FindsAndParsesValuesByKind) {
  const auto& controls = EffectControls();
  ASSERT_EQ(controls.size(), 76u);
  const std::string entries =
      "; its entries are 1 \"Remove WF2\", 2 \"Apply WF2\", 3 \"Remove WF1\"";
  const struct {
    const char *key, *text;
    double x, y;
    std::string message;  // empty when the value is good
  } cases[] = {
      {"lens model", "std. radial 4TH-order", 4, 0, ""},
      {"1", "2", 2, 0, ""},
      {"Distort Mode", "Apply WF2", 2, 0, ""},
      {"4", "0.1", 0.1, 0, ""},
      {"Pixel Aspect", " 10 ", 10, 0, ""},
      {"9", "-3e2, 1e-1", -300, 0.1, ""},
      {" R4 C2 ", "-25", -25, 0, ""},
      {"R4 C3", "", 0, 0, "unknown control \"R4 C3\"; did you mean \"R4 C2\"?"},
      {"Radial-4th Parameters", "", 0, 0,
       "\"Radial-4th Parameters\" is a group, which has no value"},
      {"24", "", 0, 0, "control \"24\" is the group \"Radial-4th Parameters\", which has no value"},
      {"0", "", 0, 0, "no control has the index \"0\"; indices run from 1 to 76"},
      {"77", "", 0, 0, "no control has the index \"77\"; indices run from 1 to 76"},
      {"2", "Apply", 0, 0, "\"Distort Mode\" has no entry \"Apply\"" + entries},
      {"2", "1.5", 0, 0, "\"Distort Mode\" has no entry 1.5" + entries},
      {"4", "0.09", 0, 0, "\"Pixel Aspect\" must be between 0.1 and 10, not 0.09"},
      {"4", "10.001", 0, 0, "\"Pixel Aspect\" must be between 0.1 and 10, not 10.001"},
      {"4", "nan", 0, 0, "\"Pixel Aspect\" takes a number, not \"nan\""},
      {"4", "1x", 0, 0, "\"Pixel Aspect\" takes a number, not \"1x\""},
      {"9", "960", 0, 0, "\"Lens Center\" takes a point X,Y in layer pixels, not \"960\""},
      {"9", "1,inf", 0, 0, "\"Lens Center\" takes a point X,Y in layer pixels, not \"1,inf\""},
      {"9", "32768,0", 0, 0,
       "\"Lens Center\" takes coordinates between -32768 and 32768, not 32768,0"},
      {"9", "0,-1e6", 0, 0,
       "\"Lens Center\" takes coordinates between -32768 and 32768, not 0,-1000000"},
      {"25", "25.5", 0, 0, "\"R4 C2\" must be between -25 and 25, not 25.5"}};
  for (const auto& c : cases) {
    ControlValue v;
    const std::string message =
        UsageMessage([&] { v = ParseControlValue(FindControl(controls, c.key), c.text); });
    EXPECT_EQ(message, c.message.empty() ? "(no error)" : c.message) << c.key << " " << c.text;
    EXPECT_EQ(std::make_pair(v.x, v.y), std::make_pair(c.x, c.y)) << c.key << " " << c.text;
  }
}

// Keyframes come sorted whatever the order given; a preset comes before --set whatever the
// order on the command line; a refused setting leaves nothing behind.
TEST(Preset, AppliesConstantsAndKeyframesUnderTheSets) {
  const auto& controls = EffectControls();
  const std::string path = ::testing::TempDir() + "vtlens_preset_order.json";
  // Saved by a Windows editor: a byte-order mark first.
  std::ofstream(path) << "\xEF\xBB\xBF"
                         R"({"Lens Model": "Classic", "2": 3, "Lens Center": [10,
      20], "r4 c2": {"1100": "-0.062", "1001": -0.05, "1200": 0.5}, "Pixel Aspect": 2})";
  ControlSettings settings;
  ApplyEffectOptions(ParseArguments({"--set", "Pixel Aspect=3", "--preset", path,
                                     "--distort-mode=apply wf2", "--set=4=4"},
                                    EffectOptionDefs()),
                     controls, settings);
  std::remove(path.c_str());
  std::ostringstream got;  // index[@frame]=x,y of every setting, in index order
  for (int index = 1; index <= 76; ++index)
    if (const ControlSetting* s = FindSetting(settings, index))
      for (const auto& k : s->keys)
        got << index << (s->keys.size() > 1 ? "@" + std::to_string(k.frame) : "") << "="
            << k.value.x << "," << k.value.y << " ";
  EXPECT_EQ(got.str(), "1=1,0 2=2,0 4=4,0 9=10,20 25@1001=-0.05,0 25@1100=-0.062,0 25@1200=0.5,0 ");
  EXPECT_EQ(UsageMessage([&] {
              SetKeyframes(settings, controls[24], {{1, {1, 0}}, {2, {26, 0}}});
            }),
            "\"R4 C2\" must be between -25 and 25, not 26");
  EXPECT_EQ(FindSetting(settings, 25)->keys.size(), 3u);
}

TEST(Preset, NamesFileControlAndPlaceInErrors) {
  const auto& controls = EffectControls();
  const std::pair<std::string, std::string> cases[] = {
      {"[1]", "a preset is a JSON object of control name to value, not an array"},
      {R"({"R4 C3": 1})", "unknown control \"R4 C3\"; did you mean \"R4 C2\"?"},
      {R"({"Lens Center": 5})", "\"Lens Center\" takes a point [X, Y], not a number"},
      {R"({"Pixel Aspect": [1, 2]})", "\"Pixel Aspect\" does not take an array"},
      {R"({"Pixel Aspect": true})", "\"Pixel Aspect\" does not take a boolean"},
      {R"({"Pixel Aspect": {"1": 1}})", "\"Pixel Aspect\" cannot be animated; give it one value"},
      {R"({"R4 C2": {"1": 1, "01": 2}})", "\"R4 C2\" has two keyframes on one frame"},
      {R"({"R4 C2": {"1.5": 1}})", "\"R4 C2\" keyframe takes a whole frame number, not \"1.5\""},
      {R"({"R4 C2": {"-10000001": 1}})",
       "\"R4 C2\" keyframe: frame \"-10000001\" is beyond the frames a shot can have (-10000000 "
       "to 10000000)"},
      {R"({"R4 C2": {}})", "\"R4 C2\" has an empty set of keyframes"},
      {R"({"R4 C2": 1, "25": 2})", "\"R4 C2\" and \"25\" both name \"R4 C2\""},
      {"{\"a\": 1,}",
       "not valid JSON: line 1, column 9: syntax error while parsing object key - unexpected "
       "'}'; expected string literal"},
      {"{\"k\": {\"1\": 1, \"x\\\"\": 2, \"x\\\"\": 3}}",
       "not valid JSON: line 1, column 26: duplicate key \"x\"\""},
      {"\xEF\xBB\xBF{\"a\": 1, \"a\": 2}",
       "not valid JSON: line 1, column 10: duplicate key \"a\""},
      {"[1e400]", "not valid JSON: line 1, column 2: number overflow parsing '1e400'"},
      {std::string(65, '[') + std::string(65, ']'),
       "not valid JSON: line 1, column 65: nested too deeply"},
      {"\"" + std::string(100, 'x') + "\x01\"",
       "not valid JSON: line 1, column 102: syntax error while parsing value - invalid string: "
       "control character U+0001 (SOH) must be escaped to \\u0001; last read: "
       "\"\"xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx...\""}};
  for (const auto& [json, message] : cases) {
    ControlSettings settings;
    EXPECT_EQ(UsageMessage(
                  [&] { ApplyPreset(settings, controls, ParsePreset(json, "p.json"), "p.json"); }),
              "p.json: " + message);
  }
  EXPECT_NO_THROW(ParsePreset(std::string(64, '[') + std::string(64, ']'), "p.json"));
}

TEST(Arguments, RefusesBadOptions) {
  const std::vector<OptionDef> allowed = {{"frames", true}, {"json", false}, kThreadsOption};
  // --threads 0, as when not given, means every core.
  const int cores = int(std::min(std::max(1u, std::thread::hardware_concurrency()), 256u));
  const std::tuple<std::vector<std::string>, int, std::string> cases[] = {
      {{"--frame", "1-2"}, 0, "unknown option \"--frame\"; did you mean --frames?"},
      {{"--zzzzzz"}, 0, "unknown option \"--zzzzzz\""},
      {{"--frames"}, 0, "--frames needs a value"},
      {{"--json=1"}, 0, "--json takes no value"},
      {{"--frames", "1", "--frames=2"}, 0, "--frames is given twice; give it once"},
      {{"--threads", "257"}, 0, "--threads takes a whole number from 0 to 256, not \"257\""},
      {{}, cores, "(no error)"},
      {{"--threads", "0"}, cores, "(no error)"},
      {{"--threads=1"}, 1, "(no error)"},
      {{"--threads", "256"}, 256, "(no error)"}};
  for (const auto& [args, threads, message] : cases) {
    int n = 0;
    EXPECT_EQ(UsageMessage([&] { n = ParseThreads(ParseArguments(args, allowed)); }), message);
    EXPECT_EQ(n, threads) << message;
  }
  std::vector<OptionDef> effect = EffectOptionDefs();
  effect.push_back({"json", false});
  EXPECT_EQ(
      ParseArguments({"--set", "a=1", "--set=b=2", "--json", "--json"}, effect).options.size(), 4u);
  const ParsedArguments p =
      ParseArguments({"in.exr", "-", "-5", "--json", "--frames=3-4", "--", "--out", "-h"}, allowed);
  EXPECT_EQ(p.positional, (std::vector<std::string>{"in.exr", "-", "-5", "--out", "-h"}));
  EXPECT_EQ(OptionValue(p, "frames"), "3-4");
  EXPECT_TRUE(HasOption(p, "json"));
  int w = 0, h = 0;
  ParseSize("1920x1080", "--layer", w, h);
  EXPECT_EQ(std::make_pair(w, h), std::make_pair(1920, 1080));
  EXPECT_EQ(UsageMessage([&] { ParseSize("0x10", "--layer", w, h); }),
            "--layer width takes a whole number from 1 to 30000, not \"0\"");
  EXPECT_EQ(UsageMessage([&] { ParseSize("1920", "--layer", w, h); }),
            "--layer takes WxH, not \"1920\"");
}

TEST(Echo, CutsAndEscapesWhatItShows) {
  const std::pair<std::string, std::string> cases[] = {
      {"caf\xC3\xA9 \xE2\x82\xAC", "\"caf\xC3\xA9 \xE2\x82\xAC\""},  // UTF-8 prints as itself
      {"\x1B[2J\t\x7F\xC3(\xC0\xAF\xED\xA0\x80\xC2\x85",
       "\"\\x1B[2J\\x09\\x7F\\xC3(\\xC0\\xAF\\xED\\xA0\\x80\\xC2\\x85\""},
      {std::string(60, 'a'), "\"" + std::string(60, 'a') + "\""},
      {std::string(61, 'a'), "\"" + std::string(60, 'a') + "...\""},
      {std::string(59, 'a') + "\xC3\xA9\xC3\xA9", "\"" + std::string(59, 'a') + "\xC3\xA9...\""}};
  for (const auto& [input, shown] : cases) EXPECT_EQ(Echo(input), shown) << input;
}

TEST(Sequence, ExpandsPlaceholders) {
  const std::tuple<const char*, long, const char*> cases[] = {
      {"plate.####.exr", 7, "plate.0007.exr"},
      {"plate.####.exr", 12345, "plate.12345.exr"},
      {"plate.%04d.exr", 1001, "plate.1001.exr"},
      {"plate.%d.png", 5, "plate.5.png"},
      {"plate.%06d.png", -3, "plate.-00003.png"},
      {"shots/#12/plate.#.tif", 9, "shots/#12/plate.9.tif"},
      {"still.exr", 9, "still.exr"}};
  for (const auto& [path, frame, expected] : cases)
    EXPECT_EQ(FramePath(path, FindFramePattern(path), frame), expected) << path;
  EXPECT_FALSE(FindFramePattern("dir/#1/still.exr").isSequence);
  for (const char* bad : {"a.##.%04d.exr", "a.%s.exr", "100%.exr"})
    EXPECT_THROW(FindFramePattern(bad), ToolError) << bad;
  std::vector<long> many;
  for (long f = 0; f < 50; ++f) many.push_back(f * 2);
  const std::string text = DescribeFrames(many);
  EXPECT_EQ(text.substr(text.size() - 13), ", and 30 more");
  EXPECT_EQ(DescribeFrames({3, 5, 6, 7, 9}), "3, 5-7, 9");
}

TEST(Sequence, ParsesFrameLists) {
  const std::pair<const char*, std::vector<long>> good[] = {
      {"7", {7}},
      {"1001-1004", {1001, 1002, 1003, 1004}},
      {"1001-1010x4", {1001, 1005, 1009}},
      {"9,1-3,2", {1, 2, 3, 9}},  // sorted, each once
      {"-3--1,0", {-3, -2, -1, 0}},
      {"-10000000,10000000", {-10000000, 10000000}}};
  for (const auto& [text, frames] : good) EXPECT_EQ(ParseFrames(text), frames) << text;
  EXPECT_EQ(ParseFrames("0-999999").size(), 1000000u);
  EXPECT_EQ(ParseFrames("0-1999999x2").size(), 1000000u);

  const std::string form = "takes frames as 1001-1100, 1001-1100x5 or 1,5,10-20, not ";
  const std::string beyond = "is beyond the frames a shot can have (-10000000 to 10000000)";
  const std::pair<const char*, std::string> bad[] = {
      {"", form + "\"\""},
      {"1,,2", form + "\"1,,2\""},
      {"1-2-3", form + "\"1-2-3\""},
      {"1.5-3", form + "\"1.5-3\""},
      {"1-9x-2", form + "\"1-9x-2\""},
      {"1,5-3", "\"1,5-3\": the range \"5-3\" runs backwards; write it 3-5"},
      {"1-9x0", "\"1-9x0\": a step takes a whole number from 1 up"},
      {"0-1000000", "\"0-1000000\": more than a million frames"},
      {"1-600000,700000-1300000", "\"1-600000,700000-1300000\": more than a million frames"},
      {"99999999999999999999",
       "\"99999999999999999999\": frame \"99999999999999999999\" " + beyond},
      {"1-10000001", "\"1-10000001\": frame \"10000001\" " + beyond}};
  for (const auto& [text, message] : bad)
    EXPECT_EQ(UsageMessage([&] { ParseFrames(text); }), "--frames " + message) << text;
  EXPECT_EQ(ParseFrameNumber("-42", "--frame"), -42);
  EXPECT_THROW(ParseFrameNumber("+4", "--frame"), ToolError);
  EXPECT_THROW(ParseFrameNumber("10000001", "--frame"), ToolError);
}

}  // namespace
