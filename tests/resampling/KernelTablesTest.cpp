#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

#include "HostSine.h"
#include "Resampling/FilterKernelTables.h"

// The nothrow array allocations of this program go through here so a test can count them
// and make one fail. Both halves are replaced together, so every new[] meets our delete[].
namespace {
int gArrayAllocations = 0;
int gFailAllocation = 0;  // 1-based index of the nothrow new[] that returns null; 0: none
}  // namespace

void* operator new[](std::size_t size) {
  void* p = std::malloc(size ? size : 1);
  if (!p) throw std::bad_alloc();
  return p;
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  ++gArrayAllocations;
  if (gFailAllocation == gArrayAllocations) return nullptr;
  return std::malloc(size ? size : 1);
}
// Scalar nothrow new beside CountingNew's delete, which frees with free().
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return std::malloc(size ? size : 1);
}
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }

namespace {

// The host's correctly rounded sine, which the effect is given: the platforms' own sines
// differ in the last bit, and the golden hashes hold on every platform.
double Sine(double x) { return harness::HostSine(x); }

const FilterKernelTable* TableOf(const FilterKernelTables& t, int index) {
  return index == 0 ? t.lanczos2 : index == 1 ? t.lanczos3 : t.mitchell;
}

// The tables' every bit, as FNV-1a over each float's bits (their sums, their zeros at the
// radius and their +0.0 padding were checked when they were first reviewed), built at once or
// after a failed allocation, which leaves the set unflagged and its retry building only what is
// missing.
TEST(KernelTables, EveryBitAsReviewedAlsoAfterAFailedAllocation) {
  const uint64_t golden[] = {0x7c9ab4c5d6808369ull, 0x6b69ddf99b7db589ull, 0x1b19c57d5461c8d6ull};
  const int32_t strides[] = {16, 40, 16};  // Lanczos-2, Lanczos-3, Mitchell-Netravali
  for (int failing : {0, 1, 2, 3}) {
    FilterKernelTables tables = {nullptr, nullptr, nullptr, 0};
    gArrayAllocations = 0;
    gFailAllocation = failing;
    BuildFilterKernelTableSet(tables, Sine);
    gFailAllocation = 0;
    EXPECT_EQ(tables.built, failing == 0 ? 1 : 0) << failing;
    for (int i = 0; i < 3; ++i) EXPECT_EQ(TableOf(tables, i) == nullptr, i == failing - 1);
    const FilterKernelTable* kept = TableOf(tables, failing == 1 ? 1 : 0);
    gArrayAllocations = 0;
    BuildFilterKernelTableSet(tables, Sine);
    EXPECT_EQ(gArrayAllocations, failing == 0 ? 0 : 1) << "only the missing table is allocated";
    ASSERT_EQ(tables.built, 1);
    EXPECT_EQ(TableOf(tables, failing == 1 ? 1 : 0), kept);
    for (int i = 0; i < 3; ++i) {
      const FilterKernelTable& table = *TableOf(tables, i);
      EXPECT_EQ(table.blockStride, strides[i]);
      uint64_t hash = 14695981039346656037ull;
      for (int32_t k = 0; k < KernelTableFloats(strides[i]); ++k) {
        uint32_t bits;
        std::memcpy(&bits, &table.blocks[k], 4);
        hash = (hash ^ bits) * 1099511628211ull;
      }
      EXPECT_EQ(hash, golden[i]) << std::hex << hash << std::dec << " table " << i << " "
                                 << failing;
    }
    ReleaseFilterKernelTableSet(tables);
    EXPECT_EQ(tables.lanczos2, nullptr);
    EXPECT_EQ(tables.built, 0);
  }
}

}  // namespace
