// vtlens render and demo, run as built, on small images the tests make.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>

#include "ImageFile.h"
#include "VtlensTestSupport.h"

extern char** environ;

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
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 64; ++x) {
      const uint8_t* p = &out[size_t((y * 65 + x) * 4)];
      ASSERT_EQ(std::vector<int>(p, p + 4),
                (std::vector<int>{(x * 3) % 256, (y * 5) % 256, (x + y) % 256, 255}))
          << x << "," << y;
    }
  }
  // Unassociated alpha is associated for the effect and dissociated again, exactly: 200 x
  // 128 / 255 = 100.4 -> 100, back x 255 / 128 = 199.2 -> 199; colour under zero alpha is
  // lost unless the channels are raw. 16-bit files go to the host's 0..32768 and back (1 ->
  // 1 -> 2); an 8-bit PNG in a 16-bit world is written as 16 bits (1 -> 129 -> 258).
  std::vector<uint8_t> rgba(8 * 4 * 4, 0);
  for (size_t p = 0; p < 32; ++p)
    std::copy_n(std::vector<uint8_t>{200, 100, 50, 128}.data(), p == 5 ? 3 : 4, &rgba[p * 4]);
  WriteRaw(dir + "/alpha.png", ImageSpec(8, 4, 4, TypeDesc::UINT8), rgba);
  WriteRaw(
      dir + "/in16.tif", ImageSpec(2, 2, 3, TypeDesc::UINT16),
      std::vector<uint16_t>{1, 30000, 65535, 1, 30000, 65535, 1, 30000, 65535, 1, 30000, 65535});
  WriteRaw(dir + "/in8.png", ImageSpec(1, 1, 3, TypeDesc::UINT8), std::vector<uint8_t>{1, 255, 0});
  struct Case {
    std::string args;
    TypeDesc format;
    std::vector<int> first, sixth;  // pixels 0 and 5, RGBA as stored
  };
  const Case cases[] = {
      {"alpha.png out.png", TypeDesc::UINT8, {199, 100, 50, 128}, {0, 0, 0, 0}},
      {"alpha.png out.png --raw-channels", TypeDesc::UINT8, {200, 100, 50, 128}, {200, 100, 50, 0}},
      {"in16.tif out.tif", TypeDesc::UINT16, {2, 30000, 65535, 65535}, {}},
      {"in8.png out.png --depth 16", TypeDesc::UINT16, {258, 65535, 0, 65535}, {}}};
  for (const Case& c : cases) {
    ASSERT_EQ(RunVtlens(dir, "render " + c.args + " --filter Nearest").status, 0) << c.args;
    const std::string written = dir + "/" + c.args.substr(c.args.find(' ') + 1, 7);
    std::vector<int> px;
    if (c.format == TypeDesc::UINT8) {
      const auto v = ReadRaw<uint8_t>(written, 4, &desc);
      px.assign(v.begin(), v.end());
    } else {
      const auto v = ReadRaw<uint16_t>(written, 4, &desc);
      px.assign(v.begin(), v.end());
    }
    EXPECT_EQ(desc.format, c.format) << c.args;
    ASSERT_GE(px.size(), c.sixth.empty() ? 4u : 24u) << c.args;
    EXPECT_EQ(std::vector<int>(px.begin(), px.begin() + 4), c.first) << c.args;
    if (!c.sixth.empty()) {
      EXPECT_EQ(std::vector<int>(px.begin() + 20, px.begin() + 24), c.sixth) << c.args;
    }
  }
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
  EXPECT_EQ(std::vector<int>({desc.x, desc.y, desc.width, desc.height, desc.full_x, desc.full_y,
                              desc.full_width, desc.full_height}),
            std::vector<int>({-2, -1, 21, 11, 0, 0, 16, 8}));
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
    std::vector<std::string> words = {VTLENS_PATH,      "render",  dir + "/big.png",
                                      dir + "/out.png", "--depth", "16"};
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ), 0);
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
