// Whole command lines as a user types them, against a transcript of what each prints: the exit
// status, a message naming the problem on stderr and nothing on stdout, and no file written,
// not even a partial or temporary one; help, the version and mapped points on stdout, nothing
// on stderr. The wording of each rule about values, presets and options is checked where the
// rule lives (ControlsTest); here are the rules only a whole run can break.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "ImageFile.h"
#include "VtlensTestSupport.h"

namespace {

// Each run in a transcript: "$ ARGS", its stdin as "< LINE" lines (\xNN a byte), "= STATUS",
// then all it printed (stderr on failure, stdout on success); "#" starts a comment line.
struct Transcribed {
  std::string args, input, printed;
  int status = -1;
};

std::vector<Transcribed> Transcript(const std::string& path) {
  std::vector<Transcribed> runs;
  std::istringstream text(ReadFile(path));
  for (std::string line; std::getline(text, line);) {
    if (line.compare(0, 1, "#") == 0) continue;
    if (line.compare(0, 2, "$ ") == 0) {
      runs.emplace_back().args = line.substr(2);
    } else if (line.compare(0, 2, "< ") == 0 && !runs.empty()) {
      std::string& input = runs.back().input;
      for (size_t i = 2; i < line.size(); ++i) {
        const bool byte = line.compare(i, 2, "\\x") == 0;
        input += byte ? char(std::stoi(line.substr(i + 2, 2), nullptr, 16)) : line[i];
        i += byte ? 3 : 0;
      }
      input += '\n';
    } else if (line.compare(0, 2, "= ") == 0 && !runs.empty()) {
      runs.back().status = std::stoi(line.substr(2));
    } else if (!runs.empty()) {
      runs.back().printed += line + '\n';
    }
  }
  return runs;
}

// `printed` against a transcript's text, where a line ending in "[...]" stands for whatever
// starts as it does, to the end: a library's own wording, which its next version may change.
bool Matches(const std::string& printed, const std::string& expected) {
  const size_t wild = expected.find("[...]\n");
  return wild == std::string::npos ? printed == expected
                                   : printed.compare(0, wild, expected, 0, wild) == 0;
}

TEST(VtlensTranscript, EachRunPrintsWhatItShouldAndLeavesNothingBehind) {
  const std::string dir = ScratchFolder();
  WriteImageFile(dir + "/in.png", RampImage(64, 48), WriteOptions{});
  for (int f : {1, 2, 4})
    WriteImageFile(dir + "/seq." + std::to_string(f) + ".png", RampImage(16, 8), WriteOptions{});
  WriteImageFile(dir + "/empty.exr", MakeImage(16, 8, kDepthFloat), WriteOptions{});
  std::ofstream(dir + "/bad.json") << R"({"Zoom Factor": 2,})";
  std::ofstream(dir + "/zoom.json") << R"({"Zoom Factor": {"1": 1, "3": 3}})";
  std::ofstream(dir + "/two.txt") << "10 10 11 11\n# a comment\n20 20 21 22\n";
  std::ofstream(dir + "/short.txt") << "10 10 11\n";
  std::filesystem::create_directory(dir + "/folder.png");
  std::filesystem::create_directory(dir + "/o.2.png");
  ASSERT_EQ(RunVtlens(dir, "stmap map.exr --layer 64x48 --set 'R4 C2=-0.1'").status, 0);
  const std::vector<std::string> before = FilesIn(dir);
  const std::vector<Transcribed> runs = Transcript(VTLENS_GOLDEN_DIR "/transcript.txt");
  ASSERT_GE(runs.size(), 50u);
  for (const Transcribed& run : runs) {
    CommandResult r = RunVtlens(dir, run.args, run.input);
    EXPECT_EQ(r.status, run.status) << run.args;
    EXPECT_PRED2(Matches, run.status ? r.err : r.out, run.printed) << run.args;
    EXPECT_EQ(run.status ? r.out : r.err, "") << run.args;
    EXPECT_EQ(FilesIn(dir), before) << run.args;
  }
}

}  // namespace
