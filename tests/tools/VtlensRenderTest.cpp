// vtlens render and demo, run as built, on small images the tests make.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <sys/wait.h>
#include <thread>

#include "ImageFile.h"
#include "VtlensTestSupport.h"

namespace {

using OIIO::ImageSpec;
using OIIO::TypeDesc;

// The identity lens (the default model, zero coefficients) with "Nearest" samples every
// output pixel of the layer at its own centre, so the render gives the input back over the
// layer; the "Remove WF2" extent reaches one pixel further.
TEST(VtlensRender, IdentityGivesTheInputBackInEachFormsConvention) {
  const std::string dir = ScratchFolder();
  WriteImageFile(dir + "/ramp.png", RampImage(64, 32), WriteOptions{});
  CommandResult r = RunVtlens(dir, "render ramp.png out.png --filter Nearest");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("rendered 1 frame"), std::string::npos) << r.err;
  EXPECT_EQ(FilesIn(dir), (std::vector<std::string>{"out.png", "ramp.png"}));
  ImageSpec desc;
  const auto out = ReadRaw<uint8_t>(dir + "/out.png", 4, &desc);
  ASSERT_EQ(std::vector<int>({desc.width, desc.height}), std::vector<int>({65, 33}));
  const auto in = ReadRaw<uint8_t>(dir + "/ramp.png", 4);
  for (size_t y = 0; y < 32; ++y)
    ASSERT_TRUE(std::equal(&in[y * 256], &in[y * 256 + 256], &out[y * 260])) << "row " << y;
  // Raw channels pass untouched, colour under zero alpha too; an 8-bit PNG in a 16-bit world
  // is written as 16 bits (1 -> 129 -> 258). Alpha and depth conversions on their own are
  // checked in ImageFileTest.
  std::vector<uint8_t> rgba(8 * 4 * 4, 0);
  for (size_t p = 0; p < 32; ++p)
    std::copy_n(std::vector<uint8_t>{200, 100, 50, 128}.data(), p == 5 ? 3 : 4, &rgba[p * 4]);
  WriteRaw(dir + "/alpha.png", ImageSpec(8, 4, 4, TypeDesc::UINT8), rgba);
  WriteRaw(dir + "/in8.png", ImageSpec(1, 1, 3, TypeDesc::UINT8), std::vector<uint8_t>{1, 255, 0});
  ASSERT_EQ(RunVtlens(dir, "render alpha.png raw.png --raw-channels --filter Nearest").status, 0);
  ASSERT_EQ(RunVtlens(dir, "render in8.png deep.png --depth 16 --filter Nearest").status, 0);
  const auto raw = ReadRaw<uint8_t>(dir + "/raw.png", 4);
  const auto deep = ReadRaw<uint16_t>(dir + "/deep.png", 4, &desc);
  ASSERT_GE(raw.size(), 24u);
  ASSERT_GE(deep.size(), 4u);
  EXPECT_EQ(std::vector<int>(raw.begin(), raw.begin() + 24),
            (std::vector<int>{200, 100, 50, 128, 200, 100, 50, 128, 200, 100, 50, 128,
                              200, 100, 50, 128, 200, 100, 50, 128, 200, 100, 50, 0}));
  EXPECT_EQ(std::vector<int>(deep.begin(), deep.begin() + 4),
            (std::vector<int>{258, 65535, 0, 65535}));
  EXPECT_EQ(desc.format, TypeDesc::UINT16);
}

// Half stays half; the data window is the extent ("Remove WF2": scale 0.5 x 20 around the
// centre 8 - 0.5), the display window the layer.
TEST(VtlensRender, ExrKeepsHalfAndWritesBothWindows) {
  const std::string dir = ScratchFolder();
  WriteRaw(dir + "/in.exr", ImageSpec(16, 8, 4, TypeDesc::HALF),
           std::vector<float>(16 * 8 * 4, 0.5f));
  CommandResult r = RunVtlens(dir, "render in.exr out.exr --set 'Undistorted Img Size=20,10'");
  ASSERT_EQ(r.status, 0) << r.err;
  ImageSpec desc;
  ReadRaw<float>(dir + "/out.exr", 4, &desc);
  EXPECT_EQ(desc.format, TypeDesc::HALF);
  EXPECT_EQ(Windows(desc), std::vector<int>({-2, -1, 21, 11, 0, 0, 16, 8}));
}

// Frames in parallel give what one thread gives, each from its own input (red is constant
// in each, so every filter keeps it inside the picture).
TEST(VtlensRender, SequencesRenderEveryFrameInParallel) {
  const std::string dir = ScratchFolder();
  for (int f = 1001; f <= 1004; ++f) {
    Image frame = RampImage(40, 20);
    for (size_t i = 1; i < frame.pixels8.size(); i += 4) frame.pixels8[i] = uint8_t(f % 256);
    WriteImageFile(dir + "/plate." + std::to_string(f) + ".png", frame, WriteOptions{});
  }
  const std::string lens = " --frames 1001-1004 --set 'R4 C2=0.03' --filter Lanczos-3 --threads ";
  CommandResult r = RunVtlens(dir, "render plate.####.png out.%04d.png" + lens + "3");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("rendered 4 frames"), std::string::npos) << r.err;
  ASSERT_EQ(RunVtlens(dir, "render plate.####.png one.####.png" + lens + "1").status, 0);
  for (int f = 1001; f <= 1004; ++f) {
    const auto a = ReadRaw<uint8_t>(dir + "/out." + std::to_string(f) + ".png", 4);
    ASSERT_EQ(a, ReadRaw<uint8_t>(dir + "/one." + std::to_string(f) + ".png", 4)) << f;
    EXPECT_EQ(int(a[size_t((10 * 41 + 20) * 4)]), f % 256) << f;
  }
}

// SIGTERM or SIGINT while the output is being written: the temporary goes, no output
// appears, and the process ends by the signal itself.
TEST(VtlensRender, InterruptedRenderLeavesNoFileBehind) {
  const std::string dir = ScratchFolder();
  WriteImageFile(dir + "/big.png", RampImage(1600, 1000), WriteOptions{});
  for (int signal : {SIGTERM, SIGINT}) {
    // A 16-bit PNG this size takes long enough to compress to catch its temporary.
    const pid_t pid = StartVtlens(dir, "render big.png out.png --depth 16");
    ASSERT_GT(pid, 0);
    bool signalled = false;
    int status = 0;
    for (auto start = std::chrono::steady_clock::now(); !signalled;) {
      for (const std::string& name : FilesIn(dir)) {
        if (name.compare(0, 8, ".vtlens-") == 0) signalled = kill(pid, signal) == 0;
      }
      if (signalled || waitpid(pid, &status, WNOHANG) == pid) break;
      ASSERT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(120));
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_TRUE(signalled) << "the render ended before its temporary file was seen";
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << status;
    EXPECT_EQ(FilesIn(dir), std::vector<std::string>{"big.png"}) << signal;
  }
}

TEST(VtlensDemo, WritesThePicturesAndItsSummary) {
  const std::string dir = ScratchFolder();
  CommandResult r = RunVtlens(dir, "demo --out pictures");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("round trip inside the valid area"), std::string::npos) << r.out;
  EXPECT_EQ(FilesIn(dir + "/pictures"),
            (std::vector<std::string>{"chart.png", "difference.png", "distorted.png",
                                      "restored.png", "stmap.exr"}));
}

}  // namespace
