#include "VtlensTestSupport.h"

#include <OpenImageIO/imageio.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>
#include <wordexp.h>

#include "ToolError.h"
#include "VtlensMain.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

namespace {

long ThreadCount() {
  return std::distance(std::filesystem::directory_iterator("/proc/self/task"),
                       std::filesystem::directory_iterator());
}

// Threads do not survive a fork: a lock one of them held would stay locked in the child for
// ever. So this process keeps the image library's pools from starting, and its children,
// where vtlens runs, get them back. The threads there before any test runs are an idle
// logging pool of a library the image library loads: they hold no lock and get no work.
struct ImageLibraryThreads {
  int threads = 0, exrThreads = 0;
  long startUp = ThreadCount();
  ImageLibraryThreads() {
    OIIO::getattribute("threads", threads);
    OIIO::getattribute("exr_threads", exrThreads);
    OIIO::attribute("threads", 1);
    OIIO::attribute("exr_threads", -1);  // no pool at all
  }
  void Restore() const {
    OIIO::attribute("threads", threads);
    OIIO::attribute("exr_threads", exrThreads);
  }
};
const ImageLibraryThreads kImageLibraryThreads;

}  // namespace

std::string ScratchFolder() {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  // The process id keeps two builds' runs of the same test (plain and sanitized, side by
  // side) out of each other's files.
  std::string dir = ::testing::TempDir() + "vtlens_e2e_" + std::to_string(::getpid()) + "_" +
                    info->test_suite_name() + "_" + info->name();
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir;
}

std::string ReadFile(const std::string& path) {
  std::ostringstream text;
  text << std::ifstream(path, std::ios::binary).rdbuf();
  return text.str();
}

std::string UsageMessage(const std::function<void()>& f) {
  try {
    f();
  } catch (const ToolError& e) {
    EXPECT_EQ(e.status, kExitUsage) << e.what();
    return e.what();
  }
  return "(no error)";
}

std::string Quote(const std::string& text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

pid_t StartVtlens(const std::string& folder, const std::string& args, const std::string& in,
                  const std::string& out, const std::string& err) {
  wordexp_t words{};
  const std::string line = "vtlens " + args;
  if (wordexp(line.c_str(), &words, WRDE_NOCMD | WRDE_SHOWERR) != 0) {
    ADD_FAILURE() << "cannot split the arguments: " << args;
    return -1;
  }
  EXPECT_EQ(ThreadCount(), kImageLibraryThreads.startUp)
      << "threads in the test process: its forks can deadlock";
  std::fflush(nullptr);
  std::cout.flush();
  const pid_t pid = fork();
  if (pid == 0) {
    const std::pair<const std::string*, int> streams[] = {{&in, O_RDONLY},
                                                          {&out, O_WRONLY | O_CREAT | O_TRUNC},
                                                          {&err, O_WRONLY | O_CREAT | O_TRUNC}};
    for (int fd = 0; fd < 3; ++fd) {
      const int opened = open(streams[fd].first->c_str(), streams[fd].second, 0644);
      if (opened < 0 || dup2(opened, fd) < 0) _exit(127);
      close(opened);
    }
    if (chdir(folder.c_str()) != 0) _exit(127);
    kImageLibraryThreads.Restore();
    const int status = VtlensMain(int(words.we_wordc), words.we_wordv);
    std::cout.flush();
    std::fflush(nullptr);
#if defined(__SANITIZE_ADDRESS__)
    // The child never returns from main, so the leak check a program gets at exit is made
    // here. It warns of the parent's threads, which a fork does not copy; so it runs quietly
    // first, and only a leak is reported (in full) and fails the run.
    const int saved = dup(2), quiet = open("/dev/null", O_WRONLY);
    dup2(quiet, 2);
    const bool leaked = __lsan_do_recoverable_leak_check() != 0;
    dup2(saved, 2);
    if (leaked) {
      __lsan_do_recoverable_leak_check();  // again, into the run's stderr
      _exit(23);                           // the leak checker's own exit status
    }
#endif
    _exit(status);
  }
  wordfree(&words);
  EXPECT_GT(pid, 0) << "fork failed";
  return pid;
}

CommandResult RunVtlens(const std::string& folder, const std::string& args,
                        const std::string& input) {
  std::string io = ::testing::TempDir() + "vtlens_e2e_io_" + std::to_string(::getpid());
  std::ofstream(io + ".in", std::ios::binary) << input;
  CommandResult result;
  const pid_t pid = StartVtlens(folder, args, io + ".in", io + ".out", io + ".err");
  int raw = 0;
  if (pid > 0 && waitpid(pid, &raw, 0) == pid)
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  result.out = ReadFile(io + ".out");
  result.err = ReadFile(io + ".err");
  for (const char* ext : {".in", ".out", ".err"}) std::filesystem::remove(io + ext);
  return result;
}

std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

Image RampImage(int32_t width, int32_t height) {
  Image image = MakeImage(width, height, kDepth8);
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) {
      uint8_t* p = &image.pixels8[ChannelIndex(image, x, y, 0)];
      p[0] = 255, p[1] = uint8_t(x * 3), p[2] = uint8_t(y * 5), p[3] = uint8_t(x + y);
    }
  return image;
}
