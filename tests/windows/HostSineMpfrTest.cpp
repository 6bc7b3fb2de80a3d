// The host sine against MPFR's correctly rounded one on a million arguments: every argument
// the kernel tables ask for (where a wrong last bit changes frames), the doubles around
// multiples of pi/2 (where the argument reduction cancels the most bits), and arguments
// spread evenly over every binade below 2^30 the sine claims, both signs.
#include <gtest/gtest.h>
#include <mpfr.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "HostSine.h"
#include "Resampling/FilterKernelTables.h"

namespace {

constexpr size_t kArguments = 1000000;

std::vector<double>* gRecorded = nullptr;

double RecordingSine(double x) {
  gRecorded->push_back(x);
  return std::sin(x);
}

std::vector<double> KernelTableArguments() {
  std::vector<double> recorded;
  gRecorded = &recorded;
  FilterKernelTables tables{nullptr, nullptr, nullptr, 0};
  BuildFilterKernelTableSet(tables, RecordingSine);
  ReleaseFilterKernelTableSet(tables);
  gRecorded = nullptr;
  std::sort(recorded.begin(), recorded.end());  // each tap distance recurs in every block
  recorded.erase(std::unique(recorded.begin(), recorded.end()), recorded.end());
  return recorded;
}

// The double nearest k pi / 2, from MPFR's pi.
double NearestMultipleOfHalfPi(uint64_t k, mpfr_t scratch) {
  mpfr_const_pi(scratch, MPFR_RNDN);
  mpfr_mul_ui(scratch, scratch, static_cast<unsigned long>(k), MPFR_RNDN);
  mpfr_div_2ui(scratch, scratch, 1, MPFR_RNDN);
  return mpfr_get_d(scratch, MPFR_RNDN);
}

uint64_t Bits(double v) {
  uint64_t b;
  std::memcpy(&b, &v, sizeof b);
  return b;
}

TEST(HostSine, MatchesMpfrOnAMillionArguments) {
  std::vector<double> arguments = KernelTableArguments();
  ASSERT_GT(arguments.size(), 300u);

  mpfr_t wide, value;
  mpfr_init2(wide, 256);
  mpfr_init2(value, 53);
  std::mt19937_64 random(20240611);
  // k pi/2 stays below 2^30 for k up to 683565275. The first few thousand multiples, and as
  // many more drawn from the whole range, each with its neighbours one unit either side.
  std::uniform_int_distribution<uint64_t> anyMultiple(1, 683565275);
  for (uint64_t i = 1; i <= 80000; ++i) {
    const uint64_t k = i <= 40000 ? i : anyMultiple(random);
    const double x = (i % 2 ? 1.0 : -1.0) * NearestMultipleOfHalfPi(k, wide);
    arguments.insert(arguments.end(), {std::nextafter(x, 0.0), x, std::nextafter(x, 2 * x)});
  }
  std::uniform_int_distribution<int> binade(-30, 29);
  std::uniform_int_distribution<uint64_t> mantissa(0, (uint64_t(1) << 52) - 1);
  while (arguments.size() < kArguments) {
    const double unit = std::ldexp(1.0 + std::ldexp(double(mantissa(random)), -52), binade(random));
    arguments.push_back(random() % 2 ? unit : -unit);
  }

  size_t mismatches = 0;
  for (double x : arguments) {
    mpfr_set_d(value, x, MPFR_RNDN);
    mpfr_sin(value, value, MPFR_RNDN);
    const double expected = mpfr_get_d(value, MPFR_RNDN);
    const double got = harness::HostSine(x);
    if (Bits(got) != Bits(expected) && ++mismatches <= 10) {
      ADD_FAILURE() << std::hexfloat << "sin(" << x << ") = " << expected << ", host sine "
                    << got;
    }
  }
  mpfr_clear(wide);
  mpfr_clear(value);
  mpfr_free_cache();
  EXPECT_EQ(mismatches, 0u) << "of " << arguments.size() << " arguments";
}

}  // namespace
