// Running vtlens from tests as a user runs it: a scratch folder per test, the command's exit
// status and both output streams, and small images made for the purpose.
#pragma once

#include <OpenImageIO/imageio.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <sys/types.h>
#include <vector>

#include "Image.h"

struct CommandResult {
  int status = -1;  // -1 when a signal ended the run
  std::string out, err;
};

std::string ScratchFolder();  // fresh and empty, named for the running test
std::string ReadFile(const std::string& path);
std::string Quote(const std::string& text);                   // for the shell
std::vector<std::string> FilesIn(const std::string& folder);  // sorted

// The message of the usage error `f` throws (a failure if it throws another status), or
// "(no error)".
std::string UsageMessage(const std::function<void()>& f);

// Starts vtlens with `args` (split as the shell would, without command substitution) in
// `folder`, its standard streams the files `in`, `out` and `err`. It runs in a forked child of
// this process, which has every library loaded already; exit status and signals are a
// separate process's. Returns the child's id.
pid_t StartVtlens(const std::string& folder, const std::string& args,
                  const std::string& in = "/dev/null", const std::string& out = "/dev/null",
                  const std::string& err = "/dev/null");

// Runs vtlens as StartVtlens does, feeding `input` on stdin, and waits for it.
CommandResult RunVtlens(const std::string& folder, const std::string& args,
                        const std::string& input = "");

// An 8-bit image whose pixel (x, y) has alpha 255 and colour (x * 3, y * 5, x + y) mod 256.
Image RampImage(int32_t width, int32_t height);

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

// Data and display windows: x, y, width, height, full_x, full_y, full_width, full_height.
inline std::vector<int> Windows(const OIIO::ImageSpec& d) {
  return {d.x, d.y, d.width, d.height, d.full_x, d.full_y, d.full_width, d.full_height};
}
