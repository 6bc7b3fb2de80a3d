// What reaches the user from the command line: a message naming the problem on stderr, the
// exit status, and no file written, not even a partial or temporary one; help and the
// version on stdout. The wording of each rule about values, presets and options is checked
// where the rule lives (ControlsTest, SequenceTest); here are the rules only a whole run can
// break.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "ImageFile.h"
#include "VtlensTestSupport.h"

namespace {

TEST(VtlensErrors, EachMistakeIsNamedAndLeavesNothingBehind) {
  const std::string dir = ScratchFolder();
  WriteImageFile(dir + "/in.png", RampImage(16, 8), WriteOptions{});
  for (int f : {1, 2, 4}) {
    WriteImageFile(dir + "/seq." + std::to_string(f) + ".png", RampImage(16, 8), WriteOptions{});
  }
  std::ofstream(dir + "/bad.json") << R"({"Zoom Factor": 2,})";
  std::filesystem::create_directory(dir + "/folder.png");
  std::filesystem::create_directory(dir + "/o.2.png");
  const std::vector<std::string> before = FilesIn(dir);
  const std::string render = "render in.png out.png ",
                    renderUsage = "usage: vtlens render INPUT OUTPUT [options]";
  struct Case {
    Case(std::string a, int s, std::string m, std::string i = "")
        : args(std::move(a)), status(s), message(std::move(m)), input(std::move(i)) {}
    std::string args;
    int status;
    std::string message, input;
  };
  const Case cases[] = {
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
      {"help frobnicate", 2, "unknown command \"frobnicate\""},
      // A point list that is not all good prints nothing.
      {"map --layer 64x32 --to source", 2,
       "stdin, line 3: expected \"x y\" or \"x,y\", not \"3 four\"", "1 2\n# fine\n3 four\n"},
      {"map --layer 64x32 --to source", 2,
       "stdin, line 2: expected \"x y\" or \"x,y\", not \"\\x01\\xFF\\x1B]0;title\\x07 " +
           std::string(47, '9') + "...\"\n",
       "1 2\r\n\x01\xFF\x1B]0;title\x07 " + std::string(80, '9') + "\n"},
      {"render --help", 0, renderUsage},
      {"render -h", 0, renderUsage},
      {"render in.png --fliter x --help --frames", 0, renderUsage},
      {"help stmap", 0, "usage: vtlens stmap OUTPUT --layer WxH [options]"},
      {"info -h", 0, "usage: vtlens info [--json]"},
      {"help", 0, "vtlens: the Advanced Distortion lens effect outside the host"},
      {"--version", 0, "vtlens 1.4.0, with Vantrel Advanced Distortion"}};
  for (const Case& c : cases) {
    CommandResult r = RunVtlens(dir, c.args, c.input);
    EXPECT_EQ(r.status, c.status) << c.args << "\n" << r.err;
    // Help wins over any mistake: its first line, and nothing on stderr.
    const std::string firstLine = r.out.substr(0, r.out.find('\n'));
    EXPECT_TRUE(c.status ? r.err.find(c.message) != std::string::npos : firstLine == c.message)
        << c.args << "\n"
        << r.err << r.out;
    EXPECT_EQ(r.err.find("Sanitizer"), std::string::npos) << c.args << "\n" << r.err;
    EXPECT_EQ(c.status ? r.out : r.err, "") << c.args;
    EXPECT_EQ(FilesIn(dir), before) << c.args;
  }
  // A command's usage lists exactly the options it takes.
  const std::string usage = RunVtlens(dir, "render --help").out;
  for (const char* option : {"--set NAME=VALUE", "--preset FILE", "--frames LIST", "--threads N",
                             "--depth 8|16|32", "--raw-channels", "--module PATH"})
    EXPECT_NE(usage.find(option), std::string::npos) << option;
  EXPECT_EQ(usage.find("--layer"), std::string::npos);
}

}  // namespace
