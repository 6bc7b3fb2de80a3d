#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "Numerics/SplineTables.h"
#include "support/GoldenValues.h"

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();

const double kGolden[] = {
#include "SplineTablesGolden.inc"
};

// A table built on construction and released on destruction.
struct BuiltTable {
  RadialTable table;
  BuiltTable(double k1, double k2, double k3, double requested) {
    ResetRadialTable(table);
    BuildRadialTable(table, k1, k2, k3, requested);
  }
  ~BuiltTable() { ReleaseRadialTable(table); }
};

TEST(NaturalSpline, ValuesWorkedByHand) {
  // Through (0,0), (1,1), (2,0): 4 M1 = -12, so M1 = -3; t + (-3 / 6)(t^3 - t) at 0.5.
  const double x[] = {0, 1, 2, 3};
  const double y[] = {0, 1, 0, 1};
  double m[4] = {9, 9, 9, 9};
  FitNaturalSpline(x, y, 3, m);
  EXPECT_EQ(m[1], -3.0);
  EXPECT_EQ(m[3], 9.0);  // beyond n: untouched
  const struct {
    int32_t n;
    double t, value;
  } cases[] = {{3, 0.5, 0.6875}, {3, 1.5, 0.6875}, {3, 1.0, 1.0}, {3, -1.0, 0.0},
               {3, 7.0, 0.0},    {2, 1.5, 1.0},    {1, 0.5, 0.0}, {0, 0.5, 0.0}};
  for (const auto& k : cases) EXPECT_EQ(EvalSpline(x, y, m, k.n, k.t), k.value) << k.t;
  EXPECT_TRUE(std::isnan(EvalSpline(x, y, m, 3, kNaN)));
}

TEST(BuildRadialTable, EdgesOfTheTable) {
  BuiltTable identity(0.0, 0.0, 0.0, 2.0);
  EXPECT_EQ(identity.table.range, 2.1);
  EXPECT_EQ(identity.table.count, 50);
  double scale = 0.0;
  EXPECT_EQ(InverseRadialScale(identity.table, 2.2, &scale), 0);  // past the table
  EXPECT_EQ(scale, 1.0);
  ReleaseRadialTable(identity.table);  // released again on destruction: a double free shows
  // A negative request walks the samples backwards: the first one already decreases.
  EXPECT_EQ(BuiltTable(0.0, 0.0, 0.0, -1.0).table.count, 1);
  // f overflows at the fourth sample: the fifth does not increase.
  BuiltTable overflowing(0.0, 0.0, 1e300, 1000.0);
  EXPECT_EQ(overflowing.table.count, 4);
  InverseRadialScale(overflowing.table, 10.0, &scale);  // must stay inside the arrays
  RadialTable unbuilt;  // nothing tabulated: the identity, with nothing in range
  ResetRadialTable(unbuilt);
  EXPECT_EQ(InverseRadialScale(unbuilt, 0.5, &scale), 0);
  EXPECT_EQ(scale, 1.0);
  int32_t inRange = -1;
  EXPECT_EQ(RadialFactor(unbuilt, 0.005, &inRange), 1.0);
  EXPECT_EQ(inRange, 0);
}

// A spline through unevenly spaced knots, tables of several classic lenses with their
// inverse looked up inside, at and past the end, and the radial factors in and out of range.
TEST(SplineTablesGolden, MatchesTheGoldenValues) {
  GoldenValues golden;
  const double x[] = {0.0, 0.5, 1.7, 2.0, 3.1, 3.3};
  const double y[] = {0.0, 0.4, 1.1, 0.9, 1.6, 1.5};
  double m[6];
  FitNaturalSpline(x, y, 6, m);
  for (double v : m) golden.Add("spline curvature", v);
  for (double t : {0.2, 1.0, 1.9, 2.7, 3.2}) golden.Add("spline at", EvalSpline(x, y, m, 6, t));
  const double lenses[][4] = {{-0.1, 0.0, 0.0, 1.5},
                              {0.05, -0.02, 0.004, 1.3},
                              {-0.2, 0.08, 0.0, 2.0},
                              {0.3, 0.0, -0.05, 1.8}};
  for (const auto& k : lenses) {
    BuiltTable built(k[0], k[1], k[2], k[3]);
    const RadialTable& t = built.table;
    const std::string what = "table " + std::to_string(k[0]) + " " + std::to_string(k[1]);
    golden.Add(what + " range", t.range);
    golden.Add(what + " limit", t.limitSquared);
    golden.Add(what + " end", t.endRatio);
    golden.Add(what + " count", t.count);
    for (int32_t i = 3; i < t.count; i += 23) {
      golden.Add(what + " sample", t.distorted[i]);
      golden.Add(what + " curvature", t.curvature[i]);
    }
    for (double target : {-0.5, 0.05, 0.6, 1.1, t.distorted[t.count - 1], 1.6, kNaN}) {
      double scale = -1.0;
      golden.Add(what + " inverse", InverseRadialScale(t, target, &scale));
      golden.Add(what + " scale", scale);
    }
    for (double r2 : {-1.0, 0.7, t.limitSquared, 9.0}) {
      int32_t inRange = -1;
      golden.Add(what + " factor", RadialFactor(t, r2, &inRange));
      golden.Add(what + " in range", inRange);
      golden.Add(what + " even factor", EvenRadialFactor(t, r2, &inRange));
      golden.Add(what + " even in range", inRange);
    }
  }
  golden.Expect(kGolden, sizeof kGolden / sizeof kGolden[0]);
}

}  // namespace
