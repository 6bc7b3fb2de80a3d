#include "Lens/NewtonInversion.h"

#include <cmath>

namespace {

constexpr int kMaxIterations = 25;
constexpr double kMaxStep = 0.1;
constexpr double kTolerance = 1e-8;

}  // namespace

int32_t InvertPolynomialMap(const LensModel& model, PolynomialMapFn map, double targetX,
                            double targetY, double& u, double& v) {
  u = 0.5 * targetX;
  v = 0.5 * targetY;
  double previousError = 1e10;
  for (int iteration = 0; iteration < kMaxIterations; ++iteration) {
    const MapJacobian m = map(model, u, v);
    const double ex = targetX - m.pu;
    const double ey = targetY - m.pv;
    const double error = ex * ex + ey * ey;
    if (error > previousError) {
      return 0;  // diverging: keep the last iterate, report it untrusted
    }
    // A flat map has nothing left to correct; stepping would divide by a tiny det.
    if (std::fabs(m.j11) < kTolerance && std::fabs(m.j12) < kTolerance &&
        std::fabs(m.j21) < kTolerance && std::fabs(m.j22) < kTolerance) {
      return 1;
    }
    const double det = m.j11 * m.j22 - m.j21 * m.j12;
    if (det == 0.0) {
      return 0;
    }
    double du = (m.j22 * ex - m.j12 * ey) / det;
    double dv = (m.j11 * ey - m.j21 * ex) / det;
    const double longest = std::fmax(std::fabs(du), std::fabs(dv));
    if (longest > kMaxStep) {
      // Strong coefficients make the first steps overshoot into a fold; short steps keep
      // the iteration on the branch that contains the start point.
      const double shrink = kMaxStep / longest;
      du *= shrink;
      dv *= shrink;
    }
    u += du;
    v += dv;
    previousError = error;
    if (std::fabs(du) < kTolerance && std::fabs(dv) < kTolerance) {
      return 1;
    }
  }
  return 0;
}

int32_t FoldProbeAccepts(Point2 out, Point2 probed, Point2 centre) {
  const double dot =
      (probed.x - out.x) * (out.x - centre.x) + (probed.y - out.y) * (out.y - centre.y);
  return dot >= 0.0 ? 1 : 0;
}
