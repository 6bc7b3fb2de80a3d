// Controls, values, presets and options as vtlens reads them: what is accepted, and the exact
// message for what is not.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <fstream>
#include <functional>
#include <thread>

#include "Arguments.h"
#include "ControlValues.h"
#include "Preset.h"
#include "ToolError.h"

namespace {

// A few controls shaped like the effect's: fixed popups and sliders (flags 6), an
// animatable point and coefficient (flags 0), a group around the coefficient.
std::vector<Control> SampleControls() {
  const auto make = [](const char* name, ControlKind kind, int32_t flags = 0, double min = 0,
                       double max = 0, std::vector<std::string> choices = {}) {
    Control c;
    c.name = name;
    c.kind = kind;
    c.flags = flags;
    c.validMin = min;
    c.validMax = max;
    c.choices = std::move(choices);
    return c;
  };
  std::vector<Control> controls = {
      make("Lens Model", ControlKind::Popup, 70, 0, 0,
           {"Classic", "Radial+Squash", "Radial 4th-order", "Std. Radial 4th-order"}),
      make("Distort Mode", ControlKind::Popup, 6, 0, 0, {"Remove WF2", "Apply WF2", "Remove WF1"}),
      make("Pixel Aspect", ControlKind::Float, 6, double(0.1f), 10),
      make("Lens Center", ControlKind::Point),
      make("Radial-4th Parameters", ControlKind::GroupStart),
      make("R4 C2", ControlKind::Float, 0, -25, 25),
      make("Radial-4th Parameters", ControlKind::GroupEnd)};
  for (size_t i = 0; i < controls.size(); ++i) controls[i].index = int(i) + 1;
  return controls;
}

std::string UsageMessage(const std::function<void()>& f) {
  try {
    f();
  } catch (const ToolError& e) {
    EXPECT_EQ(e.status, kExitUsage);
    return e.what();
  }
  return "(no error)";
}

TEST(Controls, FindsAndParsesValuesByKind) {
  const auto controls = SampleControls();
  EXPECT_EQ(FindControl(controls, "lens model").index, 1);
  EXPECT_EQ(FindControl(controls, " R4 C2 ").index, 6);
  EXPECT_EQ(FindControl(controls, "4").name, "Lens Center");
  const std::pair<const char*, const char*> unknown[] = {
      {"R4 C3", "unknown control \"R4 C3\"; did you mean \"R4 C2\"?"},
      {"Radial-4th Parameters", "\"Radial-4th Parameters\" is a group, which has no value"},
      {"5", "control \"5\" is the group \"Radial-4th Parameters\", which has no value"},
      {"0", "no control has the index \"0\"; indices run from 1 to 7"},
      {"8", "no control has the index \"8\"; indices run from 1 to 7"}};
  for (const auto& [key, message] : unknown)
    EXPECT_EQ(UsageMessage([&] { FindControl(controls, key); }), message);
  const struct {
    int control;
    const char* text;
    double x, y;
  } good[] = {{0, "std. radial 4TH-order", 4, 0},
              {0, "2", 2, 0},
              {1, "Apply WF2", 2, 0},
              {2, "0.1", 0.1, 0},
              {2, " 10 ", 10, 0},
              {3, "-3e2, 1e-1", -300, 0.1},
              {5, "-25", -25, 0}};
  for (const auto& c : good) {
    const ControlValue v = ParseControlValue(controls[size_t(c.control)], c.text);
    EXPECT_EQ(std::make_pair(v.x, v.y), std::make_pair(c.x, c.y)) << c.text;
  }
  const std::string entries =
      "; its entries are 1 \"Remove WF2\", 2 \"Apply WF2\", 3 \"Remove WF1\"";
  const struct {
    int control;
    const char* text;
    std::string message;
  } bad[] = {
      {1, "Apply", "\"Distort Mode\" has no entry \"Apply\"" + entries},
      {1, "1.5", "\"Distort Mode\" has no entry 1.5" + entries},
      {2, "0.09", "\"Pixel Aspect\" must be between 0.1 and 10, not 0.09"},
      {2, "10.001", "\"Pixel Aspect\" must be between 0.1 and 10, not 10.001"},
      {2, "nan", "\"Pixel Aspect\" takes a number, not \"nan\""},
      {2, "1x", "\"Pixel Aspect\" takes a number, not \"1x\""},
      {3, "960", "\"Lens Center\" takes a point X,Y in layer pixels, not \"960\""},
      {3, "1,inf", "\"Lens Center\" takes a point X,Y in layer pixels, not \"1,inf\""},
      {3, "32768,0", "\"Lens Center\" takes coordinates between -32768 and 32768, not 32768,0"},
      {3, "0,-1e6", "\"Lens Center\" takes coordinates between -32768 and 32768, not 0,-1000000"},
      {5, "25.5", "\"R4 C2\" must be between -25 and 25, not 25.5"}};
  for (const auto& b : bad)
    EXPECT_EQ(UsageMessage([&] { ParseControlValue(controls[size_t(b.control)], b.text); }),
              b.message);
}

// Keyframes come sorted whatever the order given; a preset comes before --set whatever the
// order on the command line; a refused setting leaves nothing behind.
TEST(Preset, AppliesConstantsAndKeyframesUnderTheSets) {
  const auto controls = SampleControls();
  const std::string path = ::testing::TempDir() + "vtlens_preset_order.json";
  // Saved by a Windows editor: a byte-order mark first.
  std::ofstream(path) << "\xEF\xBB\xBF"
                         R"({"Lens Model": "Classic", "2": 3, "Lens Center": [10,
      20], "r4 c2": {"1100": "-0.062", "1001": -0.05, "1200": 0.5}, "Pixel Aspect": 2})";
  ControlSettings settings;
  ApplyEffectOptions(ParseArguments({"--set", "Pixel Aspect=3", "--preset", path,
                                     "--distort-mode=apply wf2", "--set=3=4"},
                                    EffectOptionDefs()),
                     controls, settings);
  std::remove(path.c_str());
  const std::pair<int, std::vector<std::array<double, 3>>> expected[] = {
      {1, {{0, 1, 0}}},
      {2, {{0, 2, 0}}},
      {3, {{0, 4, 0}}},
      {4, {{0, 10, 20}}},
      {6, {{1001, -0.05, 0}, {1100, -0.062, 0}, {1200, 0.5, 0}}}};
  EXPECT_EQ(settings.settings.size(), 5u);
  for (const auto& [index, keys] : expected) {
    const ControlSetting* s = FindSetting(settings, index);
    ASSERT_NE(s, nullptr) << index;
    std::vector<std::array<double, 3>> got;
    for (const auto& k : s->keys) got.push_back({double(k.frame), k.value.x, k.value.y});
    if (keys.size() == 1) got[0][0] = 0;  // a constant's frame means nothing
    EXPECT_EQ(got, keys) << index;
  }
  EXPECT_EQ(UsageMessage([&] {
              SetKeyframes(settings, controls[5], {{1, {1, 0}}, {2, {26, 0}}});
            }),
            "\"R4 C2\" must be between -25 and 25, not 26");
  EXPECT_EQ(FindSetting(settings, 6)->keys.size(), 3u);
}

TEST(Preset, NamesFileControlAndPlaceInErrors) {
  const auto controls = SampleControls();
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
      {R"({"R4 C2": 1, "6": 2})", "\"R4 C2\" and \"6\" both name \"R4 C2\""},
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
  const std::pair<std::vector<std::string>, const char*> cases[] = {
      {{"--frame", "1-2"}, "unknown option \"--frame\"; did you mean --frames?"},
      {{"--zzzzzz"}, "unknown option \"--zzzzzz\""},
      {{"--frames"}, "--frames needs a value"},
      {{"--json=1"}, "--json takes no value"},
      {{"--frames", "1", "--frames=2"}, "--frames is given twice; give it once"},
      {{"--threads", "257"}, "--threads takes a whole number from 0 to 256, not \"257\""}};
  for (const auto& [args, message] : cases)
    EXPECT_EQ(UsageMessage([&] { ParseThreads(ParseArguments(args, allowed)); }), message);
  // Help wins over any mistake, and carries the table the usage is printed from.
  for (auto args : {std::vector<std::string>{"-h"}, {"--zzz", "--help", "--frames"}}) {
    try {
      ParseArguments(args, allowed);
      ADD_FAILURE() << "no help for " << args[0];
    } catch (const HelpRequest& help) {
      EXPECT_EQ(help.options.size(), 3u);
    }
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
  // --threads 0, as when not given, means every core.
  const int cores = int(std::min(std::max(1u, std::thread::hardware_concurrency()), 256u));
  const std::pair<std::vector<std::string>, int> threads[] = {
      {{}, cores}, {{"--threads", "0"}, cores}, {{"--threads=1"}, 1}, {{"--threads", "256"}, 256}};
  for (const auto& [args, n] : threads) EXPECT_EQ(ParseThreads(ParseArguments(args, allowed)), n);
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

}  // namespace
