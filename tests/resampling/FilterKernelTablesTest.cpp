#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "Resampling/FilterKernelTables.h"

// Array allocations of this executable go through here so the tests can count them and make
// one fail. Both halves are replaced together, so every new[] is matched by our delete[].
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
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }

namespace {

double Sine(double x) { return std::sin(x); }

struct TableCase {
  const char* name;
  int taps, offset, stride;
  double radius;
};
const TableCase kCases[] = {
    {"Lanczos-2", 4, 1, 16, 2.0},
    {"Lanczos-3", 6, 2, 40, 3.0},
    {"Mitchell-Netravali", 4, 1, 16, 2.0},
};

const float* TableOf(const FilterKernelTables& t, int index) {
  return index == 0 ? t.lanczos2 : index == 1 ? t.lanczos3 : t.mitchell;
}

// The kernels written out plainly, as the filters define them.
double PlainKernel(int index, double d) {
  if (index == 2) {
    if (d >= 2.0) return 0.0;
    if (d < 1.0) return ((7.0 * d - 12.0) * d * d + 5.333333333333333) * 0.16666666666666666;
    return (((12.0 - 2.3333333333333335 * d) * d - 20.0) * d + 10.666666666666666) *
           0.16666666666666666;
  }
  const double a = index == 0 ? 2.0 : 3.0;
  const double piOverA = index == 0 ? 1.5707963267948966 : 1.0471975511965976;
  if (d >= a) return 0.0;
  if (d == 0.0) return 1.0;
  const double numerator = std::sin(d * 3.141592653589793) * a * std::sin(d * piOverA);
  return numerator / (d * 9.869604401089358 * d);
}

class KernelTables : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { BuildFilterKernelTableSet(tables, Sine); }
  static void TearDownTestSuite() { ReleaseFilterKernelTableSet(tables); }
  static FilterKernelTables tables;

  static const float* Block(int index, int ky, int kx) {
    return TableOf(tables, index) + (64 * ky + kx) * kCases[index].stride;
  }
};
FilterKernelTables KernelTables::tables = {nullptr, nullptr, nullptr, 0};

TEST_F(KernelTables, EveryWeightMatchesAPlainEvaluationBitForBit) {
  ASSERT_EQ(tables.built, 1);
  for (int index = 0; index < 3; ++index) {
    const TableCase& c = kCases[index];
    for (int ky = 0; ky < 64; ++ky) {
      for (int kx = 0; kx < 64; ++kx) {
        // One-dimensional factors first. A row at or beyond the radius is +0 whatever the
        // sign of the horizontal factor; the row at distance 0 takes the horizontal factors
        // unscaled.
        double fx[6], fy[6];
        bool rowZero[6], rowAlone[6];
        for (int t = 0; t < c.taps; ++t) {
          fx[t] = PlainKernel(index, std::abs(64 * (t - c.offset) - kx) / 64.0);
          const double dy = std::abs(64 * (t - c.offset) - ky) / 64.0;
          fy[t] = PlainKernel(index, dy);
          rowZero[t] = dy >= c.radius;
          rowAlone[t] = dy == 0.0;
        }
        double w[36], sum = 0.0;
        for (int i = 0; i < c.taps; ++i) {
          for (int j = 0; j < c.taps; ++j) {
            w[i * c.taps + j] = rowZero[i] ? 0.0 : rowAlone[i] ? fx[j] : fx[j] * fy[i];
            sum += w[i * c.taps + j];
          }
        }
        const float* block = Block(index, ky, kx);
        for (int k = 0; k < c.taps * c.taps; ++k) {
          const float expected = static_cast<float>(w[k] * (1.0 / sum));
          ASSERT_EQ(std::memcmp(&block[k], &expected, sizeof(float)), 0)
              << c.name << " block (" << ky << ", " << kx << ") weight " << k;
        }
      }
    }
  }
}

// Two-dimensional weight (i, j) expected from one-dimensional vertical and horizontal factors.
void ExpectOuterProduct(const float* block, int taps, const double* vertical,
                        const double* horizontal, double tolerance, const char* what) {
  for (int i = 0; i < taps; ++i) {
    for (int j = 0; j < taps; ++j) {
      EXPECT_NEAR(block[taps * i + j], vertical[i] * horizontal[j], tolerance)
          << what << " weight (" << i << ", " << j << ")";
    }
  }
}

TEST_F(KernelTables, TellingValuesOfPhasesZeroAndHalf) {
  const double l2Zero[] = {0, 1, 0, 0};
  const double l2Half[] = {-1.0 / 16, 9.0 / 16, 9.0 / 16, -1.0 / 16};
  const double l3Zero[] = {0, 0, 1, 0, 0, 0};
  double l3Half[] = {0.0243171, -0.1350949, 0.6079271, 0.6079271, -0.1350949, 0.0243171};
  for (double& v : l3Half) v /= 0.9942985;
  const double mnZero[] = {1.0 / 18, 8.0 / 9, 1.0 / 18, 0};
  const double mnHalf[] = {-0.0347222, 0.5347222, 0.5347222, -0.0347222};
  // At vertical phase 0 the Mitchell-Netravali block is not an outer product: the centre
  // row carries the horizontal factor alone, so the rows normalise to these.
  const double mnZeroRows[] = {0.05, 0.9, 0.05, 0};

  ExpectOuterProduct(Block(0, 0, 0), 4, l2Zero, l2Zero, 1e-7, "L2 (0,0)");
  ExpectOuterProduct(Block(0, 32, 32), 4, l2Half, l2Half, 1e-7, "L2 (32,32)");
  ExpectOuterProduct(Block(0, 32, 0), 4, l2Half, l2Zero, 1e-7, "L2 (32,0)");
  ExpectOuterProduct(Block(1, 0, 0), 6, l3Zero, l3Zero, 1e-7, "L3 (0,0)");
  ExpectOuterProduct(Block(1, 32, 32), 6, l3Half, l3Half, 1e-6, "L3 (32,32)");
  ExpectOuterProduct(Block(2, 32, 32), 4, mnHalf, mnHalf, 1e-6, "MN (32,32)");
  ExpectOuterProduct(Block(2, 32, 0), 4, mnHalf, mnZero, 1e-6, "MN (32,0)");
  ExpectOuterProduct(Block(2, 0, 0), 4, mnZeroRows, mnZero, 1e-7, "MN (0,0)");
  ExpectOuterProduct(Block(2, 0, 32), 4, mnZeroRows, mnHalf, 1e-6, "MN (0,32)");

  // The four centre weights of Lanczos-2 at half a pixel both ways are 81/256 to rounding.
  for (int k : {5, 6, 9, 10}) EXPECT_NEAR(Block(0, 32, 32)[k], 0.31640625f, 3e-8f);
  // Negative lobes are kept as they are.
  EXPECT_LT(Block(0, 32, 32)[1], 0.0f);
}

TEST_F(KernelTables, RadiusGivesExactZerosBlocksSumToOneAndPaddingStaysZero) {
  for (int index = 0; index < 3; ++index) {
    const TableCase& c = kCases[index];
    for (int ky = 0; ky < 64; ++ky) {
      for (int kx = 0; kx < 64; ++kx) {
        const float* block = Block(index, ky, kx);
        double sum = 0.0;
        for (int k = 0; k < c.taps * c.taps; ++k) sum += static_cast<double>(block[k]);
        ASSERT_NEAR(sum, 1.0, 4e-7) << c.name << " (" << ky << ", " << kx << ")";
        for (int k = 0; k < c.taps; ++k) {
          // The tap at distance == radius: last row when ky = 0, last column when kx = 0.
          if (ky == 0) {
            ASSERT_EQ(block[c.taps * (c.taps - 1) + k], 0.0f) << c.name;
          }
          if (kx == 0) {
            ASSERT_EQ(block[c.taps * k + c.taps - 1], 0.0f) << c.name;
          }
        }
        for (int k = c.taps * c.taps; k < c.stride; ++k) {
          ASSERT_EQ(std::signbit(block[k]), false);
          ASSERT_EQ(block[k], 0.0f) << c.name << " padding float " << k;
        }
      }
    }
  }
}

TEST(KernelTableBuild, ProcessTablesAreBuiltOnceAndASecondBuildAllocatesNothing) {
  BuildFilterKernelTables(nullptr);  // no sine: nothing may be built or flagged
  const FilterKernelTable *l2 = nullptr, *l3 = nullptr, *mn = nullptr;
  BuildFilterKernelTables(Sine);
  GetFilterKernelTables(&l2, &l3, &mn);
  ASSERT_NE(l2, nullptr);
  ASSERT_NE(l3, nullptr);
  ASSERT_NE(mn, nullptr);
  const std::vector<float> before2(l2, l2 + KernelTableFloats(16));
  const std::vector<float> before3(l3, l3 + KernelTableFloats(40));
  const std::vector<float> beforeM(mn, mn + KernelTableFloats(16));

  const int allocations = gArrayAllocations;
  BuildFilterKernelTables(Sine);
  EXPECT_EQ(gArrayAllocations, allocations);
  const FilterKernelTable *again2 = nullptr, *again3 = nullptr, *againM = nullptr;
  GetFilterKernelTables(&again2, &again3, &againM);
  EXPECT_EQ(again2, l2);
  EXPECT_EQ(again3, l3);
  EXPECT_EQ(againM, mn);
  EXPECT_EQ(std::memcmp(before2.data(), l2, before2.size() * sizeof(float)), 0);
  EXPECT_EQ(std::memcmp(before3.data(), l3, before3.size() * sizeof(float)), 0);
  EXPECT_EQ(std::memcmp(beforeM.data(), mn, beforeM.size() * sizeof(float)), 0);
  GetFilterKernelTables(nullptr, nullptr, nullptr);  // null out-parameters are skipped
}

TEST(KernelTableBuild, FailedAllocationLeavesFlagClearAndARetryBuildsOnlyWhatIsMissing) {
  struct Case {
    int failing;  // which of the three allocations fails
  };
  for (Case c : {Case{1}, Case{2}, Case{3}}) {
    FilterKernelTables tables = {nullptr, nullptr, nullptr, 0};
    gArrayAllocations = 0;
    gFailAllocation = c.failing;
    BuildFilterKernelTableSet(tables, Sine);
    gFailAllocation = 0;
    EXPECT_EQ(tables.built, 0) << c.failing;
    EXPECT_EQ(tables.lanczos2 == nullptr, c.failing == 1);
    EXPECT_EQ(tables.lanczos3 == nullptr, c.failing == 2);
    EXPECT_EQ(tables.mitchell == nullptr, c.failing == 3);
    const float* kept = c.failing == 1 ? tables.lanczos3 : tables.lanczos2;

    gArrayAllocations = 0;
    BuildFilterKernelTableSet(tables, Sine);
    EXPECT_EQ(gArrayAllocations, 1) << "only the missing table is allocated";
    EXPECT_EQ(tables.built, 1);
    EXPECT_EQ(c.failing == 1 ? tables.lanczos3 : tables.lanczos2, kept);
    // The rebuilt table is a real one: centre weight of phase (0, 0) is 1, 1, 0.9 * 8/9.
    const int centre[] = {5, 14, 5};
    const float expected[] = {1.0f, 1.0f, 0.8f};
    EXPECT_NEAR(TableOf(tables, c.failing - 1)[centre[c.failing - 1]],
                expected[c.failing - 1], 1e-7f);
    ReleaseFilterKernelTableSet(tables);
    EXPECT_EQ(tables.lanczos2, nullptr);
    EXPECT_EQ(tables.built, 0);
  }
}

}  // namespace
