// Every kind of bad input: a message naming the problem, a non-zero exit, and no file
// written, not even a partial or temporary one.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "ImageFile.h"
#include "VtlensTestSupport.h"

namespace {

TEST(VtlensErrors, BadInputIsNamedAndLeavesNothingBehind) {
  std::string dir = ScratchFolder();
  WriteImageFile(dir + "/in.png", RampImage(16, 8), WriteOptions{});
  for (int f : {1, 2, 4}) WriteImageFile(dir + "/seq." + std::to_string(f) + ".png", RampImage(16, 8), WriteOptions{});
  std::ofstream(dir + "/bad.json") << R"({"Zoom Factor": 2,})";
  std::ofstream(dir + "/range.json") << R"({"Zoom Factor": {"1": 1, "9": 11}})";
  std::ofstream(dir + "/frames.json") << R"({"Zoom Factor": {"1": 1, "10000001": 2}})";
  std::ofstream(dir + "/twice.json") << "{\"Zoom Factor\": 1,\n \"zoom factor\": 1, \"Zoom Factor\": 2}";
  std::filesystem::create_directory(dir + "/folder.png");
  std::filesystem::create_directory(dir + "/o.2.png");
  std::vector<std::string> before = FilesIn(dir);
  struct Case {
    const char* args;
    int status;
    const char* message;
  } cases[] = {
      {"render in.png out.png --set 'R4 C3=1'", 2, "unknown control \"R4 C3\"; did you mean \"R4 C2\"?"},
      {"render in.png out.png --set \"Zoom Factor=$(printf '\\033[2J%070d' 0)\"", 2,
       "\"Zoom Factor\" takes a number, not \"\\x1B[2J00000000000000000000000000000000000000000000000000000000...\""},
      {"render in.png out.png --preset frames.json", 2,
       "frames.json: \"Zoom Factor\" keyframe: frame \"10000001\" is beyond the frames a shot can have"},
      {"render in.png out.png --preset twice.json", 2, "twice.json: not valid JSON: line 2, column 20: duplicate key"},
      {"render in.png folder.png", 1, "cannot write \"folder.png\": it is a folder"},
      {"render seq.#.png o.#.png --frames 1,2", 1, "cannot write \"o.2.png\": it is a folder"},
      {"render in.png out.png --filter Nearest --filter=Lanczos-2", 2, "--filter is given twice; give it once"},
      {"render in.png out.png --set 'Pixel Aspect=20'", 2, "\"Pixel Aspect\" must be between 0.1 and 10, not 20"},
      {"render in.png out.png --set 'Zoom Factor=big'", 2, "\"Zoom Factor\" takes a number, not \"big\""},
      {"render in.png out.png --set 'Lens Center=5'", 2, "\"Lens Center\" takes a point X,Y in layer pixels"},
      {"render in.png out.png --lens-model Fisheye", 2, "\"Lens Model\" has no entry \"Fisheye\""},
      {"render in.png out.png --set 'Classic Parameters=1'", 2, "\"Classic Parameters\" is a group"},
      {"render in.png out.png --preset bad.json", 2, "bad.json: not valid JSON: line 1, column 19"},
      {"render in.png out.png --preset range.json", 2, "range.json: \"Zoom Factor\" must be between 0.01 and 10, not 11"},
      {"render in.png out.png --preset missing.json", 1, "cannot read the preset \"missing.json\""},
      {"render missing.png out.png", 1, "cannot read \"missing.png\": no such file"},
      {"render in.png out.xyz", 2, "\"out.xyz\": unsupported output format"},
      {"render in.png nodir/out.png", 1, "the folder \"nodir\" does not exist or is not writable"},
      {"render bad.json out.png", 1, "cannot read \"bad.json\""},
      {"render seq.#.png out.#.png --frames 1-5", 1, "\"seq.#.png\": 2 of 5 frames are missing: 3, 5"},
      {"render seq.#.png out.png --frames 1-2", 2, "INPUT and OUTPUT must both be sequences"},
      {"render seq.#.png out.#.png", 2, "a sequence needs --frames, e.g. --frames 1001-1100"},
      {"render seq.#.png out.#.png --frames 4-1x2", 2, "--frames \"4-1x2\": the range \"4-1x2\" runs backwards; write it 1-4"},
      {"render in.png out.png --frames 1,2", 2, "--frames \"1,2\" needs a sequence"},
      {"render in.png out.png --depth 7", 2, "--depth takes 8, 16 or 32, not \"7\""},
      {"render in.png out.png --depth 9", 2, "--depth takes 8, 16 or 32, not \"9\""},
      {"render in.png out.png --set 'Undistorted Img Size=30002,100'", 1, "30000 pixels a side"},
      {"render in.png out.png --set 'Lens Center=40000,1'", 2, "takes coordinates between -32768 and 32768"},
      {"render in.png", 2, "render takes INPUT and OUTPUT"},
      {"render in.png out.png --fliter Nearest", 2, "unknown option \"--fliter\"; did you mean --filter?"},
      {"render -t 2 in.png out.png", 2, "unknown option \"-t\""},
      {"map --layer 10x10 --to source --frame 10000001", 2, "--frame: frame \"10000001\" is beyond the frames a shot can have"},
      {"map --to source", 2, "map needs --layer WxH"},
      {"map --layer 10x10", 2, "map needs either --space normalised --direction D, or --to source|output"},
      {"map --layer 10x10 --space normalised", 2, "--space normalised needs --direction distort|undistort"},
      {"map --layer 10x10 --to source --points missing.txt", 1, "cannot read the points file \"missing.txt\""},
      {"stmap out.png --layer 10x10", 2, "an ST map is written as OpenEXR"},
      {"stmap out.exr --layer 10x10 --set 'Undistorted Img Size=30002,10'", 1, "30000 pixels a side"},
      {"info --module nosuch.so", 2, "--module \"nosuch.so\": no such file"},
      {"frobnicate", 2, "unknown command \"frobnicate\""},
      {"stmpa", 2, "; did you mean stmap?"},
      {"help frobnicate", 2, "unknown command \"frobnicate\""},
  };
  for (const Case& c : cases) {
    CommandResult r = RunVtlens(dir, c.args);
    EXPECT_EQ(r.status, c.status) << c.args << "\n" << r.err;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << c.args << "\n" << r.err;
    EXPECT_EQ(r.err.find("Sanitizer"), std::string::npos) << c.args << "\n" << r.err;
    EXPECT_EQ(FilesIn(dir), before) << c.args;
  }
}

TEST(VtlensErrors, BadPointLinesAreNamed) {
  std::string dir = ScratchFolder();
  struct Case {
    std::string input;
    std::string message;
  } cases[] = {
      {"1 2\n# fine\n3 four\n", "stdin, line 3: expected \"x y\" or \"x,y\", not \"3 four\""},
      {"1 2\r\n\x01\xFF\x1B]0;title\x07 " + std::string(80, '9') + "\n",
       "stdin, line 2: expected \"x y\" or \"x,y\", not \"\\x01\\xFF\\x1B]0;title\\x07 " + std::string(47, '9') + "...\"\n"},
  };
  for (const Case& c : cases) {
    CommandResult r = RunVtlens(dir, "map --layer 64x32 --to source", c.input);
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");  // nothing printed for a list that is not all good
  }
}

TEST(VtlensErrors, HelpAndVersionAnswerOnStdout) {
  std::string dir = ScratchFolder();
  struct Case {
    const char* args;
    const char* first;  // the first line printed
  } cases[] = {
      {"render --help", "usage: vtlens render INPUT OUTPUT [options]"},
      {"render -h", "usage: vtlens render INPUT OUTPUT [options]"},
      {"render in.png --fliter x --help --frames", "usage: vtlens render INPUT OUTPUT [options]"},
      {"help stmap", "usage: vtlens stmap OUTPUT --layer WxH [options]"},
      {"info -h", "usage: vtlens info [--json]"},
      {"help", "vtlens: the Advanced Distortion lens effect outside the host"},
      {"--version", "vtlens 1.4.0, with Vantrel Advanced Distortion"},
  };
  for (const Case& c : cases) {
    CommandResult r = RunVtlens(dir, c.args);
    EXPECT_EQ(r.status, 0) << c.args << "\n" << r.err;
    EXPECT_EQ(r.out.substr(0, r.out.find('\n')), c.first) << c.args;
    EXPECT_EQ(r.err, "") << c.args;
  }
  // The usage lists exactly the options the command takes.
  CommandResult render = RunVtlens(dir, "render --help");
  for (const char* option : {"--set NAME=VALUE", "--preset FILE", "--frames LIST", "--threads N", "--depth 8|16|32",
                             "--raw-channels", "--module PATH"})
    EXPECT_NE(render.out.find(option), std::string::npos) << option;
  EXPECT_EQ(render.out.find("--layer"), std::string::npos);
}

}  // namespace
