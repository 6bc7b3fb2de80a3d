#include <gtest/gtest.h>

#include <cmath>
#include <new>
#include <vector>

#include "LensTestSupport.h"
#include "support/FailingArrayNew.h"

namespace {

struct ClassicInputs {
  double k, c, q, e, vScale, hCenter, vCenter;
};

LensParams ClassicParams(const ClassicInputs& in) {
  LensParams p = NeutralParams(kModelClassic);
  p.quadratic = in.k;
  p.cubic = in.c;
  p.quartic = in.q;
  p.eccentricity = in.e;
  p.vScale = in.vScale;
  p.hCenter = in.hCenter;
  p.vCenter = in.vCenter;
  return p;
}

// The general forward map written out: the factor in the same evaluation order the tables
// use, so the result can be compared bit for bit.
Point2 PlainDistort(const ClassicInputs& in, double aspect, Point2 pt) {
  const double y = pt.y * (1.0 / in.vScale);
  const double ax = aspect * pt.x;
  const double r2 = ax * ax + in.e * (y * y);
  const double g = in.c == 0.0 ? (in.k + r2 * in.q) * r2 + 1.0
                               : (std::sqrt(r2) * in.c + r2 * in.q + in.k) * r2 + 1.0;
  return {pt.x * g + in.hCenter, y * g + in.vCenter};
}

std::vector<Point2> Grid(double extent, int steps) {
  std::vector<Point2> grid;
  for (int j = 0; j <= steps; ++j) {
    for (int i = 0; i <= steps; ++i) {
      grid.push_back({-extent + 2.0 * extent * i / steps, -extent + 2.0 * extent * j / steps});
    }
  }
  return grid;
}

const double kWide = 16.0 / 9.0;

}  // namespace

TEST(ClassicModel, QuadraticOnlyFoldsBelowTwoThirds) {
  LensModel model;
  SetParameters(model, ClassicParams({-0.1, 0, 0, 1, 1, 0, 0}), 1.0);
  ASSERT_EQ(model.simpleForm, 1);
  struct Case {
    double y, g;
    int32_t valid;
  };
  // g = 1 - 0.1 y^2: 0.639 at 1.9 is past the fold, 0.676 at 1.8 is not.
  for (const Case& c : {Case{1.9, 0.639, 0}, Case{1.8, 0.676, 1}}) {
    int32_t valid = -1;
    const Point2 out = Distort(model, {0.0, c.y}, 1.0, &valid);
    EXPECT_EQ(valid, c.valid) << c.y;
    EXPECT_NEAR(out.y / c.y, c.g, 1e-15) << c.y;
    EXPECT_POINT_BITS(out, 0.0, c.y * (1.0 + -0.1 * (c.y * c.y)));
  }
  // Aspect scales x inside the radius, not outside it; the centre offsets come last.
  SetParameters(model, ClassicParams({-0.1, 0, 0, 1, 1, 0.125, -0.25}), kWide);
  int32_t valid = -1;
  const Point2 out = Distort(model, {0.5, -0.25}, 1.0, &valid);
  const double g = 1.0 + -0.1 * ((kWide * 0.5) * (kWide * 0.5) + (-0.25 * -0.25));
  EXPECT_POINT_BITS(out, 0.5 * g + 0.125, -0.25 * g + -0.25);
  EXPECT_EQ(valid, 1);
}

TEST(ClassicModel, GeneralForwardMapBitForBit) {
  const ClassicInputs cases[] = {
      {-0.05, 0.01, 0.002, 0.95, 1.02, 0.01, -0.02},
      {0.08, -0.02, 0.0, 1.0, 1.0, 0.0, 0.0},
      {-0.12, 0.0, 0.01, 1.1, 0.97, -0.03, 0.0},
      {0.1, 0.0, 0.02, -0.5, 1.0, 0.0, 0.0},  // negative eccentricity, both sides of r2 = 0
  };
  for (const ClassicInputs& in : cases) {
    LensModel model;
    SetParameters(model, ClassicParams(in), kWide);
    EXPECT_EQ(model.params.invVScale, 1.0 / in.vScale);
    for (const Point2& pt : Grid(1.0, 8)) {
      const ClassicInputs used = in.e < 0.0 ? ClassicInputs{in.k, 0.0, in.q, in.e, in.vScale,
                                                            in.hCenter, in.vCenter}
                                            : in;
      const Point2 out = Distort(model, pt, 1.0, nullptr);
      EXPECT_POINT_BITS(out, PlainDistort(used, kWide, pt).x, PlainDistort(used, kWide, pt).y);
    }
  }
}

TEST(ClassicModel, ForwardValidityEndsAtTheMonotonicRange) {
  // With k = -0.1 alone the map turns at r^2 = 1 / 0.3; an eccentricity of 0.5 keeps the
  // general form, so the table's limit decides.
  LensModel model;
  SetParameters(model, ClassicParams({-0.1, 0, 0, 0.5, 1, 0, 0}), 1.0);
  ASSERT_EQ(model.simpleForm, 0);
  struct Case {
    double x;
    int32_t valid;
  };
  for (const Case& c : {Case{1.8, 1}, Case{1.83, 0}, Case{3.0, 0}, Case{-1.8, 1}}) {
    int32_t valid = -1;
    const Point2 out = Distort(model, {c.x, 0.0}, 1.0, &valid);
    EXPECT_EQ(valid, c.valid) << c.x;
    EXPECT_TRUE(std::isfinite(out.x));  // returned even when invalid
  }
}

TEST(ClassicModel, RoundTripsOverTheImage) {
  const ClassicInputs cases[] = {
      {-0.05, 0.01, 0.002, 0.95, 1.02, 0.01, -0.02},  // realistic barrel
      {0.06, -0.01, 0.003, 1.0, 1.0, 0.0, 0.0},       // pincushion
      {-0.08, 0.0, 0.0, 1.0, 1.0, 0.0, 0.0},          // quadratic only
      {0.1, 0.3, 0.01, -0.5, 1.0, 0.0, 0.02},         // negative branch
      {-0.04, 0.0, 0.005, -0.3, 1.05, 0.0, 0.0},
  };
  for (const ClassicInputs& in : cases) {
    LensModel model;
    SetParameters(model, ClassicParams(in), kWide);
    for (const Point2& pt : Grid(1.0, 12)) {
      int32_t valid = -1;
      const Point2 distorted = Distort(model, pt, 1.0, &valid);
      ASSERT_EQ(valid, 1) << pt.x << " " << pt.y;
      const Point2 back = Undistort(model, distorted, 1.0, &valid);
      EXPECT_EQ(valid, 1);
      EXPECT_NEAR(back.x, pt.x, 1e-9) << in.k << " at " << pt.x << " " << pt.y;
      EXPECT_NEAR(back.y, pt.y, 1e-9) << in.k << " at " << pt.x << " " << pt.y;
    }
  }
}

TEST(ClassicModel, NegativeEccentricityIgnoresTheCubicTerm) {
  LensModel without;
  LensModel with;
  SetParameters(without, ClassicParams({0.1, 0.0, 0.0, -0.5, 1, 0, 0}), kWide);
  SetParameters(with, ClassicParams({0.1, 0.25, 0.0, -0.5, 1, 0, 0}), kWide);
  ASSERT_EQ(with.negativeBranch, 1);
  EXPECT_EQ(with.radialTable.k2, 0.0);
  EXPECT_EQ(with.negativeRadialTable.k1, -0.1);
  for (const Point2& pt : Grid(1.2, 10)) {
    int32_t validA = -1;
    int32_t validB = -2;
    const Point2 a = Distort(without, pt, 1.0, &validA);
    const Point2 b = Distort(with, pt, 1.0, &validB);
    EXPECT_POINT_BITS(b, a.x, a.y);
    EXPECT_EQ(validA, validB);
    const Point2 ua = Undistort(without, pt, 1.0, nullptr);
    const Point2 ub = Undistort(with, pt, 1.0, nullptr);
    EXPECT_POINT_BITS(ub, ua.x, ua.y);
  }
}

TEST(ClassicModel, VerticalScaleAloneIsNotTheIdentity) {
  // No coefficient: no second table, and a negative squared radius keeps its radius.
  LensModel model;
  SetParameters(model, ClassicParams({0, 0, 0, -0.5, 2.0, 0, 0}), 1.0);
  EXPECT_EQ(model.isIdentity, 0);
  EXPECT_EQ(model.negativeBranch, 0);
  int32_t valid = -1;
  const Point2 out = Undistort(model, {0.1, 0.5}, 1.0, &valid);  // r2 = 0.01 - 0.125
  EXPECT_POINT_BITS(out, 0.1, 1.0);
  EXPECT_EQ(valid, 1);
}

TEST(ClassicModel, ZeroEccentricityRoundTripsOnTheVerticalAxis) {
  LensModel model;
  SetParameters(model, ClassicParams({0.05, 0, 0, 0.0, 2.0, 0, 0}), 1.0);
  int32_t valid = -1;
  const Point2 distorted = Distort(model, {0.0, 1.0}, 1.0, &valid);
  EXPECT_POINT_BITS(distorted, 0.0, 0.5);
  EXPECT_EQ(valid, 1);
  const Point2 back = Undistort(model, distorted, 1.0, &valid);
  EXPECT_POINT_BITS(back, 0.0, 1.0);
}

TEST(ClassicModel, BeyondTheTableTheEndRatioScalesAndStaysValid) {
  LensModel model;
  SetParameters(model, ClassicParams({-0.1, 0, 0, 1, 1, 0, 0}), 1.0);
  ASSERT_EQ(model.radialTable.count, 50);
  int32_t valid = -1;
  const Point2 out = Undistort(model, {5.0, 0.0}, 1.0, &valid);
  EXPECT_EQ(valid, 1);
  EXPECT_POINT_BITS(out, 5.0 * model.radialTable.endRatio, 0.0 * model.radialTable.endRatio);
  // The centre maps to itself (squared radius 0: no lookup).
  const Point2 centre = Undistort(model, {0.0, 0.0}, 1.0, &valid);
  EXPECT_POINT_BITS(centre, 0.0, 0.0);
}

TEST(ClassicModel, RepeatedSetUpReleasesEarlierTables) {
  const int64_t before = LiveArrayAllocations();
  {
    LensModel model;
    struct Step {
      LensParams params;
      int64_t arrays;  // arrays the record owns afterwards
    };
    LensParams radial = NeutralParams(kModelRadial4);
    radial.coef[0] = -0.1;
    const Step steps[] = {
        {ClassicParams({0.1, 0, 0.01, -0.5, 1, 0, 0}), 6},  // two tables
        {ClassicParams({0.1, 0, 0.01, -0.5, 1, 0, 0}), 6},  // same again: rebuilt
        {ClassicParams({-0.05, 0.01, 0, 1, 1, 0, 0}), 3},   // one table
        {radial, 0},                                        // no tables
        {ClassicParams({0, 0, 0, 1, 1, 0, 0}), 3},          // identity still builds one
    };
    for (const Step& s : steps) {
      SetParameters(model, s.params, kWide);
      EXPECT_EQ(LiveArrayAllocations(), before + s.arrays) << s.params.kind;
    }
  }
  EXPECT_EQ(LiveArrayAllocations(), before);
}

TEST(ClassicModel, AllocationFailureLeavesTheRecordSafe) {
  // Two tables: three arrays and one spline scratch block each, eight allocations.
  const LensParams twoTables = ClassicParams({0.1, 0, 0.01, -0.5, 1, 0, 0});
  for (int32_t failing = 1; failing <= 8; ++failing) {
    const int64_t before = LiveArrayAllocations();
    {
      LensModel model;
      SetParameters(model, ClassicParams({-0.05, 0, 0, 1, 1, 0, 0}), kWide);
      FailArrayAllocation(failing);
      EXPECT_THROW(SetParameters(model, twoTables, kWide), std::bad_alloc) << failing;
      FailArrayAllocation(0);
      EXPECT_EQ(LiveArrayAllocations(), before) << failing;
      EXPECT_EQ(model.radialTable.distorted, nullptr);
      EXPECT_EQ(model.negativeRadialTable.curvature, nullptr);
      // The record can be set up again afterwards.
      SetParameters(model, twoTables, kWide);
      EXPECT_EQ(LiveArrayAllocations(), before + 6);
    }
    EXPECT_EQ(LiveArrayAllocations(), before) << failing;
  }
}
