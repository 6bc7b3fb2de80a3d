#include <gtest/gtest.h>

#include <cmath>

#include "LensTestSupport.h"

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

TEST(ClassicModel, ExactForwardMapAndRoundTripsOverTheImage) {
  const ClassicInputs cases[] = {
      {-0.05, 0.01, 0.002, 0.95, 1.02, 0.01, -0.02},  // realistic barrel
      {0.06, -0.01, 0.003, 1.0, 1.0, 0.0, 0.0},       // pincushion
      {-0.12, 0.0, 0.01, 1.1, 0.97, -0.03, 0.0},
      {0.1, 0.0, 0.01, -0.5, 1.0, 0.0, 0.02},  // negative eccentricity: both tables serve
      {-0.04, 0.0, 0.005, -0.3, 1.05, 0.0, 0.0},
  };
  for (const ClassicInputs& in : cases) {
    LensModel model;
    SetParameters(model, ClassicParams(in), kWide);
    EXPECT_EQ(model.params.invVScale, 1.0 / in.vScale);
    for (const Point2& pt : ImageGrid(12, 1.0)) {
      const Point2 distorted = Distort(model, pt, 1.0, nullptr);
      const Point2 plain = PlainDistort(in, kWide, pt);
      EXPECT_POINT_BITS(distorted, plain.x, plain.y);
    }
    for (bool distortFirst : {true, false}) {
      int invalid = -1;
      EXPECT_LT(RoundTripError(model, distortFirst, invalid), 1e-9) << in.k << " " << in.e;
      EXPECT_EQ(invalid, 0) << in.k << " " << in.e;
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

TEST(ClassicModel, NegativeEccentricityIgnoresTheCubicTerm) {
  LensModel without;
  LensModel with;
  SetParameters(without, ClassicParams({0.1, 0.0, 0.0, -0.5, 1, 0, 0}), kWide);
  SetParameters(with, ClassicParams({0.1, 0.25, 0.0, -0.5, 1, 0, 0}), kWide);
  ASSERT_EQ(with.negativeBranch, 1);
  EXPECT_EQ(with.radialTable.k2, 0.0);
  EXPECT_EQ(with.negativeRadialTable.k1, -0.1);
  for (const Point2& pt : ImageGrid(10, 1.2)) {
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

TEST(ClassicModel, ExactPoints) {
  struct Case {
    const char* what;
    ClassicInputs in;
    bool undistort;
    Point2 from, to;
  };
  const Case cases[] = {
      // No coefficient: no second table; a negative squared radius (0.01 - 0.125) keeps
      // its radius and only the vertical scale acts.
      {"vScale alone", {0, 0, 0, -0.5, 2.0, 0, 0}, true, {0.1, 0.5}, {0.1, 1.0}},
      // A zero eccentricity leaves no radius on the vertical axis, in either direction.
      {"e = 0 forward", {0.05, 0, 0, 0.0, 2.0, 0, 0}, false, {0.0, 1.0}, {0.0, 0.5}},
      {"e = 0 back", {0.05, 0, 0, 0.0, 2.0, 0, 0}, true, {0.0, 0.5}, {0.0, 1.0}},
      {"centre", {-0.1, 0, 0, 1.0, 1.0, 0, 0}, true, {0.0, 0.0}, {0.0, 0.0}},
  };
  for (const Case& c : cases) {
    LensModel model;
    SetParameters(model, ClassicParams(c.in), 1.0);
    EXPECT_EQ(model.isIdentity, 0) << c.what;
    int32_t valid = -1;
    const Point2 out = c.undistort ? Undistort(model, c.from, 1.0, &valid)
                                   : Distort(model, c.from, 1.0, &valid);
    EXPECT_POINT_BITS(out, c.to.x, c.to.y);
    EXPECT_EQ(valid, 1) << c.what;
  }

  // Far beyond the table (radius 5 against about 1.217) the end ratio scales the point,
  // which still counts as valid.
  LensModel model;
  SetParameters(model, ClassicParams({-0.1, 0, 0, 1, 1, 0, 0}), 1.0);
  int32_t valid = -1;
  const Point2 out = Undistort(model, {5.0, 0.0}, 1.0, &valid);
  EXPECT_POINT_BITS(out, 5.0 * model.radialTable.endRatio, 0.0);
  EXPECT_EQ(valid, 1);
}
