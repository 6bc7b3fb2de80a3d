// The harness's sine must be the correctly rounded one on every platform: the kernel tables of
// the Windows plug-in and of the Linux module are built from it, and any argument where it
// followed a platform's own rounding would make their frames differ.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "HostSine.h"
#ifdef VTAFX_HAVE_MPFR
#include <mpfr.h>

#include "Resampling/FilterKernelTables.h"
#endif

namespace {

uint64_t Bits(double v) {
  uint64_t b;
  std::memcpy(&b, &v, sizeof b);
  return b;
}

// Reference values computed to 90 digits and rounded to the nearest double. The last four
// arguments are ones where both glibc's and the mingw-w64 runtime's sine are one unit off.
TEST(HostSine, IsCorrectlyRounded) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const std::pair<double, double> cases[] = {
      {0x1.921fb54442d18p+1, 0x1.1a62633145c07p-53},   // the double nearest pi
      {0x1.921fb54442d18p+0, 1.0},                     // pi / 2
      {0x1.2d97c7f3321d2p+3, 0x1.a79394c9e8a0ap-52},   // 3 pi
      {-0x1.921fb54442d18p-1, -0x1.6a09e667f3bccp-1},  // -pi / 4: quadrant boundary
      {-2.5, -0x1.326af0dcfcab1p-1},
      {0.5, 0x1.eaee8744b05f0p-2},
      {1e9, 0x1.1778cae83c69bp-1},  // long reduction
      {0x1p-30, 0x1p-30},           // tiny: sin x rounds to x
      {0.0, 0.0},                   // signed zeros keep their sign
      {-0.0, -0.0},
      {nan, nan},  // no sine of an infinity or NaN
      {HUGE_VAL, nan},
      {-HUGE_VAL, nan},
      {-0x1.3cc71464b8504p+2, 0x1.f1a80b04a4a5bp-1},
      {-0x1.4b3400e0165a2p+1, -0x1.0d63ac9be067dp-1},
      {-0x1.df3648636efb0p+0, -0x1.e8f62e5f98a7dp-1},
      {0x1.23cf5c8ff721ap+1, 0x1.84a002d995ad5p-1}};
  for (const auto& [x, sine] : cases) {
    const double got = harness::HostSine(x);
    EXPECT_TRUE(std::isnan(sine) ? std::isnan(got) : Bits(got) == Bits(sine)) << std::hexfloat << x;
  }
  EXPECT_LE(std::fabs(harness::HostSine(1e300)), 1.0);  // beyond the exact range, still a sine
}

#ifdef VTAFX_HAVE_MPFR
std::vector<double>* gRecorded = nullptr;

double RecordingSine(double x) {
  gRecorded->push_back(x);
  return std::sin(x);
}

// Against MPFR's correctly rounded sine on a million arguments: every argument the kernel
// tables ask for (where a wrong last bit changes frames), the doubles around multiples of pi/2
// (where the argument reduction cancels the most bits), and arguments spread evenly over every
// binade below 2^30 the sine claims, both signs.
TEST(HostSine, MatchesMpfrOnAMillionArguments) {
  std::vector<double> arguments;
  gRecorded = &arguments;
  FilterKernelTables tables{nullptr, nullptr, nullptr, 0};
  BuildFilterKernelTableSet(tables, RecordingSine);
  ReleaseFilterKernelTableSet(tables);
  std::sort(arguments.begin(), arguments.end());  // each tap distance recurs in every block
  arguments.erase(std::unique(arguments.begin(), arguments.end()), arguments.end());
  ASSERT_GT(arguments.size(), 300u);

  mpfr_t wide, value;
  mpfr_init2(wide, 256);
  mpfr_init2(value, 53);
  std::mt19937_64 random(20240611);
  // k pi/2 stays below 2^30 for k up to 683565275: the first 40000 multiples and as many drawn
  // from the whole range, each with its neighbours one unit either side.
  std::uniform_int_distribution<uint64_t> anyMultiple(1, 683565275);
  for (uint64_t i = 1; i <= 80000; ++i) {
    mpfr_const_pi(wide, MPFR_RNDN);
    mpfr_mul_ui(wide, wide, static_cast<unsigned long>(i <= 40000 ? i : anyMultiple(random)),
                MPFR_RNDN);
    mpfr_div_2ui(wide, wide, 1, MPFR_RNDN);
    const double x = (i % 2 ? 1.0 : -1.0) * mpfr_get_d(wide, MPFR_RNDN);
    arguments.insert(arguments.end(), {std::nextafter(x, 0.0), x, std::nextafter(x, 2 * x)});
  }
  std::uniform_int_distribution<int> binade(-30, 29);
  std::uniform_int_distribution<uint64_t> mantissa(0, (uint64_t(1) << 52) - 1);
  while (arguments.size() < 1000000) {
    const double unit = std::ldexp(1.0 + std::ldexp(double(mantissa(random)), -52), binade(random));
    arguments.push_back(random() % 2 ? unit : -unit);
  }
  size_t mismatches = 0;
  for (double x : arguments) {
    mpfr_set_d(value, x, MPFR_RNDN);
    mpfr_sin(value, value, MPFR_RNDN);
    const double expected = mpfr_get_d(value, MPFR_RNDN), got = harness::HostSine(x);
    if (Bits(got) != Bits(expected) && ++mismatches <= 10) {
      ADD_FAILURE() << std::hexfloat << "sin(" << x << ") = " << expected << ", host " << got;
    }
  }
  mpfr_clear(wide);
  mpfr_clear(value);
  mpfr_free_cache();
  EXPECT_EQ(mismatches, 0u) << "of " << arguments.size() << " arguments";
}
#endif

}  // namespace
