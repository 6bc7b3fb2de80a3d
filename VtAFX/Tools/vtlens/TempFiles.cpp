#include "TempFiles.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include "ToolError.h"

namespace {

// A slot's life: taken and filled by one thread, then active until the file is in place
// or the signal handler claims it. Every step is a compare-and-swap, so the handler never
// reads a path being written and removes each file once, on whatever thread it runs.
enum SlotState : int { kFree, kFilling, kActive, kRemoving };

struct Slot {
  std::atomic<int> state{kFree};
  char path[PATH_MAX];
};
static_assert(std::atomic<int>::is_always_lock_free,
              "the signal handler relies on lock-free atomics");

// Preallocated: the handler may neither allocate nor lock.
Slot gSlots[kMaxTempFiles];

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

void RemoveTemporariesAndDie(int signal) {
  for (Slot& slot : gSlots) {
    int expected = kActive;
    if (slot.state.compare_exchange_strong(expected, kRemoving)) unlink(slot.path);
  }
  struct sigaction dflt {};
  dflt.sa_handler = SIG_DFL;
  sigemptyset(&dflt.sa_mask);
  sigaction(signal, &dflt, nullptr);
  // Still blocked inside the handler: it arrives on return, with its default action.
  raise(signal);
}

const std::string& HostName() {
  static const std::string name = [] {
    char buffer[256] = {};
    if (gethostname(buffer, sizeof buffer - 1) != 0 || buffer[0] == '\0')
      return std::string("localhost");
    return std::string(buffer);
  }();
  return name;
}

// Reads the digits at `i` into `value`; false when there are none or too many.
bool ReadNumber(const std::string& text, size_t& i, unsigned long& value) {
  size_t start = i;
  value = 0;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9' && i - start < 18)
    value = value * 10 + unsigned(text[i++] - '0');
  return i > start && (i == text.size() || text[i] < '0' || text[i] > '9');
}

}  // namespace

void InstallTempFileCleanup() {
  for (int signal : kSignals) {
    struct sigaction old {};
    if (sigaction(signal, nullptr, &old) != 0 || old.sa_handler == SIG_IGN)
      continue;  // nohup and friends
    struct sigaction action {};
    action.sa_handler = RemoveTemporariesAndDie;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(signal, &action, nullptr);
  }
}

std::string TempPathFor(const std::string& path) {
  static std::atomic<unsigned> counter{0};
  size_t slash = path.find_last_of('/');
  std::string dir = slash == std::string::npos ? "" : path.substr(0, slash + 1);
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  return dir + ".vtlens-" + HostName() + "-" + std::to_string(getpid()) + "-" +
         std::to_string(counter++) + "-" + name;
}

TempFileGuard::TempFileGuard(const std::string& path) {
  if (path.size() >= PATH_MAX)
    throw ToolError("cannot write \"" + path + "\": the path is too long");
  for (int i = 0; i < kMaxTempFiles; ++i) {
    int expected = kFree;
    if (!gSlots[i].state.compare_exchange_strong(expected, kFilling)) continue;
    std::memcpy(gSlots[i].path, path.c_str(), path.size() + 1);
    gSlots[i].state.store(kActive);
    slot_ = i;
    return;
  }
  throw ToolError("cannot write \"" + path + "\": more than " + std::to_string(kMaxTempFiles) +
                  " files at once");
}

TempFileGuard::~TempFileGuard() {
  // Fails only when the handler has claimed the slot, and then the process is ending.
  int expected = kActive;
  gSlots[slot_].state.compare_exchange_strong(expected, kFree);
}

int RemoveStaleTemporaries(const std::string& path) {
  size_t slash = path.find_last_of('/');
  std::string dir = slash == std::string::npos ? "" : path.substr(0, slash + 1);
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  const std::string prefix = ".vtlens-" + HostName() + "-";
  DIR* folder = opendir(dir.empty() ? "." : dir.c_str());
  if (!folder) return 0;
  int removed = 0;
  while (const dirent* entry = readdir(folder)) {
    std::string file = entry->d_name;
    if (file.compare(0, prefix.size(), prefix) != 0) continue;
    size_t i = prefix.size();
    unsigned long pid = 0, counter = 0;
    if (!ReadNumber(file, i, pid) || i >= file.size() || file[i++] != '-' ||
        !ReadNumber(file, i, counter) || i >= file.size() || file[i++] != '-' ||
        file.compare(i, std::string::npos, name) != 0)
      continue;
    if (pid == 0 || pid > static_cast<unsigned long>(INT_MAX)) continue;
    bool gone = kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
    if (gone && unlink((dir + file).c_str()) == 0) ++removed;
  }
  closedir(folder);
  return removed;
}

void WriteThroughTemporary(const std::string& path,
                           const std::function<void(const std::string& temp)>& write) {
  RemoveStaleTemporaries(path);
  const std::string temp = TempPathFor(path);
  TempFileGuard guard(temp);
  try {
    write(temp);
  } catch (...) {
    std::remove(temp.c_str());
    throw;
  }
  if (std::rename(temp.c_str(), path.c_str()) != 0) {
    std::remove(temp.c_str());
    throw ToolError("cannot write \"" + path + "\": the finished file could not be put in place");
  }
}

void WriteFileThroughTemporary(const std::string& path, const std::string& contents, mode_t mode) {
  WriteThroughTemporary(path, [&](const std::string& temp) {
    int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC, mode);
    bool ok = fd >= 0;
    for (size_t done = 0; ok && done < contents.size();) {
      ssize_t n = write(fd, contents.data() + done, contents.size() - done);
      if (n < 0 && errno == EINTR) continue;
      ok = n > 0;
      if (ok) done += static_cast<size_t>(n);
    }
    std::string why = ok ? "" : std::strerror(errno);
    if (fd >= 0 && close(fd) != 0 && ok) {
      ok = false;
      why = std::strerror(errno);
    }
    if (!ok) throw ToolError("cannot write \"" + path + "\": " + why);
  });
}
