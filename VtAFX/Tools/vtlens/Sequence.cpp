#include "Sequence.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>

#include "ToolError.h"

namespace {

constexpr long kMaxFrames = 1000000;

// Recognises "%d" or "%0Nd" at `i`; fills its length and width.
bool PrintfPlaceholder(const std::string& path, size_t i, size_t& length, int& width) {
  size_t j = i + 1;
  int w = 0;
  if (j < path.size() && path[j] == '0') {
    ++j;
    while (j < path.size() && path[j] >= '0' && path[j] <= '9' && w < 100) w = w * 10 + (path[j++] - '0');
    if (w == 0) return false;
  }
  if (j >= path.size() || path[j] != 'd') return false;
  length = j + 1 - i;
  width = w == 0 ? 1 : w;
  return true;
}

bool ParseWhole(const std::string& text, long& out) {
  if (text.empty() || text.size() > 9) return false;
  for (char c : text)
    if (c < '0' || c > '9') return false;
  out = std::strtol(text.c_str(), nullptr, 10);
  return true;
}

}  // namespace

FramePattern FindFramePattern(const std::string& path) {
  size_t slash = path.find_last_of('/');
  size_t start = slash == std::string::npos ? 0 : slash + 1;
  FramePattern found;
  for (size_t i = start; i < path.size(); ++i) {
    FramePattern p;
    if (path[i] == '#') {
      size_t j = i;
      while (j < path.size() && path[j] == '#') ++j;
      p = FramePattern{true, i, j - i, static_cast<int>(j - i)};
    } else if (path[i] == '%') {
      size_t length = 0;
      int width = 0;
      if (!PrintfPlaceholder(path, i, length, width))
        throw UsageError("\"" + path + "\": a frame placeholder is #### or %04d");
      p = FramePattern{true, i, length, width};
    } else {
      continue;
    }
    if (found.isSequence)
      throw UsageError("\"" + path + "\" has more than one frame placeholder");
    found = p;
    i = p.position + p.length - 1;
  }
  return found;
}

std::string FramePath(const std::string& path, const FramePattern& pattern, long frame) {
  if (!pattern.isSequence) return path;
  char digits[64];
  std::snprintf(digits, sizeof digits, "%0*ld", pattern.width, frame);
  return path.substr(0, pattern.position) + digits + path.substr(pattern.position + pattern.length);
}

FrameRange ParseFrameRange(const std::string& text) {
  FrameRange range;
  size_t dash = text.find('-');
  bool ok = dash == std::string::npos
                ? ParseWhole(text, range.first) && ParseWhole(text, range.last)
                : ParseWhole(text.substr(0, dash), range.first) &&
                      ParseWhole(text.substr(dash + 1), range.last);
  if (!ok) throw UsageError("--frames takes A-B or A with whole frame numbers, not \"" + text + "\"");
  if (range.last < range.first)
    throw UsageError("--frames " + text + ": the last frame comes before the first");
  if (range.last - range.first >= kMaxFrames)
    throw UsageError("--frames " + text + ": more than a million frames");
  return range;
}

std::vector<long> MissingFrames(const std::string& path, const FramePattern& pattern,
                                const FrameRange& range) {
  std::vector<long> missing;
  for (long f = range.first; f <= range.last; ++f) {
    struct stat info {};
    if (stat(FramePath(path, pattern, f).c_str(), &info) != 0 || !S_ISREG(info.st_mode))
      missing.push_back(f);
  }
  return missing;
}

std::string DescribeFrames(const std::vector<long>& frames) {
  std::string text;
  size_t runs = 0;
  size_t i = 0;
  while (i < frames.size()) {
    size_t j = i;
    while (j + 1 < frames.size() && frames[j + 1] == frames[j] + 1) ++j;
    if (runs == 20) {
      text += ", and " + std::to_string(frames.size() - i) + " more";
      break;
    }
    if (runs) text += ", ";
    text += std::to_string(frames[i]);
    if (j > i) text += "-" + std::to_string(frames[j]);
    ++runs;
    i = j + 1;
  }
  return text;
}
