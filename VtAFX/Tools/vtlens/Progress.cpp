#include "Progress.h"

#include <unistd.h>

void StartProgress(Progress& progress, const std::string& label, long total, std::FILE* stream) {
  std::lock_guard<std::mutex> lock(progress.mutex);
  progress.label = label;
  progress.total = total;
  progress.done = 0;
  progress.drawn = false;
  progress.stream = stream;
  progress.toTerminal = stream && isatty(fileno(stream));
  progress.start = std::chrono::steady_clock::now();
}

std::string ProgressBarText(const std::string& label, long done, long total, int width) {
  long filled = total > 0 ? done * width / total : width;
  if (filled > width) filled = width;
  if (filled < 0) filled = 0;
  std::string bar = label + " [";
  bar.append(static_cast<size_t>(filled), '#');
  bar.append(static_cast<size_t>(width - filled), '.');
  bar += "] " + std::to_string(done) + "/" + std::to_string(total);
  return bar;
}

void AdvanceProgress(Progress& progress) {
  std::lock_guard<std::mutex> lock(progress.mutex);
  ++progress.done;
  if (!progress.toTerminal) return;
  std::fprintf(progress.stream, "\r%s",
               ProgressBarText(progress.label, progress.done, progress.total, 30).c_str());
  std::fflush(progress.stream);
  progress.drawn = true;
}

double FinishProgress(Progress& progress) {
  std::lock_guard<std::mutex> lock(progress.mutex);
  if (progress.drawn) {
    std::fprintf(progress.stream, "\r\033[K");
    std::fflush(progress.stream);
    progress.drawn = false;
  }
  return SecondsSince(progress.start);
}

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}
