#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "Numerics/PolynomialRangeSearch.h"
#include "support/GoldenValues.h"

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

const double kGolden[] = {
#include "PolynomialRangeSearchGolden.inc"
};

TEST(BinomialTable, IsPascalsTriangle) {
  for (int i = 0; i < kRangePolynomialSize; ++i) {
    for (int j = 0; j < kRangePolynomialSize; ++j) {
      const int32_t above =
          i == 0 ? (j == 0) : BinomialTable[i - 1][j] + (j ? BinomialTable[i - 1][j - 1] : 0);
      EXPECT_EQ(BinomialTable[i][j], above) << i << " choose " << j;
    }
  }
}

TEST(FindMonotonicRange, ResultsWorkedByHand) {
  // k3 = -0.1 alone: 0.1 steps are accepted up to 1.1, then the halved steps below; every
  // other trial lands past the turn of f' = 1 - 0.5 t^4 at 2^(1/4). No root lies in [0, r].
  double turnMarch = 0.1;
  for (int i = 0; i < 10; ++i) turnMarch += 0.1;
  for (double step : {0.05, 0.025, 0.0125, 0.0015625, 0.1 / 1024.0}) turnMarch += step;
  const double twoThirds = 1.0 / 1.5;  // 1 / sqrt(-3 * -0.75)
  const struct {
    double k1, k2, k3, requested, range, limitSquared;
  } cases[] = {
      {0.0, 0.0, 0.0, 2.0, 2.1, 1e10},  // 1.05 times the request
      {0.0, 0.0, 0.0, 0.0, 10.0, 1e10},
      {0.0, 0.5, 0.0, 2.0, 2.1, 1e10},
      {-1.0 / 3.0, 0.0, 0.0, 100.0, 1.0, 1.0},  // turning point whatever the request
      {-0.75, 0.0, 0.0, 2.0, twoThirds, twoThirds * twoThirds},
      {0.0, 0.0, -0.1, 2.0, turnMarch, turnMarch * turnMarch},
  };
  for (const auto& c : cases) {
    const MonotonicRange found = FindMonotonicRange(c.k1, c.k2, c.k3, c.requested);
    EXPECT_EQ(found.range, c.range) << c.k1 << " " << c.k2 << " " << c.k3;
    EXPECT_EQ(found.limitSquared, c.limitSquared) << c.k1 << " " << c.k2 << " " << c.k3;
  }
  // f' < 0 only on about (1.1586, 1.1677): the 0.1 steps clear that fold, the root search
  // finds it.
  EXPECT_NEAR(FindMonotonicRange(0.05, -0.7, 0.35, 2.0).range, 1.15857, 1e-5);
}

TEST(IsolateRoot, EnclosureAndFailures) {
  const double quartic[kRangePolynomialSize] = {1, 0, -3, 0, 1, 0};  // roots 0.618, 1.618
  for (const auto& ab : {std::pair<double, double>{0.7, 0.9}, {0.0, kInf}, {kNaN, 1.0}}) {
    double lo = -7.0, hi = -7.0;
    EXPECT_EQ(IsolateRoot(quartic, ab.first, ab.second, &lo, &hi), 0) << ab.first;
    EXPECT_EQ(lo + hi, -14.0);
  }
  // Near the midpoint only the quartic term lifts the upper bound of the enclosure to zero.
  const double lifted[kRangePolynomialSize] = {1, 0, -5.5, -3.0, 3.2, 0};
  double lo = 0.0, hi = 0.0;
  EXPECT_EQ(IsolateRoot(lifted, 0.89, 1.83, &lo, &hi), 1);
  const double signs[][kRangePolynomialSize + 1] = {{1, 0, -2, 0, 3, 0, 2},
                                                    {0, 0, 0, 0, 0, 0, 0},
                                                    {1, -1, 1, -1, 1, -1, 5},
                                                    {kNaN, 1, kNaN, -1, 0, 2, 2},
                                                    {-kInf, 0, kInf, kNaN, kNaN, kNaN, 1}};
  for (const auto& s : signs) EXPECT_EQ(CountSignChanges(s), s[kRangePolynomialSize]);
  const double unit[kRangePolynomialSize] = {1, 0, -1, 0, 0, 0};
  EXPECT_TRUE(std::isnan(RefineRoot(unit, kNaN, 1.0)));
  // Root 4.02e-6 below the middle of a bracket 1.006e-6 wide each way: the step halved to
  // 1.005e-6 is still taken, the next one falls below 1e-6 and stops.
  const double linear[kRangePolynomialSize] = {4.02e-6 - 1.0, 1, 0, 0, 0, 0};
  EXPECT_LT(RefineRoot(linear, 1.0 - 1.006e-6, 1.0 + 1.006e-6), 1.0 - 1e-6);
}

// Ranges over a grid of coefficients, and the root counting, isolation and refinement of
// slope polynomials with quartic, cubic and only quadratic terms on intervals whose ends are
// both non-zero, so that every coefficient of the interval transform counts.
TEST(RangeSearchGolden, MatchesTheGoldenValues) {
  GoldenValues golden;
  for (double k1 : {-0.3, -0.05, 0.1}) {
    for (double k2 : {-0.7, -0.02, 0.0, 0.04}) {
      for (double k3 : {-0.1, 0.0, 0.35}) {
        const MonotonicRange r = FindMonotonicRange(k1, k2, k3, 1.7);
        const std::string what =
            "range " + std::to_string(k1) + " " + std::to_string(k2) + " " + std::to_string(k3);
        golden.Add(what, r.range);
        golden.Add(what + " limit", r.limitSquared);
      }
    }
  }
  const double polys[][kRangePolynomialSize] = {
      {1, 0, -3, 0, 1, 0}, {1, 0, -3, 2, 0, 0}, {1, 0, 0.15, -2.8, 1.75, 0}, {1, 0, -5, 0, 0, 0}};
  const double intervals[][2] = {{0.3, 2.1}, {0.5, 1.25}, {-0.4, 0.9}};
  for (const auto& p : polys) {
    for (const auto& ab : intervals) {
      const std::string what = "poly " + std::to_string(p[2]) + " on " + std::to_string(ab[0]);
      double c[kRangePolynomialSize] = {7, 7, 7, 7, 7, 7};  // every one must be written
      IntervalTransform(p, ab[0], ab[1], c);
      for (double v : c) golden.Add(what + " transform", v);
      golden.Add(what + " roots", CountIntervalRoots(p, ab[0], ab[1]));
      double lo = 0.0, hi = 0.0;
      golden.Add(what + " isolated", IsolateRoot(p, ab[0], ab[1], &lo, &hi));
      golden.Add(what + " lo", lo);
      golden.Add(what + " hi", hi);
      golden.Add(what + " refined", RefineRoot(p, ab[0], ab[1]));
    }
  }
  // Non-numbers among the inputs: the search must end, with these results.
  const double nonFinite[][4] = {
      {kNaN, -0.1, 0.0, 2.0}, {-0.1, 0.05, 0.0, kInf}, {0.05, -0.7, 0.35, kNaN}, {-kInf, 0, 0, 2}};
  for (const auto& k : nonFinite) {
    const MonotonicRange r = FindMonotonicRange(k[0], k[1], k[2], k[3]);
    golden.Add("non-finite range", r.range);
    golden.Add("non-finite limit", r.limitSquared);
  }
  golden.Expect(kGolden, sizeof kGolden / sizeof kGolden[0]);
}

}  // namespace
