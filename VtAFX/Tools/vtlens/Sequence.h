// Image sequences: a path with a frame-number placeholder, "####" (as many digits as
// hashes, zero-padded) or printf's "%d" / "%0Nd", and frame numbers and lists as
// compositors write them ("1001-1100", "1001-1100x5", "1,5,10-20").
#pragma once

#include <string>
#include <vector>

// Frame numbers anywhere (--frames, --frame, keyframes) are whole numbers within
// +-kMaxFrame, which keeps their times inside the host's 32-bit time values.
constexpr long kMaxFrame = 10000000;

// Reads one frame number ("1001", "-5"). Throws a usage error beginning with `what` for
// anything else, with one wording for a number beyond +-kMaxFrame wherever it was given.
long ParseFrameNumber(const std::string& text, const std::string& what);

// The message for `frame` (as the user wrote it) beyond +-kMaxFrame, after `what`.
std::string FrameBeyondShot(const std::string& what, const std::string& frame);

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

// Parses a frame list for --frames: items separated by commas, each a frame "A", a
// range "A-B" (A <= B) or a range with a step "A-BxS" (every S-th frame from A, S >= 1).
// Returns the frames in increasing order, each once. Throws a usage error for a malformed
// or reversed item, or more than a million frames.
std::vector<long> ParseFrames(const std::string& text);

// One unbroken range of frames, for work cut into chunks of consecutive frames.
struct FrameRange {
  long first = 0;
  long last = 0;  // inclusive, last >= first
};

// Parses --frames as ParseFrames does, and throws a usage error unless the frames are one
// unbroken range ("1001-1100" or "7").
FrameRange ParseFrameRange(const std::string& text);

// The `frames` whose file does not exist, in the order given.
std::vector<long> MissingFrames(const std::string& path, const FramePattern& pattern,
                                const std::vector<long>& frames);
std::vector<long> MissingFrames(const std::string& path, const FramePattern& pattern,
                                const FrameRange& range);

// A list of frame numbers for a message, runs collapsed ("1001-1003, 1007"), cut after
// twenty entries with the count of the rest.
std::string DescribeFrames(const std::vector<long>& frames);
