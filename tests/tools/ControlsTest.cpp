#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <functional>

#include "Arguments.h"
#include "ControlValues.h"
#include <nlohmann/json.hpp>
#include <thread>

#include "Preset.h"
#include "ToolError.h"

namespace {

// A few controls shaped like the effect's: fixed popups and sliders (flags 6), an
// animatable point and coefficient (flags 0), a group around the coefficient.
std::vector<Control> SampleControls() {
  std::vector<Control> c(7);
  c[0].index = 1; c[0].name = "Lens Model"; c[0].kind = ControlKind::Popup; c[0].flags = 70;
  c[0].choices = {"Classic", "Radial+Squash", "Radial 4th-order", "Std. Radial 4th-order"};
  c[1].index = 2; c[1].name = "Distort Mode"; c[1].kind = ControlKind::Popup; c[1].flags = 6;
  c[1].choices = {"Remove WF2", "Apply WF2", "Remove WF1"};
  c[2].index = 3; c[2].name = "Pixel Aspect"; c[2].kind = ControlKind::Float; c[2].flags = 6;
  c[2].validMin = static_cast<double>(0.1f); c[2].validMax = 10;
  c[3].index = 4; c[3].name = "Lens Center"; c[3].kind = ControlKind::Point;
  c[4].index = 5; c[4].name = "Radial-4th Parameters"; c[4].kind = ControlKind::GroupStart;
  c[5].index = 6; c[5].name = "R4 C2"; c[5].kind = ControlKind::Float; c[5].validMin = -25; c[5].validMax = 25;
  c[6].index = 7; c[6].name = "Radial-4th Parameters"; c[6].kind = ControlKind::GroupEnd;
  return c;
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

TEST(Controls, FindsByNameOrIndex) {
  auto controls = SampleControls();
  EXPECT_EQ(FindControl(controls, "lens model").index, 1);
  EXPECT_EQ(FindControl(controls, " R4 C2 ").index, 6);
  EXPECT_EQ(FindControl(controls, "4").name, "Lens Center");
  struct Case {
    const char* key;
    const char* message;
  } cases[] = {
      {"R4 C3", "unknown control \"R4 C3\"; did you mean \"R4 C2\"?"},
      {"Lens Centre", "unknown control \"Lens Centre\"; did you mean \"Lens Center\"?"},
      {"Radial-4th Parameters", "\"Radial-4th Parameters\" is a group, which has no value"},
      {"5", "control \"5\" is the group \"Radial-4th Parameters\", which has no value"},
      {"0", "no control has the index \"0\"; indices run from 1 to 7"},
      {"77", "no control has the index \"77\"; indices run from 1 to 7"},
  };
  for (const Case& c : cases) EXPECT_EQ(UsageMessage([&] { FindControl(controls, c.key); }), c.message);
}

TEST(Controls, ParsesValuesByKind) {
  auto controls = SampleControls();
  struct Case {
    int control;
    const char* text;
    double x, y;
  } good[] = {
      {0, "std. radial 4TH-order", 4, 0}, {0, "2", 2, 0},    {1, "Apply WF2", 2, 0},
      {2, "0.1", 0.1, 0},                  {2, " 10 ", 10, 0}, {3, "960.5,540", 960.5, 540},
      {3, "-3e2, 1e-1", -300, 0.1},        {5, "-25", -25, 0},
  };
  for (const Case& c : good) {
    ControlValue v = ParseControlValue(controls[c.control], c.text);
    EXPECT_EQ(v.x, c.x) << c.text;
    EXPECT_EQ(v.y, c.y) << c.text;
  }
  struct Bad {
    int control;
    const char* text;
    const char* message;
  } bad[] = {
      {1, "Apply", "\"Distort Mode\" has no entry \"Apply\"; its entries are 1 \"Remove WF2\", 2 \"Apply WF2\", 3 \"Remove WF1\""},
      {1, "4", "\"Distort Mode\" has no entry 4; its entries are 1 \"Remove WF2\", 2 \"Apply WF2\", 3 \"Remove WF1\""},
      {1, "1.5", "\"Distort Mode\" has no entry 1.5; its entries are 1 \"Remove WF2\", 2 \"Apply WF2\", 3 \"Remove WF1\""},
      {2, "0.09", "\"Pixel Aspect\" must be between 0.1 and 10, not 0.09"},
      {2, "10.001", "\"Pixel Aspect\" must be between 0.1 and 10, not 10.001"},
      {2, "abc", "\"Pixel Aspect\" takes a number, not \"abc\""},
      {2, "nan", "\"Pixel Aspect\" takes a number, not \"nan\""},
      {2, "1x", "\"Pixel Aspect\" takes a number, not \"1x\""},
      {3, "960", "\"Lens Center\" takes a point X,Y in layer pixels, not \"960\""},
      {3, "1,inf", "\"Lens Center\" takes a point X,Y in layer pixels, not \"1,inf\""},
      {3, "32768,0", "\"Lens Center\" takes coordinates between -32768 and 32768, not 32768,0"},
      {3, "0,-1e6", "\"Lens Center\" takes coordinates between -32768 and 32768, not 0,-1000000"},
      {5, "25.5", "\"R4 C2\" must be between -25 and 25, not 25.5"},
  };
  for (const Bad& b : bad)
    EXPECT_EQ(UsageMessage([&] { ParseControlValue(controls[b.control], b.text); }), b.message);
}

TEST(ControlValues, KeyframesAreSortedAndReplaceEarlierValues) {
  auto controls = SampleControls();
  ControlSettings settings;
  SetConstant(settings, controls[5], {1, 0});
  SetKeyframes(settings, controls[5], {{1100, {-0.062, 0}}, {1001, {-0.05, 0}}, {1200, {0.5, 0}}});
  const ControlSetting* s = FindSetting(settings, 6);
  ASSERT_NE(s, nullptr);
  ASSERT_EQ(s->keys.size(), 3u);
  EXPECT_EQ(s->keys[0].frame, 1001);
  EXPECT_EQ(s->keys[1].frame, 1100);
  EXPECT_EQ(s->keys[2].frame, 1200);
  EXPECT_EQ(s->keys[0].value.x, -0.05);
  EXPECT_EQ(settings.settings.size(), 1u);
}

TEST(ControlValues, RefusesBadKeyframes) {
  auto controls = SampleControls();
  ControlSettings settings;
  EXPECT_EQ(UsageMessage([&] { SetKeyframes(settings, controls[2], {{1, {1, 0}}, {2, {2, 0}}}); }),
            "\"Pixel Aspect\" cannot be animated; give it one value");
  EXPECT_EQ(UsageMessage([&] { SetKeyframes(settings, controls[5], {{1, {1, 0}}, {1, {2, 0}}}); }),
            "\"R4 C2\" has two keyframes on one frame");
  EXPECT_EQ(UsageMessage([&] { SetKeyframes(settings, controls[5], {{1, {1, 0}}, {2, {26, 0}}}); }),
            "\"R4 C2\" must be between -25 and 25, not 26");
  EXPECT_EQ(FindSetting(settings, 6), nullptr);  // a refused setting leaves nothing behind
}

TEST(Preset, AppliesConstantsAndKeyframes) {
  auto controls = SampleControls();
  // Saved by a Windows editor: a byte-order mark first.
  auto doc = ParsePreset("\xEF\xBB\xBF" R"({"Lens Model": "Classic", "2": 3, "Lens Center": [10, 20],
                            "r4 c2": {"1001": -0.05, "1100": "-0.062"}})", "p.json");
  ControlSettings settings;
  ApplyPreset(settings, controls, doc, "p.json");
  EXPECT_EQ(FindSetting(settings, 1)->keys[0].value.x, 1.0);
  EXPECT_EQ(FindSetting(settings, 2)->keys[0].value.x, 3.0);
  EXPECT_EQ(FindSetting(settings, 4)->keys[0].value.y, 20.0);
  ASSERT_EQ(FindSetting(settings, 6)->keys.size(), 2u);
  EXPECT_EQ(FindSetting(settings, 6)->keys[1].value.x, -0.062);
}

TEST(Preset, NamesFileAndControlInErrors) {
  auto controls = SampleControls();
  struct Case {
    const char* json;
    const char* message;
  } cases[] = {
      {"[1]", "p.json: a preset is a JSON object of control name to value, not an array"},
      {R"({"R4 C3": 1})", "p.json: unknown control \"R4 C3\"; did you mean \"R4 C2\"?"},
      {R"({"Lens Center": 5})", "p.json: \"Lens Center\" takes a point [X, Y], not a number"},
      {R"({"Pixel Aspect": [1, 2]})", "p.json: \"Pixel Aspect\" does not take an array"},
      {R"({"Pixel Aspect": true})", "p.json: \"Pixel Aspect\" does not take a boolean"},
      {R"({"Pixel Aspect": 20})", "p.json: \"Pixel Aspect\" must be between 0.1 and 10, not 20"},
      {R"({"Pixel Aspect": {"1": 1}})", "p.json: \"Pixel Aspect\" cannot be animated; give it one value"},
      {R"({"R4 C2": {"first": 1}})", "p.json: \"R4 C2\" keyframe takes a whole frame number, not \"first\""},
      {R"({"R4 C2": {"1.5": 1}})", "p.json: \"R4 C2\" keyframe takes a whole frame number, not \"1.5\""},
      {R"({"R4 C2": {"-10000001": 1}})",
       "p.json: \"R4 C2\" keyframe: frame \"-10000001\" is beyond the frames a shot can have (-10000000 to 10000000)"},
      {R"({"R4 C2": {}})", "p.json: \"R4 C2\" has an empty set of keyframes"},
      {R"({"R4 C2": 1, "6": 2})", "p.json: \"R4 C2\" and \"6\" both name \"R4 C2\""},
  };
  for (const Case& c : cases) {
    auto doc = ParsePreset(c.json, "p.json");
    ControlSettings settings;
    EXPECT_EQ(UsageMessage([&] { ApplyPreset(settings, controls, doc, "p.json"); }), c.message);
  }
}

TEST(Preset, RefusesBadJsonWithPlace) {
  struct Case {
    std::string text;
    const char* message;
  } cases[] = {
      {"{\"a\": 1,}", "line 1, column 9: syntax error while parsing object key - unexpected '}'; expected string literal"},
      {"{\"a\": 1,\n \"a\": 2}", "line 2, column 2: duplicate key \"a\""},
      {"{\"k\": {\"1\": 1, \"x\\\"\": 2, \"x\\\"\": 3}}", "line 1, column 26: duplicate key \"x\"\""},
      {"\xEF\xBB\xBF{\"a\": 1, \"a\": 2}", "line 1, column 10: duplicate key \"a\""},
      {"[1e400]", "line 1, column 2: number overflow parsing '1e400'"},
      {std::string(65, '[') + std::string(65, ']'), "line 1, column 65: nested too deeply"},
      {"\"" + std::string(100, 'x') + "\x01\"",
       "line 1, column 102: syntax error while parsing value - invalid string: control character U+0001 (SOH) "
       "must be escaped to \\u0001; last read: \"\"xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx...\""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(UsageMessage([&] { ParsePreset(c.text, "p.json"); }), "p.json: not valid JSON: " + std::string(c.message));
  EXPECT_NO_THROW(ParsePreset(std::string(64, '[') + std::string(64, ']'), "p.json"));
}

TEST(Arguments, PresetComesBeforeSetsWhateverTheOrder) {
  auto controls = SampleControls();
  std::string path = ::testing::TempDir() + "vtlens_preset_order.json";
  {
    std::ofstream out(path);
    out << R"({"R4 C2": 1, "Distort Mode": "Remove WF1"})";
  }
  ParsedArguments parsed = ParseArguments(
      {"--set", "R4 C2=2", "--preset", path, "--distort-mode=apply wf2", "--set=6=3"},
      EffectOptionDefs());
  ControlSettings settings;
  ApplyEffectOptions(parsed, controls, settings);
  EXPECT_EQ(FindSetting(settings, 6)->keys[0].value.x, 3.0);
  EXPECT_EQ(FindSetting(settings, 2)->keys[0].value.x, 2.0);
  std::remove(path.c_str());
}

TEST(Arguments, RefusesBadOptions) {
  std::vector<OptionDef> allowed = {{"frames", true}, {"json", false}};
  struct Case {
    std::vector<std::string> args;
    const char* message;
  } cases[] = {
      {{"--frame", "1-2"}, "unknown option \"--frame\"; did you mean --frames?"},
      {{"--zzzzzz"}, "unknown option \"--zzzzzz\""},
      {{"--frames"}, "--frames needs a value"},
      {{"--json=1"}, "--json takes no value"},
      {{"--frames", "1", "--frames=2"}, "--frames is given twice; give it once"},
  };
  for (const Case& c : cases) EXPECT_EQ(UsageMessage([&] { ParseArguments(c.args, allowed); }), c.message);
  // Help wins over any mistake, and carries the table the usage is printed from.
  for (auto args : {std::vector<std::string>{"-h"}, {"--zzz", "--help", "--frames"}}) {
    try {
      ParseArguments(args, allowed);
      ADD_FAILURE() << "no help for " << args[0];
    } catch (const HelpRequest& help) {
      EXPECT_EQ(help.options.size(), 2u);
    }
  }
  std::vector<OptionDef> effect = EffectOptionDefs();
  effect.push_back({"json", false});
  ParsedArguments repeated = ParseArguments({"--set", "a=1", "--set=b=2", "--json", "--json"}, effect);
  EXPECT_EQ(repeated.options.size(), 4u);
  ParsedArguments p = ParseArguments({"in.exr", "-", "-5", "--json", "--frames=3-4", "--", "--out", "-h"}, allowed);
  EXPECT_EQ(p.positional, (std::vector<std::string>{"in.exr", "-", "-5", "--out", "-h"}));
  EXPECT_EQ(OptionValue(p, "frames"), "3-4");
  EXPECT_TRUE(HasOption(p, "json"));

  int w = 0, h = 0;
  ParseSize("1920x1080", "--layer", w, h);
  EXPECT_EQ(w, 1920);
  EXPECT_EQ(h, 1080);
  EXPECT_EQ(UsageMessage([&] { ParseSize("0x10", "--layer", w, h); }),
            "--layer width takes a whole number from 1 to 30000, not \"0\"");
  EXPECT_EQ(UsageMessage([&] { ParseSize("1920", "--layer", w, h); }), "--layer takes WxH, not \"1920\"");
}

TEST(Arguments, ThreadsZeroMeansEveryCore) {
  int cores = static_cast<int>(std::min(std::max(1u, std::thread::hardware_concurrency()), 256u));
  std::vector<OptionDef> allowed = {kThreadsOption};
  struct Case {
    std::vector<std::string> args;
    int threads;
  } cases[] = {{{}, cores}, {{"--threads", "0"}, cores}, {{"--threads=1"}, 1}, {{"--threads", "256"}, 256}};
  for (const Case& c : cases) EXPECT_EQ(ParseThreads(ParseArguments(c.args, allowed)), c.threads);
  EXPECT_EQ(UsageMessage([&] { ParseThreads(ParseArguments({"--threads", "257"}, allowed)); }),
            "--threads takes a whole number from 0 to 256, not \"257\"");
}

TEST(Echo, CutsAndEscapesWhatItShows) {
  struct Case {
    std::string input;
    std::string shown;
  } cases[] = {
      {"R4 C3", "\"R4 C3\""},
      {"caf\xC3\xA9 \xE2\x82\xAC", "\"caf\xC3\xA9 \xE2\x82\xAC\""},  // UTF-8 prints as itself
      {"\x1B[2J\t\x7F\xC3(\xC0\xAF\xED\xA0\x80\xC2\x85", "\"\\x1B[2J\\x09\\x7F\\xC3(\\xC0\\xAF\\xED\\xA0\\x80\\xC2\\x85\""},
      {std::string(60, 'a'), "\"" + std::string(60, 'a') + "\""},
      {std::string(61, 'a'), "\"" + std::string(60, 'a') + "...\""},
      {std::string(59, 'a') + "\xC3\xA9\xC3\xA9", "\"" + std::string(59, 'a') + "\xC3\xA9...\""},
  };
  for (const Case& c : cases) EXPECT_EQ(Echo(c.input), c.shown) << c.input;
}

}  // namespace
