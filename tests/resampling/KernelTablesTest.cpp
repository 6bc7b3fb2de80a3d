#include <gtest/gtest.h>

#include <cmath>
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

struct TableCase {
  const char* name;
  int taps, stride;
  uint64_t golden;  // FNV-1a of every float's bits, from the tables as first reviewed
};
const TableCase kCases[] = {
    {"Lanczos-2", 4, 16, 0x7c9ab4c5d6808369ull},
    {"Lanczos-3", 6, 40, 0x6b69ddf99b7db589ull},
    {"Mitchell-Netravali", 4, 16, 0x1b19c57d5461c8d6ull},
};

const FilterKernelTable* TableOf(const FilterKernelTables& t, int index) {
  return index == 0 ? t.lanczos2 : index == 1 ? t.lanczos3 : t.mitchell;
}

class KernelTables : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { BuildFilterKernelTableSet(tables, Sine); }
  static void TearDownTestSuite() { ReleaseFilterKernelTableSet(tables); }
  static FilterKernelTables tables;

  static const float* Block(int index, int ky, int kx) {
    return TableOf(tables, index)->blocks.get() + (64 * ky + kx) * kCases[index].stride;
  }
};
FilterKernelTables KernelTables::tables = {nullptr, nullptr, nullptr, 0};

TEST_F(KernelTables, EveryBitAsReviewedRadiusZerosUnitSumsAndZeroPadding) {
  ASSERT_EQ(tables.built, 1);
  for (int index = 0; index < 3; ++index) {
    const TableCase& c = kCases[index];
    EXPECT_EQ(TableOf(tables, index)->blockStride, c.stride) << c.name;
    uint64_t hash = 14695981039346656037ull;
    for (int ky = 0; ky < 64; ++ky) {
      for (int kx = 0; kx < 64; ++kx) {
        const float* block = Block(index, ky, kx);
        double sum = 0.0;
        for (int k = 0; k < c.stride; ++k) {
          uint32_t bits;
          std::memcpy(&bits, &block[k], 4);
          hash = (hash ^ bits) * 1099511628211ull;
          if (k < c.taps * c.taps) sum += static_cast<double>(block[k]);
          // Padding is +0.0, never -0.0.
          ASSERT_TRUE(k < c.taps * c.taps || bits == 0u) << c.name << " padding float " << k;
        }
        ASSERT_NEAR(sum, 1.0, 4e-7) << c.name << " (" << ky << ", " << kx << ")";
        // The tap at distance == radius: last row when ky = 0, last column when kx = 0.
        for (int k = 0; k < c.taps; ++k) {
          ASSERT_TRUE(ky != 0 || block[c.taps * (c.taps - 1) + k] == 0.0f) << c.name << kx;
          ASSERT_TRUE(kx != 0 || block[c.taps * k + c.taps - 1] == 0.0f) << c.name << ky;
        }
      }
    }
    EXPECT_EQ(hash, c.golden) << c.name << std::hex << " hash " << hash;
  }
}

TEST(KernelTableBuild, FailedAllocationLeavesFlagClearAndARetryBuildsOnlyWhatIsMissing) {
  for (int failing : {1, 2, 3}) {
    FilterKernelTables tables = {nullptr, nullptr, nullptr, 0};
    gArrayAllocations = 0;
    gFailAllocation = failing;
    BuildFilterKernelTableSet(tables, Sine);
    gFailAllocation = 0;
    EXPECT_EQ(tables.built, 0) << failing;
    for (int index = 0; index < 3; ++index) {
      EXPECT_EQ(TableOf(tables, index) == nullptr, index == failing - 1) << failing;
    }
    const FilterKernelTable* kept = TableOf(tables, failing == 1 ? 1 : 0);

    gArrayAllocations = 0;
    BuildFilterKernelTableSet(tables, Sine);
    EXPECT_EQ(gArrayAllocations, 1) << "only the missing table is allocated";
    EXPECT_EQ(tables.built, 1);
    EXPECT_EQ(TableOf(tables, failing == 1 ? 1 : 0), kept);
    // The rebuilt table is a real one: the centre weight of phase (0, 0) is 1, 1, 0.9 * 8/9.
    EXPECT_EQ(TableOf(tables, failing - 1)->blocks[failing == 2 ? 14 : 5],
              failing == 3 ? 0.8f : 1.0f);
    ReleaseFilterKernelTableSet(tables);
    EXPECT_EQ(tables.lanczos2, nullptr);
    EXPECT_EQ(tables.built, 0);
  }
}

}  // namespace
