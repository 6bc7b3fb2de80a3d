// The host's frame memory: the pixel buffers of finished frames, kept for the next frames
// of the same size as a host keeps its frame cache. Handing a large buffer back to the
// system and faulting it in again page by page costs more than rendering into it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

namespace harness {

class WorldMemory {
 public:
  WorldMemory() = default;
  WorldMemory(const WorldMemory&) = delete;
  WorldMemory& operator=(const WorldMemory&) = delete;

  // A buffer of exactly max(size, 1) bytes with undefined contents: a kept one of that
  // size when there is one, else a new one. Exact sizes only, so that the address
  // sanitizer still sees a read past a world's last pixel.
  std::unique_ptr<uint8_t[]> Take(size_t size);
  // Keeps `bytes`, as Take(size) made them, for a later Take. Safe from any thread.
  void Give(std::unique_ptr<uint8_t[]> bytes, size_t size);

 private:
  std::mutex mutex_;
  std::vector<std::pair<size_t, std::unique_ptr<uint8_t[]>>> kept_;  // oldest first
  size_t keptBytes_ = 0;
};

}  // namespace harness
