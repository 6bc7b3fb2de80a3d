// Classic kind 1: the radial polynomial f(r) = r (1 + k r^2 + c r^3 + q r^4) on a squared
// radius weighted by the eccentricity, with the vertical scale applied before it. The
// forward map is closed form; the inverse is a lookup in the spline tables built here,
// polished by a few one-dimensional Newton steps, rather than the two-dimensional
// inversion the polynomial kinds use.
//
// A negative eccentricity makes the squared radius negative in the wedges about the
// vertical axis where e y^2 outweighs (aspect x)^2. There a second table serves the
// mirrored polynomial: for s2 = -r2 the factor 1 + k r2 + q r2^2 is 1 - k s2 + q s2^2, so
// a table with quadratic -k covers it. The odd cubic term has no such mirror, so both
// tables drop it.
#include <cmath>

#include "Lens/ModelFamilies.h"
#include "Numerics/SplineTables.h"

namespace {

// Below this factor the map r (1 + k r^2) with k < 0 no longer increases.
constexpr double kSimpleFoldFactor = 0.6666666666666666;

Point2 ClassicDistort(const LensModel& model, Point2 in, double /*radiusScale*/, int32_t* valid) {
  const LensParams& p = model.params;
  if (model.isIdentity) {
    if (valid) *valid = 1;
    return in;
  }
  const double ax = model.aspect * in.x;
  if (model.simpleForm) {
    const double r2 = ax * ax + in.y * in.y;
    const double g = 1.0 + p.quadratic * r2;
    if (valid) *valid = (p.quadratic < 0.0 && g < kSimpleFoldFactor) ? 0 : 1;
    return {in.x * g + p.hCenter, in.y * g + p.vCenter};
  }
  const double y = in.y * p.invVScale;
  const double r2 = ax * ax + p.eccentricity * (y * y);
  const double g = (model.negativeBranch && r2 < 0.0)
                       ? EvenRadialFactor(model.negativeRadialTable, -r2, valid)
                       : RadialFactor(model.radialTable, r2, valid);
  return {in.x * g + p.hCenter, y * g + p.vCenter};
}

Point2 ClassicUndistort(const LensModel& model, Point2 in, double /*radiusScale*/, int32_t* valid) {
  const LensParams& p = model.params;
  // Beyond the table the end ratio still gives a usable point, so the inverse is always
  // reported valid.
  if (valid) *valid = 1;
  if (model.isIdentity) return in;
  const double x = in.x - p.hCenter;
  const double y = in.y - p.vCenter;
  const double ax = model.aspect * x;
  const double r2 = ax * ax + p.eccentricity * (y * y);
  double h = 1.0;
  if (r2 > 0.0) {
    InverseRadialScale(model.radialTable, std::sqrt(r2), &h);
  } else if (r2 < 0.0 && model.negativeBranch) {
    InverseRadialScale(model.negativeRadialTable, std::sqrt(-r2), &h);
  }
  return {x * h, y * p.vScale * h};
}

}  // namespace

void PrepareClassicKind(LensModel& model) {
  LensParams& p = model.params;
  const double k = p.quadratic;
  const double e = p.eccentricity;
  // The tables must serve the undistorted image's corner radius.
  const double corner = std::sqrt(model.aspect * model.aspect + (e > 0.0 ? e : 0.0));
  p.invVScale = 1.0 / p.vScale;
  model.negativeBranch = 0;
  model.distortFn = ClassicDistort;
  model.undistortFn = ClassicUndistort;
  if (e < 0.0 && (k != 0.0 || p.cubic != 0.0 || p.quartic != 0.0)) {
    model.negativeBranch = 1;
    BuildRadialTable(model.radialTable, k, 0.0, p.quartic, corner);
    BuildRadialTable(model.negativeRadialTable, -k, 0.0, p.quartic, std::sqrt(-e));
  } else {
    BuildRadialTable(model.radialTable, k, p.cubic, p.quartic, corner);
  }
}
