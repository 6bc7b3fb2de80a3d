#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "LensTestSupport.h"

namespace {

// An anamorphic model as the user states it: polar coefficients a (x factor) and b
// (y factor), each in the order 02, 22, 04, 24, 44, 06, 26, 46, 66.
struct Anamorphic {
  double a[9];
  double b[9];
  double hctr, vctr, hscl, vscl, rot, squeeze;
};

LensParams ToParams(ModelKind kind, const Anamorphic& m) {
  LensParams p = NeutralParams(kind);
  const bool merged = kind == kModelAnamorphicMerged6 || kind == kModelStdAnamorphicMerged6;
  for (int i = 0; i < 9; ++i) {
    p.coef[i] = m.a[i];
    if (!merged) {
      p.coef[9 + i] = m.b[i];
    }
  }
  const int at = merged ? 9 : 18;
  p.coef[at] = m.hctr;
  p.coef[at + 1] = m.vctr;
  p.coef[at + 2] = m.hscl;
  p.coef[at + 3] = m.vscl;
  p.coef[at + 4] = m.rot;
  p.squeeze = m.squeeze;
  return p;
}

// The factor in polar form, straight from its definition.
double PolarFactor(const double* a, double u, double v) {
  const double r2 = u * u + v * v;
  const double t = std::atan2(v, u);
  const double r4 = r2 * r2, r6 = r4 * r2;
  return 1.0 + a[0] * r2 + a[1] * r2 * std::cos(2 * t) + a[2] * r4 + a[3] * r4 * std::cos(2 * t) +
         a[4] * r4 * std::cos(4 * t) + a[5] * r6 + a[6] * r6 * std::cos(2 * t) +
         a[7] * r6 * std::cos(4 * t) + a[8] * r6 * std::cos(6 * t);
}

// The monomial coefficients, written out one by one.
void Expand(const double* a, double* k) {
  k[0] = a[0] + a[1];
  k[1] = a[0] - a[1];
  k[2] = (a[2] + a[3]) + a[4];
  k[3] = 2.0 * a[2] - 6.0 * a[4];
  k[4] = (a[2] - a[3]) + a[4];
  k[5] = ((a[5] + a[6]) + a[7]) + a[8];
  k[6] = ((3.0 * a[5] + a[6]) - 5.0 * a[7]) - 15.0 * a[8];
  k[7] = ((3.0 * a[5] - a[6]) - 5.0 * a[7]) + 15.0 * a[8];
  k[8] = ((a[5] - a[6]) + a[7]) - a[8];
}

// The factor from the monomial coefficients: 1 plus their sum, accumulated in slot order.
double MonomialFactor(const double* a, double u, double v) {
  double k[9];
  Expand(a, k);
  const double u2 = u * u, v2 = v * v, u4 = u2 * u2, v4 = v2 * v2;
  const double m[9] = {u2, v2, u4, u2 * v2, v4, u4 * u2, u4 * v2, u2 * v4, v4 * v2};
  double sum = k[0] * m[0];
  for (int i = 1; i < 9; ++i) {
    sum = sum + k[i] * m[i];
  }
  return 1.0 + sum;
}

// dF/du and dF/dv of a factor, each monomial differentiated in turn, in slot order.
void MonomialSlopes(const double* a, double u, double v, double& du, double& dv) {
  double k[9];
  Expand(a, k);
  const double u2 = u * u, v2 = v * v, u3 = u2 * u, v3 = v2 * v, u4 = u2 * u2, v4 = v2 * v2;
  du = k[0] * (2.0 * u) + k[2] * (4.0 * u3) + k[3] * ((2.0 * u) * v2) + k[5] * (6.0 * (u4 * u)) +
       k[6] * ((4.0 * u3) * v2) + k[7] * ((2.0 * u) * v4);
  dv = k[1] * (2.0 * v) + k[3] * ((2.0 * u2) * v) + k[4] * (4.0 * v3) + k[6] * ((2.0 * u4) * v) +
       k[7] * ((4.0 * u2) * v3) + k[8] * (6.0 * (v4 * v));
}

// P(u, v) = (u Fx, v Fy) and its Jacobian: J11 = Fx + u dFx/du, J12 = u dFx/dv,
// J21 = v dFy/du, J22 = Fy + v dFy/dv.
RefMapJacobian RefAnamorphicJacobian(const Anamorphic& m, double u, double v) {
  const double fx = MonomialFactor(m.a, u, v), fy = MonomialFactor(m.b, u, v);
  double fxu, fxv, fyu, fyv;
  MonomialSlopes(m.a, u, v, fxu, fxv);
  MonomialSlopes(m.b, u, v, fyu, fyv);
  return {u * fx, v * fy, fx + u * fxu, u * fxv, v * fyu, fy + v * fyv};
}

// Kind 3's distort (undistorted to distorted) written out step by step.
Point2 RefPlainDistort(const Anamorphic& m, double aspect, Point2 in) {
  const Frame f(aspect);
  const double c = std::cos(m.rot), s = std::sin(m.rot);
  const double X = in.x * f.toX, Y = in.y * f.toY;
  const double p = c * X + s * Y, q = c * Y - s * X;
  const double u = p / (m.squeeze * m.hscl), v = q / m.vscl;
  const double xd = u * MonomialFactor(m.a, u, v), yd = v * MonomialFactor(m.b, u, v);
  const double p2 = c * xd - s * yd, q2 = s * xd + c * yd;
  return {((p2 * m.squeeze) * f.fromX) + m.hctr, (q2 * f.fromY) + m.vctr};
}

// Kind 7's undistort (distorted to undistorted) written out step by step.
Point2 RefStdUndistort(const Anamorphic& m, double aspect, Point2 in) {
  const Frame f(aspect);
  const double c = std::cos(m.rot), s = std::sin(m.rot);
  const double X = ((in.x - m.hctr) * f.toX) / m.squeeze, Y = (in.y - m.vctr) * f.toY;
  const double p = c * X + s * Y, q = c * Y - s * X;
  const double xu = p * MonomialFactor(m.a, p, q), yu = q * MonomialFactor(m.b, p, q);
  const double x2 = (xu * m.squeeze) * m.hscl, y2 = yu * m.vscl;
  const double p2 = c * x2 - s * y2, q2 = s * x2 + c * y2;
  return {p2 * f.fromX, q2 * f.fromY};
}

// A squeeze-2 lens with a slight tilt, unequal x and y factors and an offset centre.
const Anamorphic kRealistic = {
    {-0.06, 0.012, 0.008, -0.002, 0.001, -0.0015, 0.0004, 0.0002, -0.0001},
    {-0.05, -0.01, 0.006, 0.003, -0.0015, 0.001, -0.0003, 0.0001, 0.00005},
    0.012,
    -0.008,
    1.01,
    0.985,
    0.0349,
    2.0};
// Strong and uneven, still free of folds over the image.
const Anamorphic kStrong = {{0.25, 0.08, 0.06, -0.03, 0.02, 0.01, -0.005, 0.004, 0.002},
                            {-0.2, 0.06, 0.04, 0.02, -0.015, 0.008, 0.003, -0.002, 0.001},
                            -0.03,
                            0.02,
                            0.92,
                            1.07,
                            -0.21,
                            1.33};

TEST(AnamorphicModels, MonomialFormIsThePolarFactor) {
  LensModel model;
  SetParameters(model, ToParams(kModelAnamorphic6, kStrong), 1.5);
  double kx[9], ky[9];
  Expand(kStrong.a, kx);
  Expand(kStrong.b, ky);
  for (int i = 0; i < 9; ++i) {
    EXPECT_TRUE(SameBits(model.polyX[i], kx[i])) << i;
    EXPECT_TRUE(SameBits(model.polyY[i], ky[i])) << i;
  }
  EXPECT_TRUE(SameBits(model.cosRot, std::cos(kStrong.rot)));
  EXPECT_TRUE(SameBits(model.sinRot, std::sin(kStrong.rot)));
  // The table of monomial coefficients is the polar definition rewritten.
  const double each[9][9] = {
      {1, 0, 0, 0, 0, 0, 0, 0, 0}, {0, 1, 0, 0, 0, 0, 0, 0, 0}, {0, 0, 1, 0, 0, 0, 0, 0, 0},
      {0, 0, 0, 1, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 1, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 1, 0, 0, 0},
      {0, 0, 0, 0, 0, 0, 1, 0, 0}, {0, 0, 0, 0, 0, 0, 0, 1, 0}, {0, 0, 0, 0, 0, 0, 0, 0, 1}};
  for (const auto& a : each) {
    for (const Point2& p : ImageGrid(6, 0.9)) {
      EXPECT_NEAR(MonomialFactor(a, p.x, p.y), PolarFactor(a, p.x, p.y), 1e-14);
    }
  }
}

TEST(AnamorphicModels, ClosedFormsBitForBit) {
  for (const Anamorphic* m : {&kRealistic, &kStrong}) {
    for (const double aspect : {16.0 / 9.0, 1.2}) {
      LensModel plain, standard;
      SetParameters(plain, ToParams(kModelAnamorphic6, *m), aspect);
      SetParameters(standard, ToParams(kModelStdAnamorphic6, *m), aspect);
      for (const Point2& p : ImageGrid(6, 1.1)) {
        const Point2 d = RefPlainDistort(*m, aspect, p);
        EXPECT_POINT_BITS(Distort(plain, p, 1.0, nullptr), d.x, d.y);
        const Point2 u = RefStdUndistort(*m, aspect, p);
        EXPECT_POINT_BITS(Undistort(standard, p, 1.0, nullptr), u.x, u.y);
      }
    }
  }
}

// The Newton directions of kinds 3 and 7, bit for bit against the inversion written out.
TEST(AnamorphicModels, NewtonDirectionsBitForBit) {
  const double aspect = 16.0 / 9.0;
  const Frame f(aspect);
  for (const Anamorphic* m : {&kRealistic, &kStrong}) {
    LensModel plain, standard;
    SetParameters(plain, ToParams(kModelAnamorphic6, *m), aspect);
    SetParameters(standard, ToParams(kModelStdAnamorphic6, *m), aspect);
    const double c = std::cos(m->rot), s = std::sin(m->rot), q = m->squeeze;
    const auto map = [m](double u, double v) { return RefAnamorphicJacobian(*m, u, v); };
    for (const Point2& p : ImageGrid(6, 1.0)) {
      // Kind 3, distorted to undistorted.
      const double x0 = ((p.x - m->hctr) * f.toX) / q, y0 = (p.y - m->vctr) * f.toY;
      double u, v;
      int32_t ref = RefNewton(map, c * x0 + s * y0, c * y0 - s * x0, u, v);
      const double xs = (u * q) * m->hscl, ys = v * m->vscl;
      int32_t valid = -1;
      Point2 out = Undistort(plain, p, 1.0, &valid);
      EXPECT_POINT_BITS(out, (c * xs - s * ys) * f.fromX, (s * xs + c * ys) * f.fromY);
      EXPECT_EQ(valid, ref);
      // Kind 7, undistorted to distorted.
      const double x1 = p.x * f.toX, y1 = p.y * f.toY;
      const double pt = c * x1 + s * y1, qt = c * y1 - s * x1;
      ref = RefNewton(map, pt / (m->hscl * q), qt / m->vscl, u, v);
      out = Distort(standard, p, 1.0, &valid);
      EXPECT_POINT_BITS(out, ((c * u - s * v) * q) * f.fromX + m->hctr,
                        (s * u + c * v) * f.fromY + m->vctr);
      EXPECT_EQ(valid, ref);
    }
  }
}

TEST(AnamorphicModels, EqualRadialTermsReduceToARadialLens) {
  Anamorphic m = {{0.05}, {0.05}, 0.0, 0.0, 1.0, 1.0, 0.0, 1.0};
  LensModel anamorphic, radial;
  SetParameters(anamorphic, ToParams(kModelAnamorphic6, m), 16.0 / 9.0);
  SetParameters(radial, KindParams(kModelRadial4, {{0, 0.05}}), 16.0 / 9.0);
  for (const Point2& p : ImageGrid(10, 1.0)) {
    const Point2 a = Distort(anamorphic, p, 1.0, nullptr);
    const Point2 r = Distort(radial, p, 1.0, nullptr);
    EXPECT_NEAR(a.x, r.x, 1e-15);
    EXPECT_NEAR(a.y, r.y, 1e-15);
  }
}

// Maps `p` both ways through both models and expects identical results and validity.
void ExpectSameMaps(const LensModel& a, const LensModel& b, Point2 p) {
  int32_t va = -1, vb = -1;
  Point2 pa = Distort(a, p, 1.0, &va), pb = Distort(b, p, 1.0, &vb);
  EXPECT_POINT_BITS(pa, pb.x, pb.y);
  EXPECT_EQ(va, vb);
  va = vb = -1;
  pa = Undistort(a, p, 1.0, &va);
  pb = Undistort(b, p, 1.0, &vb);
  EXPECT_POINT_BITS(pa, pb.x, pb.y);
  EXPECT_EQ(va, vb);
}

TEST(AnamorphicModels, MergedKindsAreFullKindsWithEqualFactors) {
  for (Anamorphic m : {kRealistic, kStrong}) {
    std::copy(m.a, m.a + 9, m.b);
    const ModelKind pairs[][2] = {{kModelAnamorphicMerged6, kModelAnamorphic6},
                                  {kModelStdAnamorphicMerged6, kModelStdAnamorphic6}};
    for (const auto& pair : pairs) {
      LensModel merged, full;
      SetParameters(merged, ToParams(pair[0], m), 16.0 / 9.0);
      SetParameters(full, ToParams(pair[1], m), 16.0 / 9.0);
      for (const Point2& p : ImageGrid(8, 1.3)) {
        ExpectSameMaps(merged, full, p);
      }
    }
  }
}

TEST(AnamorphicModels, StdClosedFormIsThePlainOneAtUnitScales) {
  for (const double rot : {0.0, 0.3, -1.2}) {
    Anamorphic m = kStrong;
    m.hctr = m.vctr = 0.0;
    m.hscl = m.vscl = m.squeeze = 1.0;
    m.rot = rot;
    Anamorphic merged = m;
    std::copy(m.a, m.a + 9, merged.b);
    const struct {
      ModelKind plain, standard;
      const Anamorphic* model;
    } pairs[] = {{kModelAnamorphic6, kModelStdAnamorphic6, &m},
                 {kModelAnamorphicMerged6, kModelStdAnamorphicMerged6, &merged}};
    for (const auto& pair : pairs) {
      LensModel plain, standard;
      SetParameters(plain, ToParams(pair.plain, *pair.model), 1.6);
      SetParameters(standard, ToParams(pair.standard, *pair.model), 1.6);
      for (const Point2& p : ImageGrid(8, 1.0)) {
        int32_t vp = -1, vs = -1;
        const Point2 a = Distort(plain, p, 1.0, &vp);
        const Point2 b = Undistort(standard, p, 1.0, &vs);
        EXPECT_EQ(a.x, b.x);
        EXPECT_EQ(a.y, b.y);
        EXPECT_EQ(vp, vs);
      }
    }
  }
  // Scales act before the polynomial in one and after it in the other.
  Anamorphic scaled = kStrong;
  scaled.hctr = scaled.vctr = 0.0;
  LensModel plain, standard;
  SetParameters(plain, ToParams(kModelAnamorphic6, scaled), 1.6);
  SetParameters(standard, ToParams(kModelStdAnamorphic6, scaled), 1.6);
  EXPECT_NE(Distort(plain, Point2{0.7, 0.4}, 1.0, nullptr).x,
            Undistort(standard, Point2{0.7, 0.4}, 1.0, nullptr).x);
}

TEST(AnamorphicModels, NeutralCoefficientsWithSqueezeAreTheIdentity) {
  const Anamorphic neutral = {{0.0}, {0.0}, 0.0, 0.0, 1.0, 1.0, 0.0, 2.0};
  for (const ModelKind kind : {kModelAnamorphic6, kModelAnamorphicMerged6, kModelStdAnamorphic6,
                               kModelStdAnamorphicMerged6}) {
    LensModel model;
    SetParameters(model, ToParams(kind, neutral), 16.0 / 9.0);
    EXPECT_EQ(model.isIdentity, 1) << kind;
    for (const Point2& p : ImageGrid(4, 1.0)) {
      int32_t valid = -1;
      EXPECT_POINT_BITS(Distort(model, p, 1.0, &valid), p.x, p.y);
      EXPECT_EQ(valid, 1);
      EXPECT_POINT_BITS(Undistort(model, p, 1.0, &valid), p.x, p.y);
      EXPECT_EQ(valid, 1);
    }
  }
}

TEST(AnamorphicModels, RoundTripsOverTheImage) {
  const Anamorphic rotationOnly = {{0.0}, {0.0}, 0.0, 0.0, 1.0, 1.0, 0.1, 1.0};
  Anamorphic realisticMerged = kRealistic, strongMerged = kStrong;
  std::copy(kRealistic.a, kRealistic.a + 9, realisticMerged.b);
  std::copy(kStrong.a, kStrong.a + 9, strongMerged.b);
  const struct {
    const char* what;
    const Anamorphic* model;
  } sets[] = {{"realistic", &kRealistic},
              {"strong", &kStrong},
              {"rotation only", &rotationOnly},
              {"realistic merged", &realisticMerged},
              {"strong merged", &strongMerged}};
  for (const auto& set : sets) {
    for (const ModelKind kind : {kModelAnamorphic6, kModelAnamorphicMerged6, kModelStdAnamorphic6,
                                 kModelStdAnamorphicMerged6}) {
      LensModel model;
      SetParameters(model, ToParams(kind, *set.model), 16.0 / 9.0);
      ASSERT_EQ(model.isIdentity, 0);
      int invalid;
      EXPECT_LT(RoundTripError(model, true, invalid), 1e-9) << set.what << " kind " << kind;
      EXPECT_EQ(invalid, 0) << set.what << " kind " << kind;
    }
  }
}

// Along the diagonal of aspect 3/4 the model-frame radius is |x| (no turn, unit scales).
// With a02 = b02 = -2 the factor is 1 - 2 r^2: the map r (1 - 2 r^2) turns back at
// r = 1/sqrt(6) ~ 0.41 and the factor changes sign at r ~ 0.71.
TEST(AnamorphicModels, FoldsAndNonPositiveFactorsAreInvalid) {
  const Anamorphic folding = {{-2.0}, {-2.0}, 0.0, 0.0, 1.0, 1.0, 0.0, 1.0};
  const struct {
    double x;
    int32_t valid;
  } cases[] = {{0.3, 1}, {-0.3, 1}, {0.5, 0}, {-0.5, 0}, {0.8, 0}, {-0.8, 0}};
  for (const ModelKind kind : {kModelAnamorphic6, kModelAnamorphicMerged6, kModelStdAnamorphic6,
                               kModelStdAnamorphicMerged6}) {
    LensModel model;
    SetParameters(model, ToParams(kind, folding), 0.75);
    const bool standard = kind == kModelStdAnamorphic6 || kind == kModelStdAnamorphicMerged6;
    for (const auto& c : cases) {
      const Point2 p{c.x, c.x};
      int32_t valid = -1;
      const Point2 out =
          standard ? Undistort(model, p, 1.0, &valid) : Distort(model, p, 1.0, &valid);
      EXPECT_EQ(valid, c.valid) << kind << " at " << c.x;
      const Point2 ref =
          standard ? RefStdUndistort(folding, 0.75, p) : RefPlainDistort(folding, 0.75, p);
      EXPECT_EQ(out.x, ref.x);
      EXPECT_EQ(out.y, ref.y);
      // The other direction cannot reach what lies beyond the turning point.
      if (c.valid == 0) {
        valid = -1;
        const Point2 back =
            standard ? Distort(model, p, 1.0, &valid) : Undistort(model, p, 1.0, &valid);
        EXPECT_EQ(valid, 0) << kind << " inverse at " << c.x;
        EXPECT_TRUE(std::isfinite(back.x) && std::isfinite(back.y));
      }
    }
  }
}

TEST(AnamorphicModels, EitherFactorAloneMakesAPointInvalid) {
  // Only the y factor turns negative: the vertical axis goes invalid, the horizontal not.
  const Anamorphic yOnly = {{0.0}, {-2.0}, 0.0, 0.0, 1.0, 1.0, 0.0, 1.0};
  LensModel model;
  SetParameters(model, ToParams(kModelAnamorphic6, yOnly), 1.0);
  int32_t valid = -1;
  Distort(model, Point2{0.0, 1.0}, 1.0, &valid);
  EXPECT_EQ(valid, 0);
  Distort(model, Point2{1.0, 0.0}, 1.0, &valid);
  EXPECT_EQ(valid, 1);
}

}  // namespace
