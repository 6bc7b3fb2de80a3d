// Radial+squash (kind 4), radial 4th-order (kind 2) and its standard variant (kind 6).
// All three work in the model frame; kinds 2 and 6 share one polynomial, used in opposite
// directions.
#include <cmath>

#include "Lens/ModelFamilies.h"
#include "Lens/NewtonInversion.h"

namespace {

// Evaluates a radial polynomial map at model-frame (u, v); `factor` receives its radial
// factor g, whose sign decides validity.
typedef Point2 (*RadialValueFn)(const LensModel& model, double u, double v, double& factor);

// --- Radial 4th-order: coef 0..7 = C2, U2, V2, C4, U4, V4, HCTR, VCTR ---

Point2 Radial4Value(const LensModel& model, double u, double v, double& factor) {
  const double* c = model.params.coef;
  const double r2 = u * u + v * v;
  const double g = 1.0 + c[0] * r2 + c[3] * (r2 * r2);
  const double a = r2 + 2.0 * (u * u);
  const double b = r2 + 2.0 * (v * v);
  const double t = 2.0 * u * v;
  factor = g;
  return {g * u + c[1] * a + c[2] * t + r2 * (c[4] * a + c[5] * t),
          g * v + c[2] * b + c[1] * t + r2 * (c[5] * b + c[4] * t)};
}

MapJacobian Radial4Jacobian(const LensModel& model, double u, double v) {
  const double* c = model.params.coef;
  double g;
  const Point2 p = Radial4Value(model, u, v, g);
  const double r2 = u * u + v * v;
  const double a = r2 + 2.0 * (u * u);
  const double b = r2 + 2.0 * (v * v);
  const double t = 2.0 * u * v;
  // dr2 = (2u, 2v); dA = (6u, 2v); dB = (2u, 6v); dT = (2v, 2u).
  const double dgdr2 = c[0] + 2.0 * c[3] * r2;
  const double dgdu = dgdr2 * (2.0 * u);
  const double dgdv = dgdr2 * (2.0 * v);
  const double tailU = c[4] * a + c[5] * t;
  const double tailV = c[5] * b + c[4] * t;
  MapJacobian j;
  j.pu = p.x;
  j.pv = p.y;
  j.j11 = dgdu * u + g + c[1] * (6.0 * u) + c[2] * (2.0 * v) + (2.0 * u) * tailU +
          r2 * (c[4] * (6.0 * u) + c[5] * (2.0 * v));
  j.j12 = dgdv * u + c[1] * (2.0 * v) + c[2] * (2.0 * u) + (2.0 * v) * tailU +
          r2 * (c[4] * (2.0 * v) + c[5] * (2.0 * u));
  j.j21 = dgdu * v + c[2] * (2.0 * u) + c[1] * (2.0 * v) + (2.0 * u) * tailV +
          r2 * (c[5] * (2.0 * u) + c[4] * (2.0 * v));
  j.j22 = dgdv * v + g + c[2] * (6.0 * v) + c[1] * (2.0 * u) + (2.0 * v) * tailV +
          r2 * (c[5] * (6.0 * v) + c[4] * (2.0 * u));
  return j;
}

// --- Radial+squash: coef 0..6 = C2, C3, C4, ECC, VSCL, HCTR, VCTR; (u, v) after the
// vertical scale ---

Point2 SquashValue(const LensModel& model, double u, double v, double& factor) {
  const double* c = model.params.coef;
  const double r2 = u * u + c[3] * (v * v);
  double g = 1.0 + c[0] * r2 + c[2] * (r2 * r2);
  // The r^3 term needs a real radius; a negative eccentricity can make r2 negative.
  if (c[1] != 0.0 && r2 > 0.0) {
    g += c[1] * r2 * std::sqrt(r2);
  }
  factor = g;
  return {g * u, g * v};
}

MapJacobian SquashJacobian(const LensModel& model, double u, double v) {
  const double* c = model.params.coef;
  double g;
  const Point2 p = SquashValue(model, u, v, g);
  const double r2 = u * u + c[3] * (v * v);
  const double inner = c[0] + 2.0 * c[2] * r2;
  double dgdu = 2.0 * u * inner;
  double dgdv = 2.0 * c[3] * v * inner;
  if (c[1] != 0.0 && r2 > 0.0) {
    const double s = std::sqrt(r2);
    dgdu += 3.0 * c[1] * s * u;
    dgdv += 3.0 * c[1] * s * c[3] * v;
  }
  MapJacobian j;
  j.pu = p.x;
  j.pv = p.y;
  j.j11 = g + u * dgdu;
  j.j12 = u * dgdv;
  j.j21 = v * dgdu;
  j.j22 = g + v * dgdv;
  return j;
}

// The closed-form direction in the model frame: evaluates the map at (u, v) and, when
// asked, rejects a non-positive factor or a fold, probing in the model frame.
Point2 ModelFrameClosedForm(const LensModel& model, RadialValueFn value, double u, double v,
                            int32_t* valid) {
  double g;
  const Point2 out = value(model, u, v, g);
  if (valid) {
    if (g <= 0.0) {
      *valid = 0;
    } else {
      double probedFactor;
      const Point2 probed = value(model, kFoldProbeFactor * u, kFoldProbeFactor * v, probedFactor);
      *valid = FoldProbeAccepts(out, probed, Point2{0.0, 0.0});
    }
  }
  return out;
}

// Kind 2: the polynomial distorts.
Point2 Radial4Distort(const LensModel& model, Point2 in, double, int32_t* valid) {
  const double* c = model.params.coef;
  const Point2 p = ModelFrameClosedForm(model, Radial4Value, in.x * model.toModelX,
                                        in.y * model.toModelY, valid);
  return {p.x * model.fromModelX + c[6], p.y * model.fromModelY + c[7]};
}

Point2 Radial4Undistort(const LensModel& model, Point2 in, double, int32_t* valid) {
  const double* c = model.params.coef;
  double u, v;
  WriteValidity(valid, InvertPolynomialMap(model, Radial4Jacobian, (in.x - c[6]) * model.toModelX,
                                           (in.y - c[7]) * model.toModelY, u, v));
  return {u * model.fromModelX, v * model.fromModelY};
}

// Kind 6: the same polynomial undistorts.
Point2 StdRadial4Undistort(const LensModel& model, Point2 in, double, int32_t* valid) {
  const double* c = model.params.coef;
  const Point2 p = ModelFrameClosedForm(model, Radial4Value, (in.x - c[6]) * model.toModelX,
                                        (in.y - c[7]) * model.toModelY, valid);
  return {p.x * model.fromModelX, p.y * model.fromModelY};
}

Point2 StdRadial4Distort(const LensModel& model, Point2 in, double, int32_t* valid) {
  const double* c = model.params.coef;
  double u, v;
  WriteValidity(valid, InvertPolynomialMap(model, Radial4Jacobian, in.x * model.toModelX,
                                           in.y * model.toModelY, u, v));
  return {u * model.fromModelX + c[6], v * model.fromModelY + c[7]};
}

// Kind 4.
Point2 SquashDistort(const LensModel& model, Point2 in, double, int32_t* valid) {
  const double* c = model.params.coef;
  const Point2 p = ModelFrameClosedForm(model, SquashValue, in.x * model.toModelX,
                                        in.y * model.toModelY / c[4], valid);
  return {p.x * model.fromModelX + c[5], p.y * model.fromModelY + c[6]};
}

Point2 SquashUndistort(const LensModel& model, Point2 in, double, int32_t* valid) {
  const double* c = model.params.coef;
  double u, v;
  WriteValidity(valid, InvertPolynomialMap(model, SquashJacobian, (in.x - c[5]) * model.toModelX,
                                           (in.y - c[6]) * model.toModelY, u, v));
  return {u * model.fromModelX, v * c[4] * model.fromModelY};
}

}  // namespace

void PrepareRadialKind(LensModel& model) {
  switch (model.params.kind) {
    case kModelRadial4:
      model.distortFn = Radial4Distort;
      model.undistortFn = Radial4Undistort;
      break;
    case kModelStdRadial4:
      model.distortFn = StdRadial4Distort;
      model.undistortFn = StdRadial4Undistort;
      break;
    case kModelRadialSquash:
      model.distortFn = SquashDistort;
      model.undistortFn = SquashUndistort;
      break;
    default: break;
  }
}
