// The harness's sine must be the correctly rounded one on every platform: the kernel
// tables of the Windows plug-in and of the Linux module are built from it, and any
// argument where it followed a platform's own rounding would make their frames differ.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#include "HostSine.h"

namespace {

uint64_t Bits(double v) {
  uint64_t b;
  std::memcpy(&b, &v, sizeof b);
  return b;
}

// Reference values computed to 90 digits and rounded to the nearest double. The last four
// arguments are ones where both glibc's and the mingw-w64 runtime's sine are one unit off.
TEST(HostSine, IsCorrectlyRounded) {
  struct Case {
    double x;
    double sine;
  };
  const Case cases[] = {
      {0x1.921fb54442d18p+1, 0x1.1a62633145c07p-53},   // the double nearest pi
      {0x1.921fb54442d18p+0, 0x1.0000000000000p+0},    // pi / 2
      {0x1.2d97c7f3321d2p+3, 0x1.a79394c9e8a0ap-52},   // 3 pi
      {-0x1.921fb54442d18p-1, -0x1.6a09e667f3bccp-1},  // -pi / 4: quadrant boundary
      {-0x1.4000000000000p+1, -0x1.326af0dcfcab1p-1},  // -2.5
      {0x1.0000000000000p-1, 0x1.eaee8744b05f0p-2},    // 0.5
      {0x1.dcd6500000000p+29, 0x1.1778cae83c69bp-1},   // 1e9: long reduction
      {0x1.0000000000000p-30, 0x1.0000000000000p-30},  // tiny: sin x rounds to x
      {-0x1.3cc71464b8504p+2, 0x1.f1a80b04a4a5bp-1},
      {-0x1.4b3400e0165a2p+1, -0x1.0d63ac9be067dp-1},
      {-0x1.df3648636efb0p+0, -0x1.e8f62e5f98a7dp-1},
      {0x1.23cf5c8ff721ap+1, 0x1.84a002d995ad5p-1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Bits(harness::HostSine(c.x)), Bits(c.sine)) << std::hexfloat << c.x;
  }
  // Signed zeros keep their sign; no sine of an infinity or NaN; beyond the exact range, still
  // a sine.
  EXPECT_EQ(Bits(harness::HostSine(0.0)), Bits(0.0));
  EXPECT_EQ(Bits(harness::HostSine(-0.0)), Bits(-0.0));
  for (double x : {std::numeric_limits<double>::quiet_NaN(), HUGE_VAL, -HUGE_VAL}) {
    EXPECT_TRUE(std::isnan(harness::HostSine(x))) << x;
  }
  EXPECT_LE(std::fabs(harness::HostSine(1e300)), 1.0);
}

}  // namespace
