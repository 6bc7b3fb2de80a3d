#include "Sequence.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>

#include "ToolError.h"

namespace {

constexpr size_t kMaxFrames = 1000000;

// Recognises "%d" or "%0Nd" at `i`; fills its length and width.
bool PrintfPlaceholder(const std::string& path, size_t i, size_t& length, int& width) {
  size_t j = i + 1;
  int w = 0;
  if (j < path.size() && path[j] == '0') {
    ++j;
    while (j < path.size() && path[j] >= '0' && path[j] <= '9' && w < 100)
      w = w * 10 + (path[j++] - '0');
    if (w == 0) return false;
  }
  if (j >= path.size() || path[j] != 'd') return false;
  length = j + 1 - i;
  width = w == 0 ? 1 : w;
  return true;
}

// Reads an optionally signed run of digits at `i`, moving past it. False when there is
// none; `out` saturates beyond the frames a shot can have, so the caller's range check
// catches any length of digits.
bool ReadInteger(const std::string& text, size_t& i, long& out) {
  size_t start = i;
  bool negative = i < text.size() && text[i] == '-';
  if (negative) ++i;
  size_t digits = i;
  long v = 0;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
    v = std::min(v * 10 + (text[i] - '0'), kMaxFrame + 1);
    ++i;
  }
  if (i == digits) {
    i = start;
    return false;
  }
  out = negative ? -v : v;
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
    if (found.isSequence) throw UsageError("\"" + path + "\" has more than one frame placeholder");
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

std::string FrameBeyondShot(const std::string& what, const std::string& frame) {
  return what + ": frame " + Echo(frame) + " is beyond the frames a shot can have (-" +
         std::to_string(kMaxFrame) + " to " + std::to_string(kMaxFrame) + ")";
}

long ParseFrameNumber(const std::string& text, const std::string& what) {
  size_t i = 0;
  long frame = 0;
  if (!ReadInteger(text, i, frame) || i != text.size())
    throw UsageError(what + " takes a whole frame number, not " + Echo(text));
  if (frame < -kMaxFrame || frame > kMaxFrame) throw UsageError(FrameBeyondShot(what, text));
  return frame;
}

std::vector<long> ParseFrames(const std::string& text) {
  const std::string what = "--frames " + Echo(text);
  struct Item {
    long first, last, step;
  };
  std::vector<Item> items;
  size_t count = 0;
  size_t start = 0;
  while (true) {
    size_t comma = std::min(text.find(',', start), text.size());
    std::string item = text.substr(start, comma - start);
    size_t i = 0;
    Item r{0, 0, 1};
    std::string firstText, lastText;  // as written, for messages
    auto read = [&](long& value, std::string* written) {
      size_t from = i;
      bool found = ReadInteger(item, i, value);
      if (written) *written = item.substr(from, i - from);
      return found;
    };
    bool ok = read(r.first, &firstText);
    r.last = r.first;
    lastText = firstText;
    if (ok && i < item.size() && item[i] == '-') {
      ++i;
      ok = read(r.last, &lastText);
      if (ok && i < item.size() && (item[i] == 'x' || item[i] == 'X')) {
        ++i;
        ok = i < item.size() && item[i] != '-' && read(r.step, nullptr);
      }
    }
    if (!ok || i != item.size())
      throw UsageError("--frames takes frames as 1001-1100, 1001-1100x5 or 1,5,10-20, not " +
                       Echo(text));
    if (r.first < -kMaxFrame || r.first > kMaxFrame)
      throw UsageError(FrameBeyondShot(what, firstText));
    if (r.last < -kMaxFrame || r.last > kMaxFrame)
      throw UsageError(FrameBeyondShot(what, lastText));
    if (r.last < r.first)
      throw UsageError(what + ": the range " + Echo(item) + " runs backwards; write it " +
                       std::to_string(r.last) + "-" + std::to_string(r.first));
    if (r.step < 1) throw UsageError(what + ": a step takes a whole number from 1 up");
    count += static_cast<size_t>((r.last - r.first) / r.step + 1);
    if (count > kMaxFrames) throw UsageError(what + ": more than a million frames");
    items.push_back(r);
    if (comma == text.size()) break;
    start = comma + 1;
  }
  std::vector<long> frames;
  frames.reserve(count);
  for (const Item& r : items)
    for (long f = r.first; f <= r.last; f += r.step) frames.push_back(f);
  std::sort(frames.begin(), frames.end());
  frames.erase(std::unique(frames.begin(), frames.end()), frames.end());
  return frames;
}

FrameRange ParseFrameRange(const std::string& text) {
  std::vector<long> frames = ParseFrames(text);
  if (frames.back() - frames.front() + 1 != static_cast<long>(frames.size()))
    throw UsageError("--frames " + Echo(text) + ": give one unbroken range A-B here");
  return FrameRange{frames.front(), frames.back()};
}

std::vector<long> MissingFrames(const std::string& path, const FramePattern& pattern,
                                const FrameRange& range) {
  std::vector<long> frames;
  for (long f = range.first; f <= range.last; ++f) frames.push_back(f);
  return MissingFrames(path, pattern, frames);
}

std::vector<long> MissingFrames(const std::string& path, const FramePattern& pattern,
                                const std::vector<long>& frames) {
  std::vector<long> missing;
  for (long f : frames) {
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
