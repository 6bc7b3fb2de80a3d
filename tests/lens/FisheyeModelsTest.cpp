#include <gtest/gtest.h>

#include <cmath>

#include "LensTestSupport.h"

namespace {

constexpr ModelKind kFisheyes[] = {kModelFisheyeStereographic, kModelFisheyeEquidistant,
                                   kModelFisheyeEquisolid, kModelFisheyeOrthographic};

struct Fisheye {
  double c2, c4, c6, c8, scale, angFac, hctr, vctr;
};

LensParams ToParams(ModelKind kind, const Fisheye& f) {
  return KindParams(kind, {{0, f.c2},
                           {1, f.c4},
                           {2, f.c6},
                           {3, f.c8},
                           {4, f.scale},
                           {5, f.angFac},
                           {6, f.hctr},
                           {7, f.vctr}});
}

double RefAngleFactor(const Fisheye& f, double a) {
  const double t = a * a;
  return (((f.c4 * t + f.c2) * t) + 1.0) + (f.c8 * t + f.c6) * ((t * t) * t);
}

// Fisheye angle of a projection radius.
double RefAngle(ModelKind kind, double r, double angFac) {
  switch (kind) {
    case kModelFisheyeStereographic:
      return (2.0 * angFac) * std::atan(r / 2.0);
    case kModelFisheyeEquidistant:
      return r;
    case kModelFisheyeEquisolid:
      return (2.0 * angFac) * std::asin(r / 2.0);
    default:
      return std::asin(r);
  }
}

// Projection radius of a fisheye angle.
double RefRadius(ModelKind kind, double a, double angFac) {
  switch (kind) {
    case kModelFisheyeStereographic:
      return angFac == 0.0 ? 0.0 : 2.0 * std::tan(a / (2.0 * angFac));
    case kModelFisheyeEquidistant:
      return a;
    case kModelFisheyeEquisolid:
      return angFac == 0.0 ? 0.0 : 2.0 * std::sin(a / (2.0 * angFac));
    default:
      return std::sin(a);
  }
}

// The undistort direction written out: fisheye image to rectilinear.
Point2 RefUndistort(ModelKind kind, const Fisheye& f, double aspect, Point2 in, double rs) {
  const Frame fr(aspect);
  const double X = (in.x - f.hctr) * fr.toX, Y = (in.y - f.vctr) * fr.toY;
  const double r0 = std::sqrt(X * X + Y * Y);
  const double w = r0 == 0.0 ? 0.0 : 1.0 / r0;
  const double a = RefAngle(kind, r0 * f.scale, f.angFac);
  const double T = a * RefAngleFactor(f, a);
  const double k = (std::tan(T) * w) * rs;
  return {k * X, ((-k) * Y) * aspect};
}

// The distort direction without angle terms (no iteration): rectilinear to fisheye.
Point2 RefSimpleDistort(ModelKind kind, const Fisheye& f, double aspect, Point2 in, double rs) {
  const Frame fr(aspect);
  const double x = in.x / rs, y = -in.y / (rs * aspect);
  const double rho = std::sqrt(x * x + y * y);
  const double w = rho == 0.0 ? 0.0 : 1.0 / rho;
  const double R = RefRadius(kind, std::atan(rho), f.angFac);
  const double k = (R * w) / f.scale;
  return {(k * x) * fr.fromX + f.hctr, (k * y) * fr.fromY + f.vctr};
}

// D(a) = A(a) + t (2 C2 + 4 C4 t + 6 C6 t^2 + 8 C8 t^3), t = a^2.
double RefAngleSlope(const Fisheye& f, double a) {
  const double t = a * a;
  return RefAngleFactor(f, a) +
         t * (((2.0 * f.c2 + (4.0 * f.c4) * t) + (6.0 * f.c6) * (t * t)) +
              (8.0 * f.c8) * ((t * t) * t));
}

// The distort direction written out, the angle solved by Newton's method from 0.6 T.
Point2 RefDistort(ModelKind kind, const Fisheye& f, double aspect, Point2 in, double rs,
                  int32_t& valid) {
  const Frame fr(aspect);
  const double x = in.x / rs, y = -in.y / (rs * aspect);
  const double rho = std::sqrt(x * x + y * y);
  const double w = rho == 0.0 ? 0.0 : 1.0 / rho;
  const double target = std::atan(rho);
  double a = 0.6 * target, previous = 1e10;
  valid = 0;
  for (int i = 0; i < 25; ++i) {
    const double e = target - a * RefAngleFactor(f, a);
    if (std::fabs(e) > previous) break;
    const double slope = RefAngleSlope(f, a);
    if (std::fabs(slope) < 1e-8) {
      valid = 1;
      break;
    }
    double step = e / slope;
    if (std::fabs(step) > 0.1) step = step > 0.0 ? 0.1 : -0.1;
    a = a + step;
    previous = std::fabs(e);
    if (std::fabs(step) < 1e-8) {
      valid = 1;
      break;
    }
  }
  const double k = (RefRadius(kind, a, f.angFac) * w) / f.scale;
  return {(k * x) * fr.fromX + f.hctr, (k * y) * fr.fromY + f.vctr};
}

const Fisheye kNeutral = {0.0, 0.0, 0.0, 0.0, 1.0, 1.0, 0.0, 0.0};
const Fisheye kRealistic = {0.04, -0.012, 0.002, -0.0001, 0.95, 1.1, 0.01, -0.02};

TEST(FisheyeModels, EquidistantDiagonalRayAt45Degrees) {
  LensModel model;
  SetParameters(model, ToParams(kModelFisheyeEquidistant, kNeutral), 1.0);
  EXPECT_EQ(model.isIdentity, 0);
  EXPECT_EQ(model.simpleForm, 1);
  int32_t valid = -1;
  const Point2 d = Distort(model, Point2{1.0, 0.0}, 1.0, &valid);
  // A ray 45 degrees off the axis lands at fisheye radius pi/4, i.e. pi sqrt(2)/4 in half
  // image widths.
  EXPECT_POINT_BITS(d, 1.1107207345395915, 0.0);
  EXPECT_EQ(valid, 1);
  valid = -1;
  const Point2 back = Undistort(model, d, 1.0, &valid);
  EXPECT_NEAR(back.x, 1.0, 1e-15);
  EXPECT_EQ(back.y, 0.0);
  EXPECT_EQ(valid, 1);
}

// Both directions with angle terms: the closed form, and the angle solved by iteration.
TEST(FisheyeModels, BothDirectionsBitForBit) {
  const Fisheye sets[] = {kRealistic, {-0.1, 0.02, 0.0, 0.0, 1.3, 0.7, 0.0, 0.0}};
  for (const ModelKind kind : kFisheyes) {
    for (const Fisheye& f : sets) {
      LensModel model;
      SetParameters(model, ToParams(kind, f), 16.0 / 9.0);
      for (const double rs : {1.0, 1.5}) {
        for (const Point2& p : ImageGrid(6, 1.0)) {
          const Point2 undistorted = RefUndistort(kind, f, 16.0 / 9.0, p, rs);
          EXPECT_POINT_BITS(Undistort(model, p, rs, nullptr), undistorted.x, undistorted.y);
          int32_t valid = -1, refValid = -1;
          const Point2 distorted = RefDistort(kind, f, 16.0 / 9.0, p, rs, refValid);
          EXPECT_POINT_BITS(Distort(model, p, rs, &valid), distorted.x, distorted.y);
          EXPECT_EQ(valid, refValid);
        }
      }
    }
  }
}

TEST(FisheyeModels, SimpleFormDistortsWithoutIterating) {
  const Fisheye f = {0.0, 0.0, 0.0, 0.0, 0.8, 0.9, 0.02, -0.01};
  for (const ModelKind kind : kFisheyes) {
    LensModel model;
    SetParameters(model, ToParams(kind, f), 1.85);
    ASSERT_EQ(model.simpleForm, 1);
    // Also far out, where rays approach 90 degrees: no iteration, nothing to fail.
    for (const Point2& p : ImageGrid(8, 40.0)) {
      int32_t valid = -1;
      const Point2 d = Distort(model, p, 1.0, &valid);
      const Point2 ref = RefSimpleDistort(kind, f, 1.85, p, 1.0);
      EXPECT_POINT_BITS(d, ref.x, ref.y);
      EXPECT_EQ(valid, 1);
    }
  }
}

TEST(FisheyeModels, SimpleFormNeedsEveryAngleTermZero) {
  for (int slot = 0; slot < 4; ++slot) {
    LensModel model;
    SetParameters(model, KindParams(kModelFisheyeEquisolid, {{4, 1.0}, {5, 1.0}, {slot, 1e-9}}),
                  1.0);
    EXPECT_EQ(model.simpleForm, 0) << slot;
  }
}

TEST(FisheyeModels, RadiusScaleOnlyScalesTheRectilinearSide) {
  for (const ModelKind kind : kFisheyes) {
    LensModel model;
    SetParameters(model, ToParams(kind, kRealistic), 16.0 / 9.0);
    for (const Point2& p : ImageGrid(4, 0.8)) {
      const Point2 u1 = Undistort(model, p, 1.0, nullptr);
      const Point2 u2 = Undistort(model, p, 2.0, nullptr);
      EXPECT_POINT_BITS(u2, 2.0 * u1.x, 2.0 * u1.y);
      int32_t v1 = -1, v2 = -1;
      const Point2 d1 = Distort(model, p, 1.0, &v1);
      const Point2 d2 = Distort(model, Point2{2.0 * p.x, 2.0 * p.y}, 2.0, &v2);
      EXPECT_POINT_BITS(d2, d1.x, d1.y);
      EXPECT_EQ(v1, v2);
    }
  }
}

TEST(FisheyeModels, RoundTripsOverTheImage) {
  const struct {
    ModelKind kind;
    Fisheye f;
  } cases[] = {
      {kModelFisheyeStereographic, kRealistic},
      {kModelFisheyeEquidistant, kRealistic},
      {kModelFisheyeEquisolid, kRealistic},
      {kModelFisheyeOrthographic, {0.04, -0.012, 0.002, -0.0001, 0.7, 1.0, 0.01, -0.02}},
      {kModelFisheyeEquidistant, {-0.08, 0.01, -0.001, 0.0, 1.2, 1.0, 0.0, 0.0}},
  };
  for (const auto& c : cases) {
    LensModel model;
    SetParameters(model, ToParams(c.kind, c.f), 16.0 / 9.0);
    ASSERT_EQ(model.simpleForm, 0);
    for (const bool distortFirst : {false, true}) {
      int invalid;
      EXPECT_LT(RoundTripError(model, distortFirst, invalid), 1e-9) << c.kind;
      EXPECT_EQ(invalid, 0) << c.kind;
    }
  }
}

// Points on the model-frame x axis of aspect 1 at a chosen model-frame radius.
Point2 AtModelRadius(double r) { return {r * std::sqrt(2.0), 0.0}; }

TEST(FisheyeModels, UndistortValidity) {
  const struct {
    const char* what;
    ModelKind kind;
    Fisheye f;
    double radius;
    int32_t valid;
    bool nan;
  } cases[] = {
      {"equidistant below 90 degrees", kModelFisheyeEquidistant, kNeutral, 1.5, 1, false},
      {"equidistant beyond 90 degrees", kModelFisheyeEquidistant, kNeutral, 1.6, 0, false},
      {"orthographic inside", kModelFisheyeOrthographic, kNeutral, 0.95, 1, false},
      {"orthographic beyond R = 1", kModelFisheyeOrthographic, kNeutral, 1.05, 0, true},
      {"equisolid inside", kModelFisheyeEquisolid, {0, 0, 0, 0, 1.0, 1.0, 0, 0}, 1.0, 1, false},
      // R = 1.5 is in the projection's domain, but its angle 2 asin(0.75) is past 90 degrees.
      {"equisolid too wide", kModelFisheyeEquisolid, {0, 0, 0, 0, 1.5, 1.0, 0, 0}, 1.0, 0, false},
      {"equisolid beyond R = 2",
       kModelFisheyeEquisolid,
       {0, 0, 0, 0, 2.5, 1.0, 0, 0},
       1.0,
       0,
       true},
      // A(a) = 1 - a^2: T = a - a^3 rises until a = 1/sqrt(3), A stays positive until 1.
      {"angle polynomial rising",
       kModelFisheyeEquidistant,
       {-1, 0, 0, 0, 1, 1, 0, 0},
       0.5,
       1,
       false},
      {"angle polynomial falling",
       kModelFisheyeEquidistant,
       {-1, 0, 0, 0, 1, 1, 0, 0},
       0.7,
       0,
       false},
      {"angle polynomial negative",
       kModelFisheyeEquidistant,
       {-1, 0, 0, 0, 1, 1, 0, 0},
       1.1,
       0,
       false},
  };
  for (const auto& c : cases) {
    LensModel model;
    SetParameters(model, ToParams(c.kind, c.f), 1.0);
    int32_t valid = -1;
    const Point2 u = Undistort(model, AtModelRadius(c.radius), 1.0, &valid);
    EXPECT_EQ(valid, c.valid) << c.what;
    EXPECT_EQ(std::isnan(u.x), c.nan) << c.what;
  }
}

TEST(FisheyeModels, DistortReportsAnUnsolvableAngle) {
  // With A(a) = 1 - a^2 the rectilinear angle never exceeds 2 / (3 sqrt 3) ~ 0.385.
  LensModel model;
  SetParameters(model, ToParams(kModelFisheyeEquidistant, {-1, 0, 0, 0, 1, 1, 0, 0}), 1.0);
  const struct {
    double rho;  // rectilinear radius, tan of the ray angle
    int32_t valid;
  } cases[] = {{std::tan(0.3), 1}, {std::tan(0.38), 1}, {std::tan(0.5), 0}, {3.0, 0}};
  for (const auto& c : cases) {
    int32_t valid = -1;
    const Point2 d = Distort(model, Point2{c.rho, 0.0}, 1.0, &valid);
    EXPECT_EQ(valid, c.valid) << c.rho;
    EXPECT_TRUE(std::isfinite(d.x) && std::isfinite(d.y)) << c.rho;
  }
}

TEST(FisheyeModels, CollapsingParameters) {
  // A zero angle factor puts every point at the centre, both ways; a zero Scale collapses
  // the distort direction onto the distorted centre. Neither is reported invalid.
  const Fisheye noAngle = {0.01, 0.0, 0.0, 0.0, 1.0, 0.0, 0.1, -0.05};
  const Fisheye noScale = {0.01, 0.0, 0.0, 0.0, 0.0, 1.0, 0.1, -0.05};
  for (const Point2& p : ImageGrid(4, 1.0)) {
    for (const ModelKind kind : {kModelFisheyeStereographic, kModelFisheyeEquisolid}) {
      LensModel model;
      SetParameters(model, ToParams(kind, noAngle), 1.5);
      int32_t valid = -1;
      EXPECT_POINT_BITS(Distort(model, p, 1.0, &valid), 0.1, -0.05);
      EXPECT_EQ(valid, 1);
      const Point2 u = Undistort(model, p, 1.0, &valid);
      EXPECT_EQ(u.x, 0.0);
      EXPECT_EQ(u.y, 0.0);
      EXPECT_EQ(valid, 1);
    }
    for (const ModelKind kind : kFisheyes) {
      LensModel model;
      SetParameters(model, ToParams(kind, noScale), 1.5);
      int32_t valid = -1;
      EXPECT_POINT_BITS(Distort(model, p, 1.0, &valid), 0.1, -0.05);
      EXPECT_EQ(valid, 1);
    }
  }
}

TEST(FisheyeModels, CentresMapToEachOther) {
  for (const ModelKind kind : kFisheyes) {
    LensModel model;
    SetParameters(model, ToParams(kind, kRealistic), 16.0 / 9.0);
    int32_t valid = -1;
    EXPECT_POINT_BITS(Distort(model, Point2{0.0, 0.0}, 1.0, &valid), kRealistic.hctr,
                      kRealistic.vctr);
    EXPECT_EQ(valid, 1);
    const Point2 u = Undistort(model, Point2{kRealistic.hctr, kRealistic.vctr}, 1.0, &valid);
    EXPECT_EQ(u.x, 0.0);
    EXPECT_EQ(u.y, 0.0);
    EXPECT_EQ(valid, 1);
  }
}

}  // namespace
