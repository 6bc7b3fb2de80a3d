#include "WorldMemory.h"

#include <algorithm>

namespace harness {
namespace {

// Under the address sanitizer every world is new and every finished one freed, so that an
// access after the frame ended is still reported.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kKeep = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kKeep = false;
#else
constexpr bool kKeep = true;
#endif
#else
constexpr bool kKeep = true;
#endif

// Enough for the input and output worlds of two float 3840x2160 frames rendering at once
// (133 MB each); beyond it the oldest buffers go back to the system, so an idle host
// holds no more than this.
constexpr size_t kKeptBytesLimit = size_t(1) << 30;

}  // namespace

std::unique_ptr<uint8_t[]> WorldMemory::Take(size_t size) {
  size = std::max<size_t>(size, 1);
  if (kKeep) {
    std::lock_guard<std::mutex> hold(mutex_);
    // Newest first: the buffer most likely still in the caches.
    for (auto it = kept_.rbegin(); it != kept_.rend(); ++it) {
      if (it->first != size) continue;
      std::unique_ptr<uint8_t[]> bytes = std::move(it->second);
      keptBytes_ -= size;
      kept_.erase(std::next(it).base());
      return bytes;
    }
  }
  return std::unique_ptr<uint8_t[]>(new uint8_t[size]);
}

void WorldMemory::Give(std::unique_ptr<uint8_t[]> bytes, size_t size) {
  size = std::max<size_t>(size, 1);
  if (!kKeep || !bytes || size > kKeptBytesLimit) return;
  std::vector<std::unique_ptr<uint8_t[]>> dropped;  // freed outside the lock
  std::lock_guard<std::mutex> hold(mutex_);
  while (keptBytes_ + size > kKeptBytesLimit) {
    keptBytes_ -= kept_.front().first;
    dropped.push_back(std::move(kept_.front().second));
    kept_.erase(kept_.begin());
  }
  kept_.emplace_back(size, std::move(bytes));
  keptBytes_ += size;
}

}  // namespace harness
