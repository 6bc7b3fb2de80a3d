// The four fisheye kinds: a fisheye (distorted) image and a rectilinear (undistorted) one,
// related through the ray angle. The distorted side measures radii in the model frame
// times Scale and turns them into a fisheye angle with the kind's projection; a polynomial
// in that angle gives the rectilinear angle, whose tangent is the rectilinear radius in
// half image widths. Undistort evaluates the polynomial; Distort solves it.
#include <cmath>

#include "Lens/ModelFamilies.h"

namespace {

// coef slots
constexpr int kC2 = 0, kC4 = 1, kC6 = 2, kC8 = 3, kScale = 4, kAngFac = 5, kHctr = 6, kVctr = 7;

constexpr double kHalfPi = 1.5707963267948966;
constexpr int kMaxIterations = 25;
constexpr double kMaxStep = 0.1;
constexpr double kTolerance = 1e-8;

// A(a) = 1 + C2 a^2 + C4 a^4 + C6 a^6 + C8 a^8.
double AngleFactor(const double* c, double a) {
  const double t = a * a;
  return (c[kC4] * t + c[kC2]) * t + 1.0 + (c[kC8] * t + c[kC6]) * (t * t * t);
}

// dT/da of T(a) = a A(a).
double AngleSlope(const double* c, double a, double factor) {
  const double t = a * a;
  const double t2 = t * t;
  return factor +
         t * (2.0 * c[kC2] + 4.0 * c[kC4] * t + 6.0 * c[kC6] * t2 + 8.0 * c[kC8] * (t2 * t));
}

// Projection radius of a fisheye angle, and back. A zero angle factor collapses the
// stereographic and equisolid kinds to the centre rather than dividing by zero.
typedef double (*ProjectionFn)(double a, double angFac);

double StereographicRadius(double a, double f) {
  return f == 0.0 ? 0.0 : 2.0 * std::tan(a / (2.0 * f));
}
double StereographicAngle(double r, double f) { return 2.0 * f * std::atan(r / 2.0); }
double EquidistantRadius(double a, double) { return a; }
double EquidistantAngle(double r, double) { return r; }
double EquisolidRadius(double a, double f) {
  return f == 0.0 ? 0.0 : 2.0 * std::sin(a / (2.0 * f));
}
double EquisolidAngle(double r, double f) { return 2.0 * f * std::asin(r / 2.0); }
double OrthographicRadius(double a, double) { return std::sin(a); }
double OrthographicAngle(double r, double) { return std::asin(r); }

// Solves a A(a) = target for a from 0.6 target by Newton's method with steps of at most
// 0.1; `a` receives the last iterate. Returns 1 when converged, 0 when the residual grew
// or the iterations ran out.
int32_t SolveAngle(const double* c, double target, double& a) {
  a = 0.6 * target;
  double previousError = 1e10;
  for (int iteration = 0; iteration < kMaxIterations; ++iteration) {
    const double factor = AngleFactor(c, a);
    const double e = target - a * factor;
    if (std::fabs(e) > previousError) {
      return 0;
    }
    const double slope = AngleSlope(c, a, factor);
    if (std::fabs(slope) < kTolerance) {
      return 1;
    }
    double step = e / slope;
    if (std::fabs(step) > kMaxStep) {
      step = std::copysign(kMaxStep, step);
    }
    a += step;
    previousError = std::fabs(e);
    if (std::fabs(step) < kTolerance) {
      return 1;
    }
  }
  return 0;
}

template <ProjectionFn kAngleOf>
Point2 FisheyeUndistort(const LensModel& model, Point2 in, double radiusScale, int32_t* valid) {
  const double* c = model.params.coef;
  const double x = (in.x - c[kHctr]) * model.toModelX;
  const double y = (in.y - c[kVctr]) * model.toModelY;
  const double r0 = std::sqrt(x * x + y * y);
  const double w = r0 == 0.0 ? 0.0 : 1.0 / r0;
  const double a = kAngleOf(r0 * c[kScale], c[kAngFac]);
  const double factor = AngleFactor(c, a);
  const double t = a * factor;
  if (valid) {
    // Past 90 degrees a ray has no rectilinear image; a NaN angle fails every test here.
    *valid = factor > 0.0 && AngleSlope(c, a, factor) >= 0.0 && std::fabs(t) < kHalfPi;
  }
  const double k = std::tan(t) * w * radiusScale;
  return {k * x, -k * y * model.aspect};
}

template <ProjectionFn kRadiusOf>
Point2 FisheyeDistort(const LensModel& model, Point2 in, double radiusScale, int32_t* valid) {
  const double* c = model.params.coef;
  const double x = in.x / radiusScale;
  const double y = -in.y / (radiusScale * model.aspect);
  const double rho = std::sqrt(x * x + y * y);
  const double w = rho == 0.0 ? 0.0 : 1.0 / rho;
  const double t = std::atan(rho);
  double a = t;
  int32_t solved = 1;
  if (!model.simpleForm) {
    solved = SolveAngle(c, t, a);
  }
  if (valid) {
    *valid = solved;
  }
  const double r = kRadiusOf(a, c[kAngFac]);
  double mx = 0.0, my = 0.0;
  if (c[kScale] != 0.0) {
    const double k = r * w / c[kScale];
    mx = k * x;
    my = k * y;
  }
  return {mx * model.fromModelX + c[kHctr], my * model.fromModelY + c[kVctr]};
}

}  // namespace

void PrepareFisheyeKind(LensModel& model) {
  const double* c = model.params.coef;
  model.simpleForm = c[kC2] == 0.0 && c[kC4] == 0.0 && c[kC6] == 0.0 && c[kC8] == 0.0;
  switch (model.params.kind) {
    case kModelFisheyeStereographic:
      model.distortFn = FisheyeDistort<StereographicRadius>;
      model.undistortFn = FisheyeUndistort<StereographicAngle>;
      break;
    case kModelFisheyeEquidistant:
      model.distortFn = FisheyeDistort<EquidistantRadius>;
      model.undistortFn = FisheyeUndistort<EquidistantAngle>;
      break;
    case kModelFisheyeEquisolid:
      model.distortFn = FisheyeDistort<EquisolidRadius>;
      model.undistortFn = FisheyeUndistort<EquisolidAngle>;
      break;
    case kModelFisheyeOrthographic:
      model.distortFn = FisheyeDistort<OrthographicRadius>;
      model.undistortFn = FisheyeUndistort<OrthographicAngle>;
      break;
    default: break;
  }
}
