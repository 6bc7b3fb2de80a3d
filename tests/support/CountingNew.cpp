#include "support/CountingNew.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {
std::atomic<int64_t> calls{0};
}  // namespace

int64_t GlobalNewCalls() { return calls; }

void* operator new(std::size_t size) {
  ++calls;
  // malloc keeps the sanitizer's leak and double-free checks working.
  void* memory = std::malloc(size ? size : 1);
  if (!memory) throw std::bad_alloc();
  return memory;
}

void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
