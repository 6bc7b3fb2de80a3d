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

}  // namespace

TEST(NaturalSpline, ValuesWorkedByHand) {
  // Through (0,0), (1,1), (2,0): 4 M1 = -12, so M1 = -3. Adding (3,1): 4 M1 + M2 = -12 and
  // M1 + 4 M2 = 12 give M1 = -4, M2 = 4.
  const double x[] = {0, 1, 2, 3};
  const double y[] = {0, 1, 0, 1};
  double m[4] = {9, 9, 9, 9};
  FitNaturalSpline(x, y, 3, m);
  EXPECT_EQ(m[0], 0.0);
  EXPECT_EQ(m[1], -3.0);
  EXPECT_EQ(m[2], 0.0);
  EXPECT_EQ(m[3], 9.0);
  double inPlace[] = {0, 1, 0, 1};  // the result may overwrite the ordinates
  FitNaturalSpline(x, inPlace, 4, inPlace);
  EXPECT_EQ(inPlace[1], -4.0);
  EXPECT_EQ(inPlace[2], 4.0);
  EXPECT_EQ(inPlace[3], 0.0);
  double two[2] = {9, 9};
  FitNaturalSpline(x, y, 2, two);
  EXPECT_EQ(two[0] + two[1], 0.0);

  struct Case {
    int32_t n;
    double t, value;
  };
  const Case cases[] = {
      {3, 0.5, 0.6875},  // t + (-3 / 6)(t^3 - t) on [0, 1]
      {3, 1.5, 0.6875},
      {3, 1.0, 1.0},     // a knot gives its ordinate
      {3, -1.0, 0.0},    // outside: the end values, never an extrapolation
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
  for (int32_t i = 0; i < 50; ++i) {
    EXPECT_EQ(t.radii[i], i * (2.1 / 49.0));
    EXPECT_EQ(t.distorted[i], t.radii[i]);
  }
  EXPECT_EQ(t.endRatio, 1.0);
  for (double y : {0.01, 0.5, 1.7, 2.0}) {
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
  ASSERT_EQ(t.count, 50);
  EXPECT_NEAR(t.distorted[49], 1.217161, 1e-6);
  EXPECT_NEAR(t.endRatio, 1.5, 1e-15);

  struct Case {
    double y;
    int32_t result;
    double scale, tolerance;
  };
  const Case cases[] = {
      {1.0, 1, 1.153467, 1e-6},
      {1.25, 0, t.endRatio, 0.0},
      {t.distorted[49], 1, t.endRatio, 0.0},  // the last sample is inside: the spline's end
      {0.0, 1, 1.0, 0.0},
      {-3.0, 1, 1.0, 0.0},
      {kNaN, 1, 1.0, 0.0},
  };
  for (const Case& k : cases) {
    double scale = -1.0;
    EXPECT_EQ(InverseRadialScale(t, k.y, &scale), k.result) << k.y;
    EXPECT_NEAR(scale, k.scale, k.tolerance) << k.y;
  }
  for (double y : {0.05, 0.3, 0.9, 1.2}) {  // polished to the tolerance on f(r) = y
    double scale = 0.0;
    InverseRadialScale(t, y, &scale);
    const double r = y * scale;
    EXPECT_NEAR(r * (1.0 - 0.1 * r * r), y, 1e-10) << y;
  }
}

TEST(BuildRadialTable, CutsAtTheFirstSampleThatDoesNotIncrease) {
  // A negative request walks the samples backwards: the first one already decreases.
  BuiltTable backwards(0.0, 0.0, 0.0, -1.0);
  EXPECT_EQ(backwards.table.count, 1);
  // f overflows at the fourth sample and stays infinite: the fifth does not increase, and
  // the end ratio belongs to the fourth.
  BuiltTable overflowing(0.0, 0.0, 1e300, 1000.0);
  const RadialTable& t = overflowing.table;
  ASSERT_EQ(t.count, 4);
  EXPECT_TRUE(std::isinf(t.distorted[3]));
  EXPECT_EQ(t.endRatio, 0.0);
  double scale = 0.0;
  InverseRadialScale(t, 10.0, &scale);  // must stay inside the arrays
}

TEST(InverseRadialScale, NewtonStepPastTheLastRadiusGivesTheEndRatio) {
  // f(r) = r + 10 r^5 tabulated at r = 0 and 1 only: the chord guesses r = 0.5 for y = 5.5,
  // and the Newton step from there (0.5 + 4.6875 / 4.125) lands past r = 1.
  double distorted[] = {0.0, 11.0};
  double radii[] = {0.0, 1.0};
  double curvature[] = {0.0, 0.0};
  const RadialTable t{0.0, 0.0, 10.0, 1.0, 1.0, 1.0 / 11.0, 2, distorted, radii, curvature};
  double scale = 0.0;
  EXPECT_EQ(InverseRadialScale(t, 5.5, &scale), 0);
  EXPECT_EQ(scale, 1.0 / 11.0);

  RadialTable unbuilt;  // nothing tabulated: no lookup, the identity ratio
  ResetRadialTable(unbuilt);
  EXPECT_EQ(InverseRadialScale(unbuilt, 0.5, &scale), 0);
  EXPECT_EQ(scale, 1.0);
}

TEST(RadialFactor, FormsAndRangeFlag) {
  RadialTable t;
  ResetRadialTable(t);
  t.k1 = 0.5;
  t.k3 = 0.125;
  t.limitSquared = 4.0;
  struct Case {
    bool even;
    double k2, x;
    double factor;
    int32_t inRange;
  };
  // Worked in binary-exact steps: 1 + 0.5 x + k2 x sqrt(x) + 0.125 x^2; the even form
  // leaves out the k2 term.
  const Case cases[] = {
      {false, 0.25, 1.0, 1.875, 1},
      {false, 0.25, 4.0, 7.0, 1},  // exactly at the limit: in range
      {false, 0.25, 9.0, 22.375, 0},
      {false, 0.0, -2.0, 0.5, 1},  // no k2: no square root, so negative x is fine
      {false, 0.25, kNaN, kNaN, 1},
      {false, 0.25, -1.0, kNaN, 1},
      {true, 0.25, 8.0, 13.0, 0},
      {true, 0.25, -2.0, 0.5, 1},
  };
  for (const Case& k : cases) {
    t.k2 = k.k2;
    int32_t inRange = -1;
    const double factor = k.even ? EvenRadialFactor(t, k.x, &inRange) : RadialFactor(t, k.x, &inRange);
    if (std::isnan(k.factor)) {
      EXPECT_TRUE(std::isnan(factor)) << k.x;
    } else {
      EXPECT_EQ(factor, k.factor) << k.even << " " << k.x;
    }
    EXPECT_EQ(inRange, k.inRange) << k.even << " " << k.x;
  }
}

TEST(BuildRadialTable, AllocationFailureLeavesAReleasableTable) {
  // The table's three arrays are allocations 1 to 3, the spline's scratch is the fourth.
  for (int32_t failing = 0; failing <= 4; ++failing) {
    const int64_t before = LiveArrayAllocations();
    RadialTable t;
    ResetRadialTable(t);
    FailArrayAllocation(failing);
    if (failing) {
      EXPECT_THROW(BuildRadialTable(t, -0.1, 0.0, 0.0, 1.5), std::bad_alloc) << failing;
    } else {
      BuildRadialTable(t, -0.1, 0.0, 0.0, 1.5);
      EXPECT_EQ(LiveArrayAllocations(), before + 3);  // no scratch left behind
    }
    FailArrayAllocation(0);
    ReleaseRadialTable(t);
    EXPECT_EQ(LiveArrayAllocations(), before) << failing;
  }
}
