#include "VtlensTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace {

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

}  // namespace

std::string ScratchFolder() {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  // The process id keeps two builds' runs of the same test (plain and sanitized, side by
  // side) out of each other's files.
  std::string dir = ::testing::TempDir() + "vtlens_e2e_" + std::to_string(::getpid()) + "_" +
                    info->test_suite_name() + "_" + info->name();
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir;
}

std::string Quote(const std::string& text) {
  std::string out = "'";
  for (char c : text) {
    if (c == '\'') out += "'\\''";
    else out += c;
  }
  return out + "'";
}

CommandResult RunVtlens(const std::string& folder, const std::string& args, const std::string& input) {
  std::string io = std::filesystem::temp_directory_path().string() + "/vtlens_e2e_io_" + std::to_string(::getpid());
  std::ofstream(io + ".in", std::ios::binary) << input;
  std::string command = "cd " + Quote(folder) + " && " + Quote(VTLENS_PATH) + " " + args + " <" + Quote(io + ".in") +
                        " >" + Quote(io + ".out") + " 2>" + Quote(io + ".err");
  int raw = std::system(command.c_str());
  CommandResult result;
  result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  result.out = ReadAll(io + ".out");
  result.err = ReadAll(io + ".err");
  for (const char* ext : {".in", ".out", ".err"}) std::filesystem::remove(io + ext);
  return result;
}

std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

Image RampImage(int32_t width, int32_t height) {
  Image image = MakeImage(width, height, kDepth8);
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) {
      size_t i = ChannelIndex(image, x, y, 0);
      image.pixels8[i] = 255;
      image.pixels8[i + 1] = static_cast<uint8_t>((x * 3) % 256);
      image.pixels8[i + 2] = static_cast<uint8_t>((y * 5) % 256);
      image.pixels8[i + 3] = static_cast<uint8_t>((x + y) % 256);
    }
  return image;
}

std::vector<std::vector<double>> NumberLines(const std::string& text) {
  std::vector<std::vector<double>> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream words(line);
    std::vector<double> numbers;
    std::string word;
    while (words >> word) numbers.push_back(std::strtod(word.c_str(), nullptr));
    lines.push_back(numbers);
  }
  return lines;
}
