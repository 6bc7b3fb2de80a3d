#include "support/FailingArrayNew.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {
std::atomic<int32_t> failCountdown{0};
std::atomic<int64_t> liveArrays{0};
}  // namespace

void FailArrayAllocation(int32_t n) { failCountdown = n; }

int64_t LiveArrayAllocations() { return liveArrays; }

void* operator new[](std::size_t size) {
  if (failCountdown > 0 && --failCountdown == 0) throw std::bad_alloc();
  // malloc keeps the sanitizer's leak and double-free checks working on these arrays.
  void* memory = std::malloc(size ? size : 1);
  if (!memory) throw std::bad_alloc();
  // All bits set reads as NaN in a double: an element the code forgets to write shows.
  std::memset(memory, 0xFF, size);
  ++liveArrays;
  return memory;
}

void operator delete[](void* memory) noexcept {
  if (!memory) return;
  --liveArrays;
  std::free(memory);
}

void operator delete[](void* memory, std::size_t) noexcept { operator delete[](memory); }
