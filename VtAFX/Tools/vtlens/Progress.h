// Progress of long work on stderr: a bar redrawn in place while stderr is a terminal,
// nothing otherwise (logs and pipes get only the summary line). Safe to advance from
// several threads.
#pragma once

#include <chrono>
#include <cstdio>
#include <mutex>
#include <string>

struct Progress {
  std::string label;
  long total = 0;
  long done = 0;
  bool drawn = false;
  bool toTerminal = false;
  std::FILE* stream = nullptr;
  std::chrono::steady_clock::time_point start;
  std::mutex mutex;
};

// Starts `progress` for `total` steps of work named by `label`; draws only when `stream`
// is a terminal.
void StartProgress(Progress& progress, const std::string& label, long total, std::FILE* stream);

// Counts one more step as done and redraws the bar.
void AdvanceProgress(Progress& progress);

// Clears the bar line (if drawn) and returns the seconds since the start.
double FinishProgress(Progress& progress);

// The bar's text for `done` of `total` steps: "label [#####.....] 5/10", `width` marks wide.
std::string ProgressBarText(const std::string& label, long done, long total, int width);

// Seconds since `start`, as a double.
double SecondsSince(std::chrono::steady_clock::time_point start);
