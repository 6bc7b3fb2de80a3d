// Running the built vtlens from tests: a scratch folder per test, the command's exit
// status and both output streams, and small images made for the purpose.
#pragma once

#include <string>
#include <vector>

#include "Image.h"

struct CommandResult {
  int status = -1;
  std::string out;
  std::string err;
};

// A fresh, empty folder under the test temp folder, named for the running test.
std::string ScratchFolder();

// `text` quoted for the shell.
std::string Quote(const std::string& text);

// Runs vtlens with `args` (already quoted where needed) in `folder`, feeding `input` on
// stdin.
CommandResult RunVtlens(const std::string& folder, const std::string& args, const std::string& input = "");

// The names of the files in `folder`, sorted.
std::vector<std::string> FilesIn(const std::string& folder);

// An 8-bit image whose pixel (x, y) has alpha 255 and colour (x * 3, y * 5, x + y) mod 256.
Image RampImage(int32_t width, int32_t height);

// Parses the whitespace-separated numbers of each line of `text`.
std::vector<std::vector<double>> NumberLines(const std::string& text);
