// vtlens render and demo, run as built, on small images the tests make.
#include <gtest/gtest.h>

#include <OpenImageIO/imageio.h>

#include <chrono>
#include <csignal>
#include <fstream>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>

#include "ImageFile.h"
#include "VtlensTestSupport.h"

extern char** environ;

namespace {

// The identity lens (the default model, zero coefficients) with the nearest filter samples
// every output pixel of the layer at its own centre: the render must give the input back.
const char* const kIdentityNearest = "--filter Nearest";

template <typename T>
std::vector<T> ReadRaw(const std::string& path, int nch, OIIO::TypeDesc type, OIIO::ImageSpec* desc = nullptr) {
  OIIO::ImageSpec config;
  config.attribute("oiio:UnassociatedAlpha", 1);
  auto in = OIIO::ImageInput::open(path, &config);
  EXPECT_TRUE(in) << path;
  if (!in) return {};
  if (desc) *desc = in->spec();
  std::vector<T> data(size_t(in->spec().width) * size_t(in->spec().height) * size_t(nch));
  EXPECT_TRUE(in->read_image(0, 0, 0, nch, type, data.data()));
  return data;
}

template <typename T>
void WriteRaw(const std::string& path, int w, int h, int nch, OIIO::TypeDesc type, const std::vector<T>& data) {
  OIIO::ImageSpec desc(w, h, nch, type);
  if (nch == 4) {
    desc.alpha_channel = 3;
    desc.attribute("oiio:UnassociatedAlpha", 1);
  }
  auto out = OIIO::ImageOutput::create(path);
  ASSERT_TRUE(out && out->open(path, desc) && out->write_image(type, data.data()) && out->close());
}

TEST(VtlensRender, IdentityGivesThePngBackOverTheLayer) {
  std::string dir = ScratchFolder();
  WriteImageFile(dir + "/in.png", RampImage(64, 32), WriteOptions{});
  CommandResult r = RunVtlens(dir, std::string("render in.png out.png ") + kIdentityNearest);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("rendered 1 frame"), std::string::npos) << r.err;
  EXPECT_EQ(FilesIn(dir), (std::vector<std::string>{"in.png", "out.png"}));
  OIIO::ImageSpec desc;
  auto out = ReadRaw<uint8_t>(dir + "/out.png", 4, OIIO::TypeDesc::UINT8, &desc);
  ASSERT_EQ(desc.width, 65);  // the output extent of "Remove WF2" reaches one pixel further
  ASSERT_EQ(desc.height, 33);
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 64; ++x) {
      const uint8_t* p = &out[size_t((y * 65 + x) * 4)];
      ASSERT_EQ(std::vector<int>(p, p + 4), (std::vector<int>{(x * 3) % 256, (y * 5) % 256, (x + y) % 256, 255}))
          << x << "," << y;
    }
}

TEST(VtlensRender, UnassociatedAlphaIsAssociatedForTheEffectAndBack) {
  std::string dir = ScratchFolder();
  std::vector<uint8_t> in(size_t(8 * 4 * 4));
  for (size_t p = 0; p < 32; ++p) {
    uint8_t px[4] = {200, 100, 50, 128};
    if (p == 5) px[3] = 0;  // colour under zero alpha is lost, unless the channels are raw
    std::copy(px, px + 4, in.begin() + long(p * 4));
  }
  WriteRaw<uint8_t>(dir + "/in.png", 8, 4, 4, OIIO::TypeDesc::UINT8, in);
  ASSERT_EQ(RunVtlens(dir, std::string("render in.png out.png ") + kIdentityNearest).status, 0);
  auto out = ReadRaw<uint8_t>(dir + "/out.png", 4, OIIO::TypeDesc::UINT8);
  // 200 x 128 / 255 = 100.4 -> 100, back 100 x 255 / 128 = 199.2 -> 199; 100 -> 50 -> 99.6
  // -> 100; 50 -> 25.1 -> 25 -> 49.8 -> 50.
  EXPECT_EQ(std::vector<int>(out.begin(), out.begin() + 4), (std::vector<int>{199, 100, 50, 128}));
  EXPECT_EQ(std::vector<int>(out.begin() + 20, out.begin() + 24), (std::vector<int>{0, 0, 0, 0}));

  ASSERT_EQ(RunVtlens(dir, std::string("render in.png raw.png --raw-channels ") + kIdentityNearest).status, 0);
  auto raw = ReadRaw<uint8_t>(dir + "/raw.png", 4, OIIO::TypeDesc::UINT8);
  EXPECT_EQ(std::vector<int>(raw.begin(), raw.begin() + 4), (std::vector<int>{200, 100, 50, 128}));
  EXPECT_EQ(std::vector<int>(raw.begin() + 20, raw.begin() + 24), (std::vector<int>{200, 100, 50, 0}));
}

TEST(VtlensRender, DepthsFollowTheInputOrTheOption) {
  std::string dir = ScratchFolder();
  // 16-bit: 1 -> round(32768 / 65535) = 1 -> round(65535 / 32768) = 2; 30000 -> 15000 ->
  // 30000; 65535 -> 32768 -> 65535.
  WriteRaw<uint16_t>(dir + "/in16.tif", 2, 2, 3, OIIO::TypeDesc::UINT16, std::vector<uint16_t>(12, 0));
  std::vector<uint16_t> values = {1, 30000, 65535, 1, 30000, 65535, 1, 30000, 65535, 1, 30000, 65535};
  WriteRaw<uint16_t>(dir + "/in16.tif", 2, 2, 3, OIIO::TypeDesc::UINT16, values);
  ASSERT_EQ(RunVtlens(dir, std::string("render in16.tif out16.tif ") + kIdentityNearest).status, 0);
  OIIO::ImageSpec desc;
  auto out16 = ReadRaw<uint16_t>(dir + "/out16.tif", 4, OIIO::TypeDesc::UINT16, &desc);
  EXPECT_EQ(desc.format, OIIO::TypeDesc::UINT16);
  EXPECT_EQ(std::vector<int>(out16.begin(), out16.begin() + 4), (std::vector<int>{2, 30000, 65535, 65535}));

  // 8-bit PNG rendered in a 16-bit world: 1 -> round(32768 / 255) = 129 -> round(129 x
  // 65535 / 32768) = 258 in a 16-bit file; 255 -> 32768 -> 65535.
  WriteRaw<uint8_t>(dir + "/in8.png", 1, 1, 3, OIIO::TypeDesc::UINT8, {1, 255, 0});
  ASSERT_EQ(RunVtlens(dir, std::string("render in8.png out8to16.png --depth 16 ") + kIdentityNearest).status, 0);
  auto wide = ReadRaw<uint16_t>(dir + "/out8to16.png", 4, OIIO::TypeDesc::UINT16, &desc);
  EXPECT_EQ(desc.format, OIIO::TypeDesc::UINT16);
  EXPECT_EQ(std::vector<int>(wide.begin(), wide.begin() + 4), (std::vector<int>{258, 65535, 0, 65535}));
}

TEST(VtlensRender, ExrKeepsHalfAndWritesBothWindows) {
  std::string dir = ScratchFolder();
  std::vector<float> px(size_t(16 * 8 * 4), 0.5f);
  px[0] = 3.0f;  // above 1: float worlds keep it
  WriteRaw<float>(dir + "/in.exr", 16, 8, 4, OIIO::TypeDesc::HALF, px);
  CommandResult r = RunVtlens(dir, "render in.exr out.exr --filter Nearest --set 'Undistorted Img Size=20,10'");
  ASSERT_EQ(r.status, 0) << r.err;
  OIIO::ImageSpec desc;
  auto out = ReadRaw<float>(dir + "/out.exr", 4, OIIO::TypeDesc::FLOAT, &desc);
  EXPECT_EQ(desc.format, OIIO::TypeDesc::HALF);
  // "Remove WF2": extent of the distorted frame, scale 0.5 x 20 around the centre 8 - 0.5.
  EXPECT_EQ(std::vector<int>({desc.x, desc.y, desc.width, desc.height}), std::vector<int>({-2, -1, 21, 11}));
  EXPECT_EQ(std::vector<int>({desc.full_x, desc.full_y, desc.full_width, desc.full_height}),
            std::vector<int>({0, 0, 16, 8}));
}

TEST(VtlensRender, SequencesRenderEveryFrameInParallel) {
  std::string dir = ScratchFolder();
  for (int f = 1001; f <= 1004; ++f) {
    Image frame = RampImage(40, 20);
    for (size_t i = 1; i < frame.pixels8.size(); i += 4) frame.pixels8[i] = static_cast<uint8_t>(f % 256);
    WriteImageFile(dir + "/plate." + std::to_string(f) + ".png", frame, WriteOptions{});
  }
  CommandResult r = RunVtlens(dir, "render plate.####.png out.%04d.png --frames 1001-1004 --threads 3 "
                                   "--set 'R4 C2=0.03' --filter Lanczos-3");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("rendered 4 frames"), std::string::npos) << r.err;
  CommandResult one = RunVtlens(dir, "render plate.####.png one.####.png --frames 1001-1004 --threads 1 "
                                     "--set 'R4 C2=0.03' --filter Lanczos-3");
  ASSERT_EQ(one.status, 0) << one.err;
  for (int f = 1001; f <= 1004; ++f) {
    auto a = ReadRaw<uint8_t>(dir + "/out." + std::to_string(f) + ".png", 4, OIIO::TypeDesc::UINT8);
    auto b = ReadRaw<uint8_t>(dir + "/one." + std::to_string(f) + ".png", 4, OIIO::TypeDesc::UINT8);
    EXPECT_EQ(a, b) << f;  // threads change nothing
    // Red is constant in each input, so every filter keeps it inside the picture: each
    // frame came from its own input. The extent is 41 x 21 from the layer's corner.
    EXPECT_EQ(int(a[size_t((10 * 41 + 20) * 4)]), f % 256) << f;
  }
}

TEST(VtlensRender, InterruptedRenderLeavesNoFileBehind) {
  std::string dir = ScratchFolder();
  WriteImageFile(dir + "/big.png", RampImage(1600, 1000), WriteOptions{});
  for (int signal : {SIGTERM, SIGINT}) {
    // A 16-bit PNG of this size takes long enough to compress that the temporary is
    // caught while it is written; the signal goes then.
    std::vector<std::string> words = {VTLENS_PATH, "render", dir + "/big.png", dir + "/out.png", "--depth", "16"};
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ), 0);
    bool signalled = false;
    int status = 0;
    for (auto start = std::chrono::steady_clock::now(); !signalled;) {
      for (const std::string& name : FilesIn(dir))
        if (name.compare(0, 8, ".vtlens-") == 0) signalled = kill(pid, signal) == 0;
      if (signalled || waitpid(pid, &status, WNOHANG) == pid) break;
      ASSERT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(120));
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_TRUE(signalled) << "the render ended before its temporary file was seen";
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << status;  // ended by the signal itself
    EXPECT_EQ(FilesIn(dir), std::vector<std::string>{"big.png"}) << signal;
  }
}

TEST(VtlensDemo, WritesThePicturesAndItsSummary) {
  std::string dir = ScratchFolder();
  CommandResult r = RunVtlens(dir, "demo --out pictures");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("round trip inside the valid area"), std::string::npos) << r.out;
  EXPECT_EQ(FilesIn(dir + "/pictures"),
            (std::vector<std::string>{"chart.png", "difference.png", "distorted.png", "restored.png", "stmap.exr"}));
}

}  // namespace
