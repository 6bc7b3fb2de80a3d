// The four anamorphic 6th-order kinds: 3 (separate x and y factors) and 5 (one merged
// factor) map undistorted to distorted with their polynomial; their standard variants 7
// and 8 use the same polynomial from distorted to undistorted. The polynomial is applied
// in the model frame after a turn by ROT and, on the undistorted side, after dividing x by
// squeeze x HSCL and y by VSCL.
#include <cmath>

#include "Lens/ModelFamilies.h"
#include "Lens/NewtonInversion.h"

namespace {

// Where the kind's trailing parameters sit: HCTR, VCTR, HSCL, VSCL, ROT in that order.
template <bool kMerged>
constexpr int kFrameSlot = kMerged ? 9 : 18;

template <bool kMerged>
struct Placement {
  double hCentre, vCentre, hScale, vScale;
  explicit Placement(const LensModel& model) {
    const double* c = model.params.coef + kFrameSlot<kMerged>;
    hCentre = c[0];
    vCentre = c[1];
    hScale = c[2];
    vScale = c[3];
  }
};

// u^2, v^2, u^4, u^2 v^2, v^4, u^6, u^4 v^2, u^2 v^4, v^6 and the powers they come from.
struct Monomials {
  double u2, v2, u4, v4, m[9];
};

Monomials MonomialsAt(double u, double v) {
  Monomials t;
  t.u2 = u * u;
  t.v2 = v * v;
  t.u4 = t.u2 * t.u2;
  t.v4 = t.v2 * t.v2;
  t.m[0] = t.u2;
  t.m[1] = t.v2;
  t.m[2] = t.u4;
  t.m[3] = t.u2 * t.v2;
  t.m[4] = t.v4;
  t.m[5] = t.u4 * t.u2;
  t.m[6] = t.u4 * t.v2;
  t.m[7] = t.u2 * t.v4;
  t.m[8] = t.v4 * t.v2;
  return t;
}

double Factor(const double* poly, const Monomials& t) {
  double sum = poly[0] * t.m[0];
  for (int i = 1; i < 9; ++i) {
    sum += poly[i] * t.m[i];
  }
  return 1.0 + sum;
}

// dF/du and dF/dv of a factor, term by term from its monomials.
void FactorSlopes(const double* poly, double u, double v, const Monomials& t, double& dFdu,
                  double& dFdv) {
  const double u3 = t.u2 * u;
  const double v3 = t.v2 * v;
  dFdu = poly[0] * (2.0 * u) + poly[2] * (4.0 * u3) + poly[3] * (2.0 * u * t.v2) +
         poly[5] * (6.0 * (t.u4 * u)) + poly[6] * (4.0 * u3 * t.v2) + poly[7] * (2.0 * u * t.v4);
  dFdv = poly[1] * (2.0 * v) + poly[3] * (2.0 * v * t.u2) + poly[4] * (4.0 * v3) +
         poly[6] * (2.0 * v * t.u4) + poly[7] * (4.0 * v3 * t.u2) + poly[8] * (6.0 * (t.v4 * v));
}

// P(u, v) = (u Fx, v Fy); the merged kinds use one factor for both.
template <bool kMerged>
Point2 AnamorphicValue(const LensModel& model, double u, double v, double& fx, double& fy) {
  const Monomials t = MonomialsAt(u, v);
  fx = Factor(model.polyX, t);
  fy = kMerged ? fx : Factor(model.polyY, t);
  return {u * fx, v * fy};
}

template <bool kMerged>
MapJacobian AnamorphicJacobian(const LensModel& model, double u, double v) {
  const Monomials t = MonomialsAt(u, v);
  const double fx = Factor(model.polyX, t);
  double dFxdu, dFxdv;
  FactorSlopes(model.polyX, u, v, t, dFxdu, dFxdv);
  double fy = fx, dFydu = dFxdu, dFydv = dFxdv;
  if (!kMerged) {
    fy = Factor(model.polyY, t);
    FactorSlopes(model.polyY, u, v, t, dFydu, dFydv);
  }
  MapJacobian j;
  j.pu = u * fx;
  j.pv = v * fy;
  j.j11 = fx + u * dFxdu;
  j.j12 = u * dFxdv;
  j.j21 = v * dFydu;
  j.j22 = fy + v * dFydv;
  return j;
}

Point2 ForwardTurn(const LensModel& model, double p, double q) {
  return {model.cosRot * p + model.sinRot * q, model.cosRot * q - model.sinRot * p};
}

Point2 BackTurn(const LensModel& model, double p, double q) {
  return {model.cosRot * p - model.sinRot * q, model.sinRot * p + model.cosRot * q};
}

// Kinds 3 and 5, undistorted to distorted, with the factors at the polynomial's input.
template <bool kMerged>
Point2 PlainPolynomial(const LensModel& model, double x, double y, double& fx, double& fy) {
  const Placement<kMerged> at(model);
  const double squeeze = model.params.squeeze;
  const Point2 turned = ForwardTurn(model, x * model.toModelX, y * model.toModelY);
  const Point2 d = AnamorphicValue<kMerged>(model, turned.x / (squeeze * at.hScale),
                                            turned.y / at.vScale, fx, fy);
  const Point2 back = BackTurn(model, d.x, d.y);
  return {back.x * squeeze * model.fromModelX + at.hCentre, back.y * model.fromModelY + at.vCentre};
}

// Kinds 7 and 8, distorted to undistorted, with the factors at the polynomial's input.
template <bool kMerged>
Point2 StdPolynomial(const LensModel& model, double x, double y, double& fx, double& fy) {
  const Placement<kMerged> at(model);
  const double squeeze = model.params.squeeze;
  const Point2 turned = ForwardTurn(model, (x - at.hCentre) * model.toModelX / squeeze,
                                    (y - at.vCentre) * model.toModelY);
  const Point2 u = AnamorphicValue<kMerged>(model, turned.x, turned.y, fx, fy);
  const Point2 back = BackTurn(model, u.x * squeeze * at.hScale, u.y * at.vScale);
  return {back.x * model.fromModelX, back.y * model.fromModelY};
}

template <bool kMerged>
Point2 PlainDistort(const LensModel& model, Point2 in, double, int32_t* valid) {
  double fx, fy;
  const Point2 out = PlainPolynomial<kMerged>(model, in.x, in.y, fx, fy);
  if (valid) {
    if (fx <= 0.0 || fy <= 0.0) {
      *valid = 0;
    } else {
      const Placement<kMerged> at(model);
      const Point2 probed =
          PlainPolynomial<kMerged>(model, kFoldProbeFactor * in.x, kFoldProbeFactor * in.y, fx, fy);
      *valid = FoldProbeAccepts(out, probed, Point2{at.hCentre, at.vCentre});
    }
  }
  return out;
}

template <bool kMerged>
Point2 PlainUndistort(const LensModel& model, Point2 in, double, int32_t* valid) {
  const Placement<kMerged> at(model);
  const double squeeze = model.params.squeeze;
  const Point2 target = ForwardTurn(model, (in.x - at.hCentre) * model.toModelX / squeeze,
                                    (in.y - at.vCentre) * model.toModelY);
  double u, v;
  WriteValidity(valid,
                InvertPolynomialMap(model, AnamorphicJacobian<kMerged>, target.x, target.y, u, v));
  const Point2 back = BackTurn(model, u * squeeze * at.hScale, v * at.vScale);
  return {back.x * model.fromModelX, back.y * model.fromModelY};
}

template <bool kMerged>
Point2 StdUndistort(const LensModel& model, Point2 in, double, int32_t* valid) {
  double fx, fy;
  const Point2 out = StdPolynomial<kMerged>(model, in.x, in.y, fx, fy);
  if (valid) {
    if (fx <= 0.0 || fy <= 0.0) {
      *valid = 0;
    } else {
      const Placement<kMerged> at(model);
      const Point2 probed =
          StdPolynomial<kMerged>(model, (in.x - at.hCentre) * kFoldProbeFactor + at.hCentre,
                                 (in.y - at.vCentre) * kFoldProbeFactor + at.vCentre, fx, fy);
      *valid = FoldProbeAccepts(out, probed, Point2{0.0, 0.0});
    }
  }
  return out;
}

template <bool kMerged>
Point2 StdDistort(const LensModel& model, Point2 in, double, int32_t* valid) {
  const Placement<kMerged> at(model);
  const double squeeze = model.params.squeeze;
  const Point2 turned = ForwardTurn(model, in.x * model.toModelX, in.y * model.toModelY);
  double u, v;
  WriteValidity(valid,
                InvertPolynomialMap(model, AnamorphicJacobian<kMerged>,
                                    turned.x / (at.hScale * squeeze), turned.y / at.vScale, u, v));
  const Point2 back = BackTurn(model, u, v);
  return {back.x * squeeze * model.fromModelX + at.hCentre, back.y * model.fromModelY + at.vCentre};
}

// Rewrites the polar coefficients a02, a22, a04, a24, a44, a06, a26, a46, a66 as the
// coefficients of u^2, v^2, u^4, u^2 v^2, v^4, u^6, u^4 v^2, u^2 v^4, v^6, so a point costs
// products instead of an angle and its cosines.
void ExpandFactor(const double* a, double* poly) {
  const double a02 = a[0], a22 = a[1], a04 = a[2], a24 = a[3], a44 = a[4];
  const double a06 = a[5], a26 = a[6], a46 = a[7], a66 = a[8];
  poly[0] = a02 + a22;
  poly[1] = a02 - a22;
  poly[2] = a04 + a24 + a44;
  poly[3] = 2.0 * a04 - 6.0 * a44;
  poly[4] = a04 - a24 + a44;
  poly[5] = a06 + a26 + a46 + a66;
  poly[6] = 3.0 * a06 + a26 - 5.0 * a46 - 15.0 * a66;
  poly[7] = 3.0 * a06 - a26 - 5.0 * a46 + 15.0 * a66;
  poly[8] = a06 - a26 + a46 - a66;
}

}  // namespace

void PrepareAnamorphicKind(LensModel& model) {
  const ModelKind kind = model.params.kind;
  const bool merged = kind == kModelAnamorphicMerged6 || kind == kModelStdAnamorphicMerged6;
  const double* c = model.params.coef;
  const double rotation = c[(merged ? kFrameSlot<true> : kFrameSlot<false>)+4];
  model.cosRot = std::cos(rotation);
  model.sinRot = std::sin(rotation);
  ExpandFactor(c, model.polyX);
  if (!merged) {
    ExpandFactor(c + 9, model.polyY);
  }
  switch (kind) {
    case kModelAnamorphic6:
      model.distortFn = PlainDistort<false>;
      model.undistortFn = PlainUndistort<false>;
      break;
    case kModelAnamorphicMerged6:
      model.distortFn = PlainDistort<true>;
      model.undistortFn = PlainUndistort<true>;
      break;
    case kModelStdAnamorphic6:
      model.distortFn = StdDistort<false>;
      model.undistortFn = StdUndistort<false>;
      break;
    case kModelStdAnamorphicMerged6:
      model.distortFn = StdDistort<true>;
      model.undistortFn = StdUndistort<true>;
      break;
    default: break;
  }
}
