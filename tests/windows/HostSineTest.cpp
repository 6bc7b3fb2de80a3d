// The harness's sine must be the correctly rounded one on every platform: the kernel tables of
// the Windows plug-in and of the Linux module are built from it, and any argument where it
// followed a platform's own rounding would make their frames differ.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>

#include "HostSine.h"

namespace {

// Reference values computed to 90 digits and rounded to the nearest double. The last four
// arguments are ones where both glibc's and the mingw-w64 runtime's sine are one unit off.
TEST(HostSine, IsCorrectlyRounded) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  // clang-format off
  const std::pair<double, double> cases[] = {
      {0x1.921fb54442d18p+1, 0x1.1a62633145c07p-53},   // the double nearest pi
      {0x1.921fb54442d18p+0, 1.0},                     // pi / 2
      {0x1.2d97c7f3321d2p+3, 0x1.a79394c9e8a0ap-52},   // 3 pi
      {-0x1.921fb54442d18p-1, -0x1.6a09e667f3bccp-1},  // -pi / 4: quadrant boundary
      {-2.5, -0x1.326af0dcfcab1p-1}, {0.5, 0x1.eaee8744b05f0p-2},
      {1e9, 0x1.1778cae83c69bp-1},  // long reduction
      {0x1p-30, 0x1p-30}, {0.0, 0.0}, {-0.0, -0.0},  // sin x rounds to x; zeros keep their sign
      {nan, nan}, {HUGE_VAL, nan}, {-HUGE_VAL, nan},
      {-0x1.3cc71464b8504p+2, 0x1.f1a80b04a4a5bp-1}, {-0x1.4b3400e0165a2p+1, -0x1.0d63ac9be067dp-1},
      {-0x1.df3648636efb0p+0, -0x1.e8f62e5f98a7dp-1}, {0x1.23cf5c8ff721ap+1, 0x1.84a002d995ad5p-1}};
  // clang-format on
  for (const auto& [x, sine] : cases) {
    const double got = harness::HostSine(x);
    EXPECT_TRUE(std::isnan(sine) ? std::isnan(got)
                                 : got == sine && std::signbit(got) == std::signbit(sine))
        << std::hexfloat << x;
  }
  EXPECT_LE(std::fabs(harness::HostSine(1e300)), 1.0);  // beyond the exact range, still a sine
}

#ifndef _WIN32
// Against glibc's 64-bit long double sine rounded to double: 11 bits more than a double, so its
// rounding is the correct one except within a few of its units of a midpoint between two
// doubles, where an argument is left undecided (the fixed cases above hold such ones). A million
// arguments: the doubles at and one unit either side of multiples of pi/2, where the argument
// reduction cancels the most bits (the first 40000 multiples and as many drawn up to 2^30), and
// arguments spread evenly over every binade below 2^30 the sine claims, both signs. The
// arguments the kernel tables ask for are held by their golden hashes on every platform.
TEST(HostSine, MatchesTheWideSineOnAMillionArguments) {
  static_assert(std::numeric_limits<long double>::digits >= 64, "needs the x87 long double");
  std::mt19937_64 random(20240611);
  size_t mismatches = 0, undecided = 0;
  for (uint64_t i = 0; i < 1000000; ++i) {
    const double sign = random() % 2 ? 1.0 : -1.0;
    double x =
        sign * std::ldexp(1.0 + std::ldexp(double(random() >> 12), -52), int(random() % 60) - 30);
    if (i < 240000) {  // k pi/2 < 2^30 for k <= 683565275
      const long double k =
          static_cast<long double>(i < 120000 ? i / 3 + 1 : random() % 683565275 + 1);
      const double multiple = sign * double(k * 0x1.921fb54442d1846ap+0L);
      x = i % 3 == 0 ? multiple : std::nextafter(multiple, i % 3 == 1 ? 0.0 : 2 * multiple);
    }
    const long double wide = sinl(x);
    const double nearest = double(wide), got = harness::HostSine(x);
    const double other = std::nextafter(nearest, wide > nearest ? HUGE_VAL : -HUGE_VAL);
    if (fabsl(wide - (nearest + static_cast<long double>(other)) / 2) <= fabsl(wide) * 0x1p-60L) {
      ++undecided;
    } else if (got != nearest && ++mismatches <= 10) {
      ADD_FAILURE() << std::hexfloat << "sin(" << x << ") = " << nearest << ", host " << got;
    }
  }
  EXPECT_EQ(mismatches, 0u);
  EXPECT_LT(undecided, 20000u);
}
#endif

}  // namespace
