// Outputs are written under a temporary name beside the real one and renamed when
// complete, so a reader never sees half a file. This is what keeps those temporaries
// from outliving the run: removed when the run is interrupted, and, when it was killed
// outright, by the next run that writes the same output.
#pragma once

#include <functional>
#include <string>
#include <sys/types.h>

// Files being written at once: one per render worker (never more than kMaxThreads).
constexpr int kMaxTempFiles = 256;

// Installs handlers for SIGINT, SIGTERM and SIGHUP (those not ignored) that remove every
// registered temporary and then end the process by the same signal, so the caller sees
// how it ended. Call once, before any thread starts.
void InstallTempFileCleanup();

// The temporary name for `path`: hidden, in the same folder, naming this machine and
// process (".vtlens-HOST-PID-N-NAME"), with the real name at its end so that the image
// library picks the same writer.
std::string TempPathFor(const std::string& path);

// Keeps `path` registered for removal on interruption while it lives. Create it before
// the file. Throws a ToolError for a path beyond PATH_MAX or when kMaxTempFiles are
// registered already.
class TempFileGuard {
 public:
  explicit TempFileGuard(const std::string& path);
  ~TempFileGuard();
  TempFileGuard(const TempFileGuard&) = delete;
  TempFileGuard& operator=(const TempFileGuard&) = delete;

 private:
  int slot_ = -1;
};

// Removes the temporaries of `path` left on this machine by runs that no longer exist
// (killed outright, or the machine lost power). Temporaries of live runs stay: another
// vtlens may be writing the same output right now. Returns how many were removed.
int RemoveStaleTemporaries(const std::string& path);

// Writes `path` whole or not at all: `write` fills the temporary it is given (TempPathFor's
// name, registered for removal on interruption), which is renamed over `path` once `write`
// returns. Temporaries of `path` left by killed runs are removed first. When `write` throws,
// or the rename fails, the temporary is removed and the error propagates; a failed rename
// is a ToolError naming `path`.
void WriteThroughTemporary(const std::string& path,
                           const std::function<void(const std::string& temp)>& write);

// Writes `contents` as the file `path`, created with permissions `mode` (less the umask),
// through a temporary as above. Throws a ToolError naming `path` and the reason.
void WriteFileThroughTemporary(const std::string& path, const std::string& contents, mode_t mode);
