#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "Numerics/PolynomialRangeSearch.h"

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

// f' of the classic polynomial, as the range search builds it.
struct Slope {
  double p[kRangePolynomialSize];
};
Slope SlopeOf(double k1, double k2, double k3) {
  return {{1.0, 0.0, 3.0 * k1, 4.0 * k2, 5.0 * k3, 0.0}};
}

double Evaluate(const double p[kRangePolynomialSize], double t) {
  double sum = 0.0;
  double power = 1.0;
  for (int i = 0; i < 5; ++i) {
    sum += p[i] * power;
    power *= t;
  }
  return sum;
}

// 0.1 added to 0.1 `steps` times: where a march of accepted 0.1 steps stands.
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
      const int32_t expected = i == 0 ? 0 : BinomialTable[i - 1][j - 1] + BinomialTable[i - 1][j];
      EXPECT_EQ(BinomialTable[i][j], expected) << i << " choose " << j;
    }
  }
}

TEST(FindMonotonicRange, ClosedFormCases) {
  struct Case {
    double k1, k2, k3, requested;
    double range, limitSquared;
  };
  const double twoThirds = 1.0 / 1.5;  // 1 / sqrt(3 * 0.75)
  const Case cases[] = {
      {0.0, 0.0, 0.0, 2.0, 2.1, 1e10},   // 1.05 times the request
      {0.0, 0.0, 0.0, 0.0, 10.0, 1e10},  // default radius, not scaled
      {0.5, 0.0, 0.0, 2.0, 2.1, 1e10},   // only the signs matter
      {0.0, 0.5, 0.0, 2.0, 2.1, 1e10},
      {0.0, 0.0, 0.5, 2.0, 2.1, 1e10},
      {-1.0 / 3.0, 0.0, 0.0, 0.0, 1.0, 1.0},  // turning point, whatever was requested
      {-1.0 / 3.0, 0.0, 0.0, 2.0, 1.0, 1.0},
      {-1.0 / 3.0, 0.0, 0.0, 100.0, 1.0, 1.0},
      {-0.75, 0.0, 0.0, 2.0, twoThirds, twoThirds * twoThirds},
  };
  for (const Case& c : cases) {
    const MonotonicRange found = FindMonotonicRange(c.k1, c.k2, c.k3, c.requested);
    EXPECT_EQ(found.range, c.range) << c.k1 << " " << c.k2 << " " << c.k3;
    EXPECT_EQ(found.limitSquared, c.limitSquared) << c.k1 << " " << c.k2 << " " << c.k3;
  }
}

TEST(FindMonotonicRange, MarchStopsJustShortOfTheTurn) {
  // f'(t) = 1 - 0.5 t^4 turns negative at 2^(1/4) = 1.189207. By hand: 0.1 steps are
  // accepted up to 1.1; then halved steps of 0.05, 0.025, 0.0125, 0.0015625 and 1/10240
  // are accepted, every other trial lands past the turn, and the step falls below 5e-5.
  double expected = MarchOfTenths(10);
  for (double step : {0.05, 0.025, 0.0125, 0.0015625, 0.1 / 1024.0}) expected += step;
  const MonotonicRange found = FindMonotonicRange(0.0, 0.0, -0.1, 2.0);
  EXPECT_EQ(found.range, expected);
  EXPECT_EQ(found.limitSquared, expected * expected);
  EXPECT_NEAR(found.range, 1.18916, 1e-5);
  EXPECT_LT(found.range, std::pow(2.0, 0.25));
}

TEST(FindMonotonicRange, MarchReachingTheRequestWithNoTurnKeepsItsRadius) {
  // f' = 1 + 1.5 t^2 - 0.05 t^4 turns only near 5.5; the march passes 2.1 in 21 steps.
  const double expected = MarchOfTenths(20);
  ASSERT_GE(expected, 2.1);
  const MonotonicRange found = FindMonotonicRange(0.5, 0.0, -0.01, 2.0);
  EXPECT_EQ(found.range, expected);
  EXPECT_EQ(found.limitSquared, expected * expected);
}

TEST(FindMonotonicRange, NarrowFoldJumpedByTheMarchIsFoundByTheRootSearch) {
  // f' < 0 only on about (1.1586, 1.1677): every 0.1 step clears it, the march ends at
  // 2.1, two roots are counted on [0, 2.1], and bisection isolates the first.
  const Slope slope = SlopeOf(0.05, -0.7, 0.35);
  const double end = MarchOfTenths(20);
  EXPECT_EQ(CountIntervalRoots(slope.p, 0.0, end), 2);

  // The bisection path, worked out by hand from the root counts: right, then left three
  // times, right twice, left; the last interval holds one root.
  double a = 0.0;
  double b = end;
  for (char side : {'R', 'L', 'L', 'L', 'R', 'R', 'L'}) {
    const double m = (a + b) * 0.5;
    (side == 'L' ? b : a) = m;
  }
  EXPECT_NEAR(a, 1.1484375, 1e-12);
  EXPECT_NEAR(b, 1.16484375, 1e-12);
  double lo = 0.0;
  double hi = 0.0;
  ASSERT_EQ(IsolateRoot(slope.p, 0.0, end, &lo, &hi), 1);
  EXPECT_EQ(lo, a);
  EXPECT_EQ(hi, b);

  const MonotonicRange found = FindMonotonicRange(0.05, -0.7, 0.35, 2.0);
  EXPECT_EQ(found.range, RefineRoot(slope.p, a, b));
  EXPECT_EQ(found.limitSquared, found.range * found.range);
  EXPECT_NEAR(found.range, 1.15857, 1e-5);
  EXPECT_NEAR(found.limitSquared, 1.34229, 1e-5);
  EXPECT_LT(std::fabs(Evaluate(slope.p, found.range)), 1e-6);
}

TEST(FindMonotonicRange, EndsForNonFiniteInputs) {
  const double cases[][4] = {
      {kNaN, -0.1, 0.0, 2.0},    // NaN slope everywhere: every step counts as a fold
      {-0.1, kNaN, 0.0, 2.0},
      {-0.1, 0.05, 0.0, kInf},   // f increases for ever: capped march
      {0.05, -0.7, 0.35, kNaN},  // the request is never reached
      {-kInf, 0.0, 0.0, 2.0},
  };
  for (const auto& c : cases) {
    const MonotonicRange found = FindMonotonicRange(c[0], c[1], c[2], c[3]);
    EXPECT_FALSE(found.range < 0.0) << c[0] << " " << c[1] << " " << c[2] << " " << c[3];
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
      // Cubic 1 - 3t^2 + 2t^3 = (t - 1)^2 (2t + 1): the double root is at the open end of
      // (0, 1) and inside (0, 2).
      {{1, 0, -3, 2, 0, 0}, 0.0, 1.0, {1, 3, 0, 0, 0, 0}, 0},
      {{1, 0, -3, 2, 0, 0}, 0.0, 2.0, {1, 3, -9, 5, 0, 0}, 2},
      // Neither a cubic nor a quartic term: nothing is counted anywhere.
      {{1, 0, -5, 0, 0, 0}, 0.0, 1.0, {0, 0, 0, 0, 0, 0}, 0},
  };
  for (const Case& k : cases) {
    double c[kRangePolynomialSize];
    IntervalTransform(k.p, k.a, k.b, c);
    for (int i = 0; i < kRangePolynomialSize; ++i) {
      EXPECT_EQ(c[i], k.c[i]) << "on (" << k.a << ", " << k.b << ") coefficient " << i;
    }
    EXPECT_EQ(CountIntervalRoots(k.p, k.a, k.b), k.changes);
  }
}

TEST(CountSignChanges, SkipsZerosAndNaNs) {
  struct Case {
    double c[kRangePolynomialSize];
    int32_t changes;
  };
  const Case cases[] = {
      {{1, 0, -2, 0, 3, 0}, 2},
      {{0, 0, 0, 0, 0, 0}, 0},
      {{1, -1, 1, -1, 1, -1}, 5},
      {{-1, -2, -3, -4, -5, -6}, 0},
      {{kNaN, 1, kNaN, -1, 0, 2}, 2},
      {{-kInf, 0, kInf, kNaN, kNaN, kNaN}, 1},
  };
  for (const Case& k : cases) EXPECT_EQ(CountSignChanges(k.c), k.changes);
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
      // Wide: no enclosure, the left half counts one root.
      {quartic, 0.5, 2.0, 1, 0.5, 1.25},
      // Narrower than 1e-4 around 0.618034 and the enclosure holds zero: accepted whole.
      {quartic, 0.618, 0.61804, 1, 0.618, 0.61804},
      // No root in [0.7, 0.9]: the enclosure excludes zero.
      {quartic, 0.7, 0.9, 0, 0, 0},
      // Zero at the midpoint: accepted before any count (which would be 0 here).
      {square, 0.25, 0.75, 1, 0.25, 0.75},
      // Ends that bisection cannot split.
      {quartic, 0.0, kInf, 0, 0, 0},
      {quartic, kNaN, 1.0, 0, 0, 0},
      {quartic, -kInf, kInf, 0, 0, 0},
  };
  for (const Case& k : cases) {
    double lo = -7.0;
    double hi = -7.0;
    EXPECT_EQ(IsolateRoot(k.p, k.a, k.b, &lo, &hi), k.ok) << k.a << " " << k.b;
    EXPECT_EQ(lo, k.ok ? k.lo : -7.0);
    EXPECT_EQ(hi, k.ok ? k.hi : -7.0);
  }
}

TEST(RefineRoot, StopsAtTheRootAndAtAZeroSlope) {
  const double unitRoot[kRangePolynomialSize] = {1, 0, -1, 0, 0, 0};
  // The midpoint is the root: no step at all.
  EXPECT_EQ(RefineRoot(unitRoot, 0.0, 2.0), 1.0);
  // The slope at the midpoint 0 is zero: the step would be infinite; the estimate stays.
  const double even[kRangePolynomialSize] = {1, 0, -4, 0, 0, 0};
  EXPECT_EQ(RefineRoot(even, -1.0, 1.0), 0.0);
  // NaN bracket: NaN comes back, promptly.
  EXPECT_TRUE(std::isnan(RefineRoot(unitRoot, kNaN, 1.0)));
}

TEST(RefineRoot, NeverLeavesTheBracket) {
  struct Case {
    double p[kRangePolynomialSize];
    double lo, hi;
    bool converges;
  };
  const Case cases[] = {
      // Midpoint 1.225 sits on the extremum at sqrt(1.5): the first steps are far too long
      // and are halved until they fit.
      {{1, 0, -3, 0, 1, 0}, 0.5, 1.95, true},
      {{1, 0, -1, 0, 0, 0}, 0.9, 4.0, true},
      // No root: every step points below the bracket; it creeps towards lo and stops.
      {{1, 0, 1, 0, 0, 0}, 0.5, 1.0, false},
  };
  for (const Case& k : cases) {
    const double r = RefineRoot(k.p, k.lo, k.hi);
    EXPECT_GE(r, k.lo);
    EXPECT_LE(r, k.hi);
    if (k.converges) {
      EXPECT_LT(std::fabs(Evaluate(k.p, r)), 1e-6) << r;
    }
  }
}
