#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "LensTestSupport.h"

namespace {

// Kind 2's polynomial written out term by term: slots C2, U2, V2, C4, U4, V4.
Point2 RefRadial4(const double* c, double u, double v, double& g) {
  const double r2 = u * u + v * v;
  g = (1.0 + c[0] * r2) + c[3] * (r2 * r2);
  const double a = r2 + 2.0 * (u * u);
  const double b = r2 + 2.0 * (v * v);
  const double t = (2.0 * u) * v;
  const double pu = ((g * u + c[1] * a) + c[2] * t) + r2 * (c[4] * a + c[5] * t);
  const double pv = ((g * v + c[2] * b) + c[1] * t) + r2 * (c[5] * b + c[4] * t);
  return {pu, pv};
}

// Kind 4's closed form written out: slots C2, C3, C4, ECC, VSCL, HCTR, VCTR.
Point2 RefSquashDistort(const double* c, double aspect, Point2 in) {
  const Frame f(aspect);
  const double u = in.x * f.toX;
  const double v = (in.y * f.toY) / c[4];
  const double r2 = u * u + c[3] * (v * v);
  double g = (1.0 + c[0] * r2) + c[2] * (r2 * r2);
  if (c[1] != 0.0 && r2 > 0.0) {
    g = g + (c[1] * r2) * std::sqrt(r2);
  }
  return {(g * u) * f.fromX + c[5], (g * v) * f.fromY + c[6]};
}

// Kind 2's Jacobian: each term of Pu and Pv differentiated in turn, with dr2 = (2u, 2v),
// dA = (6u, 2v), dB = (2u, 6v), dT = (2v, 2u) and dg = 2 (u, v) (C2 + 2 C4 r2).
RefMapJacobian RefRadial4Jacobian(const double* c, double u, double v) {
  double g;
  const Point2 p = RefRadial4(c, u, v, g);
  const double r2 = u * u + v * v;
  const double a = r2 + 2.0 * (u * u), b = r2 + 2.0 * (v * v), t = (2.0 * u) * v;
  const double inner = c[0] + (2.0 * c[3]) * r2;
  const double gu = (2.0 * u) * inner, gv = (2.0 * v) * inner;
  const double tailU = c[4] * a + c[5] * t, tailV = c[5] * b + c[4] * t;
  return {p.x,
          p.y,
          ((((g + u * gu) + c[1] * (6.0 * u)) + c[2] * (2.0 * v)) + (2.0 * u) * tailU) +
              r2 * (c[4] * (6.0 * u) + c[5] * (2.0 * v)),
          ((((u * gv) + c[1] * (2.0 * v)) + c[2] * (2.0 * u)) + (2.0 * v) * tailU) +
              r2 * (c[4] * (2.0 * v) + c[5] * (2.0 * u)),
          ((((v * gu) + c[2] * (2.0 * u)) + c[1] * (2.0 * v)) + (2.0 * u) * tailV) +
              r2 * (c[5] * (2.0 * u) + c[4] * (2.0 * v)),
          ((((g + v * gv) + c[2] * (6.0 * v)) + c[1] * (2.0 * u)) + (2.0 * v) * tailV) +
              r2 * (c[5] * (6.0 * v) + c[4] * (2.0 * u))};
}

// Kind 4's map (u, v) -> (g u, g v) and its Jacobian, with dg/du = 2 u (C2 + 2 C4 r2) +
// 3 C3 s u and dg/dv = 2 ECC v (C2 + 2 C4 r2) + 3 C3 s ECC v, s = sqrt(r2).
RefMapJacobian RefSquashJacobian(const double* c, double u, double v) {
  const double r2 = u * u + c[3] * (v * v);
  double g = (1.0 + c[0] * r2) + c[2] * (r2 * r2);
  const double inner = c[0] + (2.0 * c[2]) * r2;
  double gu = (2.0 * u) * inner;
  double gv = ((2.0 * c[3]) * v) * inner;
  if (c[1] != 0.0 && r2 > 0.0) {
    const double s = std::sqrt(r2);
    g = g + (c[1] * r2) * s;
    gu = gu + ((3.0 * c[1]) * s) * u;
    gv = gv + (((3.0 * c[1]) * s) * c[3]) * v;
  }
  return {g * u, g * v, g + u * gu, u * gv, v * gu, g + v * gv};
}

const double kRealistic4[] = {-0.08, 0.004, -0.003, 0.01, 0.001, -0.002, 0.01, -0.02};
const double kStrong4[] = {0.35, 0.05, -0.04, 0.15, 0.02, -0.03, 0.05, -0.03};
const double kBarrel4[] = {-0.25, 0.0, 0.0, 0.02, 0.0, 0.0, 0.0, 0.0};
// The standard kinds' polynomial undistorts, so a barrel lens has the opposite signs.
const double kStdBarrel4[] = {0.25, 0.0, 0.0, -0.02, 0.0, 0.0, 0.0, 0.0};

LensParams FromSlots(ModelKind kind, const double* slots, int count) {
  LensParams p = NeutralParams(kind);
  for (int i = 0; i < count; ++i) {
    p.coef[i] = slots[i];
  }
  return p;
}

TEST(RadialModels, Radial4ClosedFormBitForBit) {
  for (const double* c : {kRealistic4, kStrong4, kBarrel4}) {
    for (const double aspect : {16.0 / 9.0, 0.75}) {
      LensModel model;
      SetParameters(model, FromSlots(kModelRadial4, c, 8), aspect);
      const Frame f(aspect);
      for (const Point2& p : ImageGrid(6, 1.2)) {
        double g;
        const Point2 m = RefRadial4(c, p.x * f.toX, p.y * f.toY, g);
        const Point2 d = Distort(model, p, 1.0, nullptr);
        EXPECT_POINT_BITS(d, m.x * f.fromX + c[6], m.y * f.fromY + c[7]);
      }
    }
  }
}

TEST(RadialModels, Radial4MapsTheCornerByItsFactor) {
  // aspect 3/4 puts the corner (1, 1) at model-frame (0.6, -0.8), radius 1: only C2 acts,
  // so the corner moves out by 1 + C2 along its own direction.
  LensModel model;
  SetParameters(model, KindParams(kModelRadial4, {{0, 0.05}}), 0.75);
  const Point2 d = Distort(model, Point2{1.0, 1.0}, 1.0, nullptr);
  EXPECT_NEAR(d.x, 1.05, 1e-15);
  EXPECT_NEAR(d.y, 1.05, 1e-15);
  const Point2 t = Distort(model, Point2{-1.0, 0.0}, 1.0, nullptr);
  EXPECT_NEAR(t.x, -(1.0 + 0.05 * 0.36), 1e-15);
  EXPECT_EQ(t.y, 0.0);
}

TEST(RadialModels, StdRadial4ClosedFormEqualsRadial4) {
  for (const double* c : {kRealistic4, kStrong4}) {
    double slots[8];
    std::copy(c, c + 8, slots);
    const double hctr = slots[6], vctr = slots[7];
    slots[6] = slots[7] = 0.0;
    for (const double aspect : {16.0 / 9.0, 1.0}) {
      LensModel plain, centred, standard;
      SetParameters(plain, FromSlots(kModelRadial4, slots, 8), aspect);
      SetParameters(standard, FromSlots(kModelStdRadial4, slots, 8), aspect);
      // With centre offsets the standard kind subtracts them first.
      SetParameters(centred, FromSlots(kModelStdRadial4, c, 8), aspect);
      for (const Point2& p : ImageGrid(8, 1.0)) {
        int32_t validPlain = -1, validStd = -1, validCentred = -1;
        const Point2 a = Distort(plain, p, 1.0, &validPlain);
        const Point2 b = Undistort(standard, p, 1.0, &validStd);
        EXPECT_EQ(a.x, b.x);
        EXPECT_EQ(a.y, b.y);
        EXPECT_EQ(validPlain, validStd);
        const Point2 shifted = Distort(plain, Point2{p.x - hctr, p.y - vctr}, 1.0, &validPlain);
        const Point2 e = Undistort(centred, p, 1.0, &validCentred);
        EXPECT_EQ(shifted.x, e.x);
        EXPECT_EQ(shifted.y, e.y);
        EXPECT_EQ(validPlain, validCentred);
      }
    }
  }
}

// The Newton directions, bit for bit against the inversion written out with each kind's
// analytic Jacobian.
TEST(RadialModels, NewtonDirectionsBitForBit) {
  const double squash[] = {-0.05, 0.02, 0.005, 0.9, 1.02, 0.01, -0.02, 0.0};  // 7 unused
  const double aspect = 16.0 / 9.0;
  const Frame f(aspect);
  for (const double* c : {kRealistic4, kStrong4, squash}) {
    const bool isSquash = c == squash;
    LensModel plain, standard;
    SetParameters(plain, FromSlots(isSquash ? kModelRadialSquash : kModelRadial4, c, 8), aspect);
    if (!isSquash) SetParameters(standard, FromSlots(kModelStdRadial4, c, 8), aspect);
    const auto radial = [c](double u, double v) { return RefRadial4Jacobian(c, u, v); };
    const auto squashed = [c](double u, double v) { return RefSquashJacobian(c, u, v); };
    for (const Point2& p : ImageGrid(6, 1.0)) {
      double u, v;
      int32_t valid = -1;
      Point2 out = Undistort(plain, p, 1.0, &valid);
      if (isSquash) {
        const int32_t ref = RefNewton(squashed, (p.x - c[5]) * f.toX, (p.y - c[6]) * f.toY, u, v);
        EXPECT_POINT_BITS(out, u * f.fromX, (v * c[4]) * f.fromY);
        EXPECT_EQ(valid, ref);
        continue;
      }
      int32_t ref = RefNewton(radial, (p.x - c[6]) * f.toX, (p.y - c[7]) * f.toY, u, v);
      EXPECT_POINT_BITS(out, u * f.fromX, v * f.fromY);
      EXPECT_EQ(valid, ref);
      out = Distort(standard, p, 1.0, &valid);
      ref = RefNewton(radial, p.x * f.toX, p.y * f.toY, u, v);
      EXPECT_POINT_BITS(out, u * f.fromX + c[6], v * f.fromY + c[7]);
      EXPECT_EQ(valid, ref);
    }
  }
}

TEST(RadialModels, SquashClosedFormBitForBit) {
  const double sets[][7] = {
      {-0.05, 0.01, 0.005, 0.9, 1.02, 0.01, 0.0},
      {0.3, -0.1, 0.08, 1.3, 0.8, -0.02, 0.03},
      {0.1, 0.0, 0.0, 1.0, 1.0, 0.0, 0.0},
  };
  for (const auto& c : sets) {
    LensModel model;
    SetParameters(model, FromSlots(kModelRadialSquash, c, 7), 1.85);
    for (const Point2& p : ImageGrid(6, 1.1)) {
      const Point2 ref = RefSquashDistort(c, 1.85, p);
      EXPECT_POINT_BITS(Distort(model, p, 1.0, nullptr), ref.x, ref.y);
    }
  }
}

TEST(RadialModels, SquashCubicTermNeedsAPositiveSquaredRadius) {
  // A negative eccentricity makes r2 zero on the model-frame diagonals and negative
  // between them and the vertical axis; there the r^3 term must add nothing (and never a
  // square root of a negative number), so the result equals the model without it.
  const double withC3[] = {0.1, 0.5, 0.02, -1.0, 1.0, 0.0, 0.0};
  const double noC3[] = {0.1, 0.0, 0.02, -1.0, 1.0, 0.0, 0.0};
  LensModel a, b;
  SetParameters(a, FromSlots(kModelRadialSquash, withC3, 7), 1.0);
  SetParameters(b, FromSlots(kModelRadialSquash, noC3, 7), 1.0);
  // With aspect 1, (x, -x) has u = v exactly: r2 = u^2 - v^2 = 0.
  const Point2 zeroRadius[] = {{0.5, -0.5}, {-0.9, 0.9}, {0.0, 0.0}};
  const Point2 negativeRadius[] = {{0.1, 0.9}, {0.0, -0.6}, {-0.3, 0.8}};
  for (const auto* group : {zeroRadius, negativeRadius}) {
    for (int i = 0; i < 3; ++i) {
      int32_t validA = -1, validB = -1;
      const Point2 pa = Distort(a, group[i], 1.0, &validA);
      const Point2 pb = Distort(b, group[i], 1.0, &validB);
      EXPECT_POINT_BITS(pa, pb.x, pb.y);
      EXPECT_EQ(validA, validB);
      EXPECT_TRUE(std::isfinite(pa.x) && std::isfinite(pa.y));
    }
  }
  // Where r2 > 0 the term does act.
  const Point2 p{0.8, 0.1};
  EXPECT_NE(Distort(a, p, 1.0, nullptr).x, Distort(b, p, 1.0, nullptr).x);
}

struct RoundTripCase {
  const char* what;
  LensParams params;
  double aspect;
};

TEST(RadialModels, RoundTripsOverTheImage) {
  const double squashRealistic[] = {-0.05, 0.01, 0.005, 0.9, 1.02, 0.01, 0.0};
  const double squashStrong[] = {0.3, -0.1, 0.08, 1.3, 0.8, -0.02, 0.03};
  const RoundTripCase cases[] = {
      {"radial 4 realistic", FromSlots(kModelRadial4, kRealistic4, 8), 16.0 / 9.0},
      {"radial 4 strong", FromSlots(kModelRadial4, kStrong4, 8), 16.0 / 9.0},
      {"radial 4 barrel", FromSlots(kModelRadial4, kBarrel4, 8), 0.75},
      {"radial 4 U2 only", KindParams(kModelRadial4, {{1, 0.01}}), 1.5},
      {"std radial 4 realistic", FromSlots(kModelStdRadial4, kRealistic4, 8), 16.0 / 9.0},
      {"std radial 4 strong", FromSlots(kModelStdRadial4, kStrong4, 8), 2.39},
      {"std radial 4 barrel", FromSlots(kModelStdRadial4, kStdBarrel4, 8), 1.0},
      {"squash realistic", FromSlots(kModelRadialSquash, squashRealistic, 7), 16.0 / 9.0},
      {"squash strong", FromSlots(kModelRadialSquash, squashStrong, 7), 1.33},
  };
  for (const RoundTripCase& c : cases) {
    LensModel model;
    SetParameters(model, c.params, c.aspect);
    int invalid;
    EXPECT_LT(RoundTripError(model, true, invalid), 1e-9) << c.what;
    EXPECT_EQ(invalid, 0) << c.what;
  }
}

// Along the model-frame diagonal of aspect 3/4 the model-frame radius is |x|. With
// C2 = -1 the radial map r (1 - r^2) turns back at r = 1/sqrt(3) and its factor reaches 0
// at r = 1.
struct FoldCase {
  double x;
  int32_t valid;
};
const FoldCase kFoldCases[] = {
    {0.3, 1}, {0.55, 1}, {0.6, 0}, {0.7, 0}, {1.2, 0}, {-0.55, 1}, {-0.7, 0}, {-1.5, 0},
};

TEST(RadialModels, FoldsAndNonPositiveFactorsAreInvalid) {
  for (const ModelKind kind : {kModelRadial4, kModelStdRadial4, kModelRadialSquash}) {
    LensModel model;
    SetParameters(model, KindParams(kind, {{0, -1.0}}), 0.75);
    const Frame f(0.75);
    for (const FoldCase& c : kFoldCases) {
      const Point2 p{c.x, c.x};
      int32_t valid = -1;
      const Point2 out = kind == kModelStdRadial4 ? Undistort(model, p, 1.0, &valid)
                                                  : Distort(model, p, 1.0, &valid);
      EXPECT_EQ(valid, c.valid) << kind << " at " << c.x;
      // The point is returned all the same.
      const double zero[8] = {-1.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0};
      double g;
      const Point2 m = RefRadial4(zero, p.x * f.toX, p.y * f.toY, g);
      EXPECT_POINT_BITS(out, m.x * f.fromX + 0.0, m.y * f.fromY + 0.0);
    }
  }
}

TEST(RadialModels, InversionBeyondTheFoldIsInvalidButReturnsAPoint) {
  // r (1 - r^2) never exceeds 2 / (3 sqrt 3) ~ 0.385: a distorted radius of 0.5 has no
  // undistorted source.
  for (const ModelKind kind : {kModelRadial4, kModelStdRadial4, kModelRadialSquash}) {
    LensModel model;
    SetParameters(model, KindParams(kind, {{0, -1.0}}), 0.75);
    for (const double x : {0.5, -0.8, 1.0}) {
      int32_t valid = -1;
      const Point2 p{x, x};
      const Point2 out = kind == kModelStdRadial4 ? Distort(model, p, 1.0, &valid)
                                                  : Undistort(model, p, 1.0, &valid);
      EXPECT_EQ(valid, 0) << kind << " at " << x;
      EXPECT_TRUE(std::isfinite(out.x) && std::isfinite(out.y)) << kind << " at " << x;
    }
  }
}

}  // namespace
