// What reaches the user from the command line: a message naming the problem, the exit
// status, and no file written, not even a partial or temporary one. The wording of each
// rule about values, presets and options is checked where the rule lives (ControlsTest,
// SequenceTest); here are the rules only a whole run can break.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "ImageFile.h"
#include "VtlensTestSupport.h"

namespace {

TEST(VtlensErrors, BadInputIsNamedAndLeavesNothingBehind) {
  const std::string dir = ScratchFolder();
  WriteImageFile(dir + "/in.png", RampImage(16, 8), WriteOptions{});
  for (int f : {1, 2, 4}) {
    WriteImageFile(dir + "/seq." + std::to_string(f) + ".png", RampImage(16, 8), WriteOptions{});
  }
  std::ofstream(dir + "/bad.json") << R"({"Zoom Factor": 2,})";
  std::ofstream(dir + "/twice.json")
      << "\xEF\xBB\xBF{\"Zoom Factor\": 1,\n \"zoom factor\": 1, \"Zoom Factor\": 2}";
  std::filesystem::create_directory(dir + "/folder.png");
  std::filesystem::create_directory(dir + "/o.2.png");
  const std::vector<std::string> before = FilesIn(dir);
  const std::string render = "render in.png out.png ";
  struct Case {
    std::string args;
    int status;
    const char* message;
  };
  const Case cases[] = {
      {render + "--set \"Zoom Factor=$(printf '\\033[2J%070d' 0)\"", 2,
       "\"Zoom Factor\" takes a number, not \"\\x1B[2J000000000000000000000000000000000000000000000"
       "00000000000...\""},
      {render + "--preset twice.json", 2,
       "twice.json: not valid JSON: line 2, column 20: duplicate key"},
      {render + "--preset missing.json", 1, "cannot read the preset \"missing.json\""},
      {render + "--frames 1,2", 2, "--frames \"1,2\" needs a sequence"},
      {render + "--depth 7", 2, "--depth takes 8, 16 or 32, not \"7\""},
      {render + "--set 'Undistorted Img Size=30002,100'", 1, "30000 pixels a side"},
      {"render in.png folder.png", 1, "cannot write \"folder.png\": it is a folder"},
      {"render seq.#.png o.#.png --frames 1,2", 1, "cannot write \"o.2.png\": it is a folder"},
      {"render missing.png out.png", 1, "cannot read \"missing.png\": no such file"},
      {"render in.png out.xyz", 2, "\"out.xyz\": unsupported output format"},
      {"render in.png nodir/out.png", 1, "the folder \"nodir\" does not exist or is not writable"},
      {"render bad.json out.png", 1, "cannot read \"bad.json\""},
      {"render seq.#.png out.#.png --frames 1-5", 1,
       "\"seq.#.png\": 2 of 5 frames are missing: 3, 5"},
      {"render seq.#.png out.png --frames 1-2", 2, "INPUT and OUTPUT must both be sequences"},
      {"render seq.#.png out.#.png", 2, "a sequence needs --frames, e.g. --frames 1001-1100"},
      {"render in.png", 2, "render takes INPUT and OUTPUT"},
      {"map --to source", 2, "map needs --layer WxH"},
      {"map --layer 10x10", 2,
       "map needs either --space normalised --direction D, or --to source|output"},
      {"map --layer 10x10 --space normalised", 2,
       "--space normalised needs --direction distort|undistort"},
      {"map --layer 10x10 --to source --points missing.txt", 1,
       "cannot read the points file \"missing.txt\""},
      {"stmap out.png --layer 10x10", 2, "an ST map is written as OpenEXR"},
      {"stmap out.exr --layer 10x10 --set 'Undistorted Img Size=30002,10'", 1,
       "30000 pixels a side"},
      {"info --module nosuch.so", 2, "--module \"nosuch.so\": no such file"},
      {"frobnicate", 2, "unknown command \"frobnicate\""},
      {"stmpa", 2, "; did you mean stmap?"},
      {"help frobnicate", 2, "unknown command \"frobnicate\""}};
  for (const Case& c : cases) {
    CommandResult r = RunVtlens(dir, c.args);
    EXPECT_EQ(r.status, c.status) << c.args << "\n" << r.err;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << c.args << "\n" << r.err;
    EXPECT_EQ(r.err.find("Sanitizer"), std::string::npos) << c.args << "\n" << r.err;
    EXPECT_EQ(FilesIn(dir), before) << c.args;
  }
  // A point list that is not all good prints nothing.
  const std::pair<std::string, std::string> points[] = {
      {"1 2\n# fine\n3 four\n", "stdin, line 3: expected \"x y\" or \"x,y\", not \"3 four\""},
      {"1 2\r\n\x01\xFF\x1B]0;title\x07 " + std::string(80, '9') + "\n",
       "stdin, line 2: expected \"x y\" or \"x,y\", not \"\\x01\\xFF\\x1B]0;title\\x07 " +
           std::string(47, '9') + "...\"\n"}};
  for (const auto& [input, message] : points) {
    CommandResult r = RunVtlens(dir, "map --layer 64x32 --to source", input);
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
  }
}

// Help wins over any mistake and answers on stdout; a command's usage lists exactly the
// options it takes.
TEST(VtlensErrors, HelpAndVersionAnswerOnStdout) {
  const std::string dir = ScratchFolder();
  const std::string renderUsage = "usage: vtlens render INPUT OUTPUT [options]";
  const std::pair<const char*, std::string> cases[] = {
      {"render --help", renderUsage},
      {"render -h", renderUsage},
      {"render in.png --fliter x --help --frames", renderUsage},
      {"help stmap", "usage: vtlens stmap OUTPUT --layer WxH [options]"},
      {"info -h", "usage: vtlens info [--json]"},
      {"help", "vtlens: the Advanced Distortion lens effect outside the host"},
      {"--version", "vtlens 1.4.0, with Vantrel Advanced Distortion"}};
  for (const auto& [args, first] : cases) {
    CommandResult r = RunVtlens(dir, args);
    EXPECT_EQ(r.status, 0) << args << "\n" << r.err;
    EXPECT_EQ(r.out.substr(0, r.out.find('\n')), first) << args;
    EXPECT_EQ(r.err, "") << args;
  }
  const std::string usage = RunVtlens(dir, "render --help").out;
  for (const char* option : {"--set NAME=VALUE", "--preset FILE", "--frames LIST", "--threads N",
                             "--depth 8|16|32", "--raw-channels", "--module PATH"}) {
    EXPECT_NE(usage.find(option), std::string::npos) << option;
  }
  EXPECT_EQ(usage.find("--layer"), std::string::npos);
}

}  // namespace
