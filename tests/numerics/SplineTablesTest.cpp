#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <new>

#include "Numerics/SplineTables.h"
#include "support/FailingArrayNew.h"

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();

// A table built on construction and released on destruction.
struct BuiltTable {
  RadialTable table;
  BuiltTable(double k1, double k2, double k3, double requested) {
    ResetRadialTable(table);
    BuildRadialTable(table, k1, k2, k3, requested);
  }
  ~BuiltTable() { ReleaseRadialTable(table); }
};

double Classic(double k1, double k2, double k3, double r) {
  return r * (1.0 + k1 * r * r + k2 * r * r * r + k3 * r * r * r * r);
}

}  // namespace

TEST(FitNaturalSpline, SecondDerivativesWorkedByHand) {
  // Natural splines through (0,0), (1,1), (2,0) and through (0,0), (1,1), (2,0), (3,1):
  // 4 M1 = -12 gives M1 = -3; 4 M1 + M2 = -12 with M1 + 4 M2 = 12 gives M1 = -4, M2 = 4.
  const double x[] = {0, 1, 2, 3};
  const double y[] = {0, 1, 0, 1};
  double m[4] = {9, 9, 9, 9};
  FitNaturalSpline(x, y, 3, m);
  EXPECT_EQ(m[0], 0.0);
  EXPECT_EQ(m[1], -3.0);
  EXPECT_EQ(m[2], 0.0);
  EXPECT_EQ(m[3], 9.0);
  FitNaturalSpline(x, y, 4, m);
  EXPECT_EQ(m[0], 0.0);
  EXPECT_EQ(m[1], -4.0);
  EXPECT_EQ(m[2], 4.0);
  EXPECT_EQ(m[3], 0.0);

  // The output may be the ordinates themselves: it is written only at the end.
  double inPlace[] = {0, 1, 0, 1};
  FitNaturalSpline(x, inPlace, 4, inPlace);
  EXPECT_EQ(inPlace[1], -4.0);
  EXPECT_EQ(inPlace[2], 4.0);
}

TEST(FitNaturalSpline, ShortInputs) {
  const double x[] = {0, 1};
  const double y[] = {5, 7};
  for (int32_t n : {-1, 0, 1, 2}) {
    double m[2] = {9, 9};
    FitNaturalSpline(x, y, n, m);
    for (int32_t i = 0; i < 2; ++i) EXPECT_EQ(m[i], i < n ? 0.0 : 9.0) << n;
  }
}

TEST(EvalSpline, ValuesWorkedByHand) {
  const double x[] = {0, 1, 2};
  const double y[] = {0, 1, 0};
  const double m[] = {0, -3, 0};
  struct Case {
    int32_t n;
    double t, value;
  };
  const Case cases[] = {
      // On [0, 1]: t + (-3 / 6)(t^3 - t); 0.5 + 0.1875.
      {3, 0.5, 0.6875},
      {3, 1.5, 0.6875},
      {3, 1.0, 1.0},  // a knot gives its ordinate
      // Outside the abscissae: the end values, never an extrapolation.
      {3, -1.0, 0.0},
      {3, 0.0, 0.0},
      {3, 2.0, 0.0},
      {3, 7.0, 0.0},
      {2, 1.5, 1.0},
      {1, 0.5, 0.0},
      {0, 0.5, 0.0},
  };
  for (const Case& k : cases) EXPECT_EQ(EvalSpline(x, y, m, k.n, k.t), k.value) << k.t;
  EXPECT_TRUE(std::isnan(EvalSpline(x, y, m, 3, kNaN)));
}

TEST(BuildRadialTable, IdentityPolynomial) {
  BuiltTable built(0.0, 0.0, 0.0, 2.0);
  const RadialTable& t = built.table;
  EXPECT_EQ(t.range, 2.1);
  EXPECT_EQ(t.limitSquared, 1e10);
  ASSERT_EQ(t.count, 50);
  const double step = 2.1 / 49.0;
  for (int32_t i = 0; i < 50; ++i) {
    EXPECT_EQ(t.radii[i], i * step);
    EXPECT_EQ(t.distorted[i], t.radii[i]);
  }
  EXPECT_EQ(t.endRatio, 1.0);
  EXPECT_EQ(t.curvature[0], 0.0);
  EXPECT_EQ(t.curvature[49], 0.0);

  for (double y : {0.01, 0.5, 1.0, 1.7, 2.0}) {
    double scale = 0.0;
    EXPECT_EQ(InverseRadialScale(t, y, &scale), 1);
    EXPECT_NEAR(scale, 1.0, 1e-12) << y;
  }
  double scale = 0.0;
  EXPECT_EQ(InverseRadialScale(t, 2.2, &scale), 0);
  EXPECT_EQ(scale, 1.0);
}

TEST(BuildRadialTable, NegativeQuadraticEndsAtItsTurn) {
  BuiltTable built(-0.1, 0.0, 0.0, 1.5);
  const RadialTable& t = built.table;
  const double turn = 1.0 / std::sqrt(3.0 * 0.1);
  EXPECT_EQ(t.range, turn);
  EXPECT_EQ(t.limitSquared, turn * turn);
  EXPECT_NEAR(t.range, 1.825742, 1e-6);
  EXPECT_NEAR(t.limitSquared, 10.0 / 3.0, 1e-12);
  ASSERT_EQ(t.count, 50);
  EXPECT_NEAR(t.distorted[49], 1.217161, 1e-6);
  EXPECT_NEAR(t.distorted[49], Classic(-0.1, 0, 0, t.radii[49]), 1e-15);
  EXPECT_NEAR(t.endRatio, 1.5, 1e-15);
  for (int32_t i = 1; i < t.count; ++i) EXPECT_LT(t.distorted[i - 1], t.distorted[i]);

  struct Case {
    double y;
    int32_t result;
    double scale, tolerance;
  };
  const Case cases[] = {
      {1.0, 1, 1.153467, 1e-6},
      {0.3, 1, 0.0, 0.0},  // checked below through f(r) = y
      {1.25, 0, t.endRatio, 0.0},
      {t.distorted[49], 1, t.endRatio, 0.0},  // the last sample is inside: exact spline end
      {0.0, 1, 1.0, 0.0},
      {-3.0, 1, 1.0, 0.0},
      {kNaN, 1, 1.0, 0.0},
  };
  for (const Case& k : cases) {
    double scale = -1.0;
    EXPECT_EQ(InverseRadialScale(t, k.y, &scale), k.result) << k.y;
    if (k.y == 0.3) {
      EXPECT_NEAR(Classic(-0.1, 0, 0, k.y * scale), k.y, 1e-10);
    } else if (k.tolerance > 0.0) {
      EXPECT_NEAR(scale, k.scale, k.tolerance) << k.y;
    } else {
      EXPECT_EQ(scale, k.scale) << k.y;
    }
  }
}

TEST(BuildRadialTable, CutsAtTheFirstSampleThatDoesNotIncrease) {
  // A negative request walks the samples the wrong way: the first one already decreases.
  BuiltTable backwards(0.0, 0.0, 0.0, -1.0);
  EXPECT_EQ(backwards.table.count, 1);
  // f overflows to infinity at the fourth sample and stays there: three samples later the
  // table stops, and its end ratio belongs to the last kept (infinite) sample.
  BuiltTable overflowing(0.0, 0.0, 1e300, 1000.0);
  const RadialTable& t = overflowing.table;
  ASSERT_EQ(t.count, 4);
  EXPECT_TRUE(std::isinf(t.distorted[3]));
  EXPECT_EQ(t.endRatio, 0.0);
  double scale = 0.0;
  InverseRadialScale(t, 10.0, &scale);  // must stay inside the arrays
}

TEST(InverseRadialScale, NewtonStepPastTheLastRadiusGivesTheEndRatio) {
  // f(r) = r + 10 r^5 tabulated coarsely at r = 0 and 1: the chord guesses r = 0.5 for
  // y = 5.5, and the Newton step from there (0.5 + 4.6875 / 4.125) lands past r = 1.
  double distorted[] = {0.0, 11.0};
  double radii[] = {0.0, 1.0};
  double curvature[] = {0.0, 0.0};
  const RadialTable t{0.0, 0.0, 10.0, 1.0, 1.0, 1.0 / 11.0, 2, distorted, radii, curvature};
  double scale = 0.0;
  EXPECT_EQ(InverseRadialScale(t, 5.5, &scale), 0);
  EXPECT_EQ(scale, 1.0 / 11.0);
  EXPECT_EQ(InverseRadialScale(t, 11.5, &scale), 0);  // beyond the table before any step
  EXPECT_EQ(scale, 1.0 / 11.0);
}

TEST(InverseRadialScale, UnbuiltTableAnswersIdentity) {
  RadialTable t;
  ResetRadialTable(t);
  double scale = 0.0;
  EXPECT_EQ(InverseRadialScale(t, 0.5, &scale), 0);
  EXPECT_EQ(scale, 1.0);
}

TEST(RadialFactor, FormsAndRangeFlag) {
  RadialTable t;
  ResetRadialTable(t);
  t.k1 = 0.5;
  t.k2 = 0.25;
  t.k3 = 0.125;
  t.limitSquared = 4.0;
  struct Case {
    bool even;
    double k2, x;
    double factor;
    int32_t inRange;
  };
  // Factors worked in binary-exact steps: 1 + 0.5 x + k2 x sqrt(x) + 0.125 x^2, and the
  // even form without the k2 term.
  const Case cases[] = {
      {false, 0.25, 0.0, 1.0, 1},
      {false, 0.25, 1.0, 1.875, 1},
      {false, 0.25, 4.0, 7.0, 1},  // exactly at the limit: in range
      {false, 0.25, 9.0, 22.375, 0},
      {false, 0.0, -2.0, 0.5, 1},  // no k2: no square root, negative x is fine
      {true, 0.25, 4.0, 5.0, 1},
      {true, 0.25, 8.0, 13.0, 0},
      {true, 0.25, -2.0, 0.5, 1},
  };
  for (const Case& k : cases) {
    t.k2 = k.k2;
    int32_t inRange = -1;
    const double factor = k.even ? EvenRadialFactor(t, k.x, &inRange) : RadialFactor(t, k.x, &inRange);
    EXPECT_EQ(factor, k.factor) << k.even << " " << k.x;
    EXPECT_EQ(inRange, k.inRange) << k.even << " " << k.x;
    EXPECT_EQ(k.even ? EvenRadialFactor(t, k.x, nullptr) : RadialFactor(t, k.x, nullptr), k.factor);
  }
  t.k2 = 0.25;
  int32_t inRange = -1;
  EXPECT_TRUE(std::isnan(RadialFactor(t, -1.0, &inRange)));  // square root of a negative
  RadialFactor(t, kNaN, &inRange);
  EXPECT_EQ(inRange, 1);
}

TEST(BuildRadialTable, AllocationFailureLeavesAReleasableTable) {
  // The table's three arrays are allocations 1 to 3, the spline's scratch is the fourth.
  for (int32_t failing = 1; failing <= 4; ++failing) {
    const int64_t before = LiveArrayAllocations();
    RadialTable t;
    ResetRadialTable(t);
    FailArrayAllocation(failing);
    EXPECT_THROW(BuildRadialTable(t, -0.1, 0.0, 0.0, 1.5), std::bad_alloc) << failing;
    FailArrayAllocation(0);
    ReleaseRadialTable(t);
    EXPECT_EQ(LiveArrayAllocations(), before) << failing;
  }
  // And with nothing failing, the same build leaves no scratch behind.
  const int64_t before = LiveArrayAllocations();
  {
    BuiltTable built(-0.1, 0.0, 0.0, 1.5);
    EXPECT_EQ(LiveArrayAllocations(), before + 3);
  }
  EXPECT_EQ(LiveArrayAllocations(), before);
}
