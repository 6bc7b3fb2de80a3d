// Image sequences: a path with a frame-number placeholder, "####" (as many digits as
// hashes, zero-padded) or printf's "%d" / "%0Nd", and the frame ranges given as "A-B".
#pragma once

#include <string>
#include <vector>

struct FrameRange {
  long first = 0;
  long last = 0;  // inclusive, last >= first
};

// The placeholder found in a path: where it starts, how long it is, and the number of
// digits a frame number is padded to (1 for "%d").
struct FramePattern {
  bool isSequence = false;
  size_t position = 0;
  size_t length = 0;
  int width = 0;
};

// Finds the placeholder in `path` (the last one, so that a hash or percent sign in a
// folder name does not count once the file name has its own). Throws a usage error for a
// path with two placeholders in the file name or a malformed "%" placeholder.
FramePattern FindFramePattern(const std::string& path);

// `path` with its placeholder replaced by `frame`, zero-padded to the pattern's width (a
// negative frame gets its minus sign before the digits, as printf does). A path without a
// placeholder is returned unchanged.
std::string FramePath(const std::string& path, const FramePattern& pattern, long frame);

// Parses "A-B" or "A" (non-negative whole numbers, A <= B, at most a million frames).
// Throws a usage error otherwise.
FrameRange ParseFrameRange(const std::string& text);

// The frames of `range` whose file does not exist, in increasing order.
std::vector<long> MissingFrames(const std::string& path, const FramePattern& pattern,
                                const FrameRange& range);

// A list of frame numbers for a message, runs collapsed ("1001-1003, 1007"), cut after
// twenty entries with the count of the rest.
std::string DescribeFrames(const std::vector<long>& frames);
