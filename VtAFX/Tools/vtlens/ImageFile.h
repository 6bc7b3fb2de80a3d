// Reading and writing image files with OpenImageIO, converting between what files hold
// and what the host's worlds hold (depth, channel order, associated alpha).
//
// Alpha: the effect works on associated (premultiplied) alpha, as the host does. Files
// whose alpha is unassociated (by their format's convention: PNG, TGA, HEIF, ICO; or
// marked so, as TIFFs can be) are associated on read and dissociated on write, exactly in
// integers; associated files (EXR, TIFF marked associated) pass unchanged;
// files without alpha read as opaque. Raw channels skip all of this and carry the first
// four channels unchanged, for data images whose fourth channel is not alpha.
#pragma once

#include <string>

#include "Image.h"

struct ImageFileInfo {
  std::string format;  // the library's format name ("openexr", "png", ...)
  int channels = 0;
  int fileDepth = kDepth8;  // 8, 16 or 32 (float) by the file's data type
  bool isHalf = false;      // float data stored as half
  bool hasAlpha = false;
  bool unassociatedAlpha = false;
  int32_t displayX = 0, displayY = 0;  // the display window: the layer
  int32_t displayWidth = 0, displayHeight = 0;
};

struct ReadOptions {
  int depth = 0;  // world depth 8, 16 or 32; 0 follows the file
  bool rawChannels = false;
};

// Reads the first image of the file at `path` as the host's layer: the display window,
// with pixels outside the data window transparent. Throws a ToolError naming the file for
// an unreadable or unsupported file, deep data, or a layer beyond 30000 pixels a side.
Image ReadImageFile(const std::string& path, const ReadOptions& options, ImageFileInfo* info);

struct WriteOptions {
  bool rawChannels = false;
  bool halfFloat = false;  // float worlds go to half where the format has it
  // The layer came from a file of `sourceFormat` marked unassociated: an output of the
  // same format is written so too. Formats unassociated by convention always are.
  bool unassociatedAlpha = false;
  std::string sourceFormat;
  // The layer, written as the display window by formats that have one (OpenEXR); the
  // image's own origin then places the data window in it.
  int32_t displayX = 0, displayY = 0;
  int32_t displayWidth = 0, displayHeight = 0;
};

// Throws a usage error unless the library has a writer for `path`'s extension, so that
// a bad output name is refused before any work is done.
void CheckWritableFormat(const std::string& path);

// Throws a ToolError unless the folder `path` would be written into exists and is
// writable, and `path` itself is not a folder.
void CheckOutputFolder(const std::string& path);

// Writes `image` to `path` through a temporary file in the same folder (see TempFiles.h),
// renamed over `path` only when complete: a failure or an interruption never leaves a
// partial file under either name. Stale temporaries of `path` are removed first.
// 8-bit worlds are written as 8-bit, 16-bit worlds as 16-bit (round(w x 65535 / 32768)),
// float worlds as float or half; a format that lacks the type stores the nearest it has.
// Formats without alpha get the three colour channels. Throws a ToolError on failure.
void WriteImageFile(const std::string& path, const Image& image, const WriteOptions& options);

// True when `format` (the library's name) stores unassociated alpha by convention.
bool FormatIsUnassociated(const std::string& format);

// The library's format name for the output `path` ("png" ...); throws like
// CheckWritableFormat.
std::string OutputFormatName(const std::string& path);
