// Running the built vtlens from tests: a scratch folder per test, the command's exit
// status and both output streams, and small images made for the purpose.
#pragma once

#include <OpenImageIO/imageio.h>
#include <gtest/gtest.h>

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
CommandResult RunVtlens(const std::string& folder, const std::string& args,
                        const std::string& input = "");

// The names of the files in `folder`, sorted.
std::vector<std::string> FilesIn(const std::string& folder);

// An 8-bit image whose pixel (x, y) has alpha 255 and colour (x * 3, y * 5, x + y) mod 256.
Image RampImage(int32_t width, int32_t height);

// Parses the whitespace-separated numbers of each line of `text`.
std::vector<std::vector<double>> NumberLines(const std::string& text);

// Writes `data` (interleaved channels of `desc`) through the image library directly, in the
// file's own convention; with four channels the last is alpha, unassociated unless told not.
template <typename T>
void WriteRaw(const std::string& path, OIIO::ImageSpec desc, const std::vector<T>& data,
              bool unassociated = true) {
  if (desc.nchannels == 4) desc.alpha_channel = 3;
  if (desc.nchannels == 4 && unassociated) desc.attribute("oiio:UnassociatedAlpha", 1);
  auto out = OIIO::ImageOutput::create(path);
  ASSERT_TRUE(out && out->open(path, desc) &&
              out->write_image(OIIO::BaseTypeFromC<T>::value, data.data()) && out->close());
}

// The pixels of `path` as the file stores them (alpha not associated), `channels` a pixel.
template <typename T>
std::vector<T> ReadRaw(const std::string& path, int channels, OIIO::ImageSpec* desc = nullptr) {
  OIIO::ImageSpec config;
  config.attribute("oiio:UnassociatedAlpha", 1);
  auto in = OIIO::ImageInput::open(path, &config);
  if (!in) return {};
  if (desc) *desc = in->spec();
  std::vector<T> data(size_t(in->spec().width) * size_t(in->spec().height) * size_t(channels));
  if (!in->read_image(0, 0, 0, channels, OIIO::BaseTypeFromC<T>::value, data.data())) return {};
  return data;
}
