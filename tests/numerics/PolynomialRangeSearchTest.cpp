#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "Numerics/PolynomialRangeSearch.h"

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

double Evaluate(const double p[kRangePolynomialSize], double t) {
  return p[0] + p[1] * t + p[2] * t * t + p[3] * t * t * t + p[4] * t * t * t * t;
}

// Where a march stands after `steps` accepted steps of 0.1 from 0.1.
double MarchOfTenths(int steps) {
  double r = 0.1;
  for (int i = 0; i < steps; ++i) r += 0.1;
  return r;
}

}  // namespace

TEST(BinomialTable, IsPascalsTriangle) {
  for (int i = 0; i < kRangePolynomialSize; ++i) {
    EXPECT_EQ(BinomialTable[i][0], 1);
    for (int j = 1; j < kRangePolynomialSize; ++j) {
      const int32_t above = i == 0 ? 0 : BinomialTable[i - 1][j - 1] + BinomialTable[i - 1][j];
      EXPECT_EQ(BinomialTable[i][j], above) << i << " choose " << j;
    }
  }
}

TEST(FindMonotonicRange, ResultsWorkedByHand) {
  // The k1 = 0, k2 = 0, k3 = -0.1 march, by hand: 0.1 steps are accepted up to 1.1, then
  // the halved steps below; every other trial lands past the turn of f' = 1 - 0.5 t^4 at
  // 2^(1/4), until the step falls below 5e-5. No root lies in [0, r].
  double turnMarch = MarchOfTenths(10);
  for (double step : {0.05, 0.025, 0.0125, 0.0015625, 0.1 / 1024.0}) turnMarch += step;
  const double passMarch = MarchOfTenths(20);  // 21 accepted steps reach 2.1
  ASSERT_GE(passMarch, 2.1);
  const double twoThirds = 1.0 / 1.5;  // 1 / sqrt(-3 * -0.75)
  struct Case {
    double k1, k2, k3, requested;
    double range, limitSquared;
  };
  const Case cases[] = {
      {0.0, 0.0, 0.0, 2.0, 2.1, 1e10},  // 1.05 times the request
      {0.0, 0.0, 0.0, 0.0, 10.0, 1e10},
      {0.5, 0.0, 0.0, 2.0, 2.1, 1e10},
      {0.0, 0.5, 0.0, 2.0, 2.1, 1e10},
      {0.0, 0.0, 0.5, 2.0, 2.1, 1e10},
      {-1.0 / 3.0, 0.0, 0.0, 0.0, 1.0, 1.0},  // turning point whatever the request
      {-1.0 / 3.0, 0.0, 0.0, 100.0, 1.0, 1.0},
      {-0.75, 0.0, 0.0, 2.0, twoThirds, twoThirds * twoThirds},
      {0.0, 0.0, -0.1, 2.0, turnMarch, turnMarch * turnMarch},
      {0.5, 0.0, -0.01, 2.0, passMarch, passMarch * passMarch},  // turn only near 5.5
  };
  for (const Case& c : cases) {
    const MonotonicRange found = FindMonotonicRange(c.k1, c.k2, c.k3, c.requested);
    EXPECT_EQ(found.range, c.range) << c.k1 << " " << c.k2 << " " << c.k3;
    EXPECT_EQ(found.limitSquared, c.limitSquared) << c.k1 << " " << c.k2 << " " << c.k3;
  }
  EXPECT_NEAR(turnMarch, 1.18916, 1e-5);
}

TEST(FindMonotonicRange, NarrowFoldJumpedByTheMarchIsFoundByTheRootSearch) {
  // f' < 0 only on about (1.1586, 1.1677): the march's 0.1 steps clear it and end at 2.1;
  // two roots are counted on [0, 2.1]; bisection isolates the first, along the path worked
  // out by hand from the counts: right, left three times, right twice, left.
  const double slope[kRangePolynomialSize] = {1.0, 0.0, 3.0 * 0.05, 4.0 * -0.7, 5.0 * 0.35, 0.0};
  const double end = MarchOfTenths(20);
  EXPECT_EQ(CountIntervalRoots(slope, 0.0, end), 2);
  double a = 0.0;
  double b = end;
  for (char side : {'R', 'L', 'L', 'L', 'R', 'R', 'L'}) (side == 'L' ? b : a) = (a + b) * 0.5;
  EXPECT_NEAR(a, 1.1484375, 1e-12);
  EXPECT_NEAR(b, 1.16484375, 1e-12);
  double lo = 0.0;
  double hi = 0.0;
  ASSERT_EQ(IsolateRoot(slope, 0.0, end, &lo, &hi), 1);
  EXPECT_EQ(lo, a);
  EXPECT_EQ(hi, b);

  const MonotonicRange found = FindMonotonicRange(0.05, -0.7, 0.35, 2.0);
  EXPECT_EQ(found.range, RefineRoot(slope, a, b));
  EXPECT_EQ(found.limitSquared, found.range * found.range);
  EXPECT_NEAR(found.range, 1.15857, 1e-5);
  EXPECT_LT(std::fabs(Evaluate(slope, found.range)), 1e-6);
}

TEST(FindMonotonicRange, EndsForNonFiniteInputs) {
  const double cases[][4] = {
      {kNaN, -0.1, 0.0, 2.0},    // NaN slope everywhere: every step counts as a fold
      {-0.1, 0.05, 0.0, kInf},   // f increases for ever towards an infinite request
      {0.05, -0.7, 0.35, kNaN},  // a request that is never reached
      {-kInf, 0.0, 0.0, 2.0},
  };
  for (const auto& c : cases) {
    EXPECT_FALSE(FindMonotonicRange(c[0], c[1], c[2], c[3]).range < 0.0) << c[0] << " " << c[3];
  }
}

TEST(IntervalTransform, CoefficientsWorkedByHand) {
  struct Case {
    double p[kRangePolynomialSize];
    double a, b;
    double c[kRangePolynomialSize];
    int32_t changes;
  };
  const Case cases[] = {
      // 1 - 3t^2 + t^4, roots 0.618 and 1.618.
      {{1, 0, -3, 0, 1, 0}, 0.0, 1.0, {1, 4, 3, -2, -1, 0}, 1},
      {{1, 0, -3, 0, 1, 0}, 0.5, 2.0, {0.3125, -2.5, -12.75, -10, 5, 0}, 2},
      // 1 - 3t^2 + 2t^3 = (t - 1)^2 (2t + 1): its double root ends (0, 1), lies in (0, 2).
      {{1, 0, -3, 2, 0, 0}, 0.0, 1.0, {1, 3, 0, 0, 0, 0}, 0},
      {{1, 0, -3, 2, 0, 0}, 0.0, 2.0, {1, 3, -9, 5, 0, 0}, 2},
      {{1, 0, -5, 0, 0, 0}, 0.0, 1.0, {0, 0, 0, 0, 0, 0}, 0},  // no cubic or quartic term
  };
  for (const Case& k : cases) {
    double c[kRangePolynomialSize];
    IntervalTransform(k.p, k.a, k.b, c);
    for (int i = 0; i < kRangePolynomialSize; ++i) EXPECT_EQ(c[i], k.c[i]) << k.b << " " << i;
    EXPECT_EQ(CountIntervalRoots(k.p, k.a, k.b), k.changes);
  }
  const double signs[][kRangePolynomialSize + 1] = {
      {1, 0, -2, 0, 3, 0, 2},      {0, 0, 0, 0, 0, 0, 0},
      {1, -1, 1, -1, 1, -1, 5},    {kNaN, 1, kNaN, -1, 0, 2, 2},
      {-kInf, 0, kInf, kNaN, kNaN, kNaN, 1},
  };
  for (const auto& s : signs) EXPECT_EQ(CountSignChanges(s), s[kRangePolynomialSize]);
}

TEST(IsolateRoot, Outcomes) {
  const double quartic[kRangePolynomialSize] = {1, 0, -3, 0, 1, 0};
  const double square[kRangePolynomialSize] = {1, 0, -4, 0, 0, 0};  // root at exactly 0.5
  struct Case {
    const double* p;
    double a, b;
    int32_t ok;
    double lo, hi;
  };
  const Case cases[] = {
      {quartic, 0.5, 2.0, 1, 0.5, 1.25},          // wide: the left half counts one root
      {quartic, 0.618, 0.61804, 1, 0.618, 0.61804},  // narrower than 1e-4, holds 0.618034
      {quartic, 0.7, 0.9, 0, 0, 0},               // the enclosure excludes zero
      {square, 0.25, 0.75, 1, 0.25, 0.75},        // zero at the midpoint, before any count
      {quartic, 0.0, kInf, 0, 0, 0},              // ends bisection cannot split
      {quartic, kNaN, 1.0, 0, 0, 0},
  };
  for (const Case& k : cases) {
    double lo = -7.0;
    double hi = -7.0;
    EXPECT_EQ(IsolateRoot(k.p, k.a, k.b, &lo, &hi), k.ok) << k.a << " " << k.b;
    EXPECT_EQ(lo, k.ok ? k.lo : -7.0);  // untouched on failure
    EXPECT_EQ(hi, k.ok ? k.hi : -7.0);
  }
}

TEST(RefineRoot, StaysInTheBracketAndEndsEverywhere) {
  struct Case {
    double p[kRangePolynomialSize];
    double lo, hi;
    double exact;  // the expected root when known exactly, else NaN
    bool converges;
  };
  const Case cases[] = {
      {{1, 0, -1, 0, 0, 0}, 0.0, 2.0, 1.0, true},  // the midpoint is the root
      // Zero slope at the midpoint: an infinite step; the estimate stays.
      {{1, 0, -4, 0, 0, 0}, -1.0, 1.0, 0.0, false},
      // Midpoint 1.225 on the extremum at sqrt(1.5): steps far too long, halved to fit.
      {{1, 0, -3, 0, 1, 0}, 0.5, 1.95, kNaN, true},
      {{1, 0, -1, 0, 0, 0}, 0.9, 4.0, kNaN, true},
      // No root: every step points below the bracket; it creeps towards lo and stops.
      {{1, 0, 1, 0, 0, 0}, 0.5, 1.0, kNaN, false},
  };
  for (const Case& k : cases) {
    const double r = RefineRoot(k.p, k.lo, k.hi);
    EXPECT_GE(r, k.lo);
    EXPECT_LE(r, k.hi);
    if (!std::isnan(k.exact)) {
      EXPECT_EQ(r, k.exact);
    }
    if (k.converges) {
      EXPECT_LT(std::fabs(Evaluate(k.p, r)), 1e-6) << r;
    }
  }
  const double unit[kRangePolynomialSize] = {1, 0, -1, 0, 0, 0};
  EXPECT_TRUE(std::isnan(RefineRoot(unit, kNaN, 1.0)));
}
