// The numerical pieces every polynomial lens kind shares: inverting its two-dimensional
// polynomial map by Newton's method, and the fold probe that tells whether the map still
// moves outward at a point.
#pragma once

#include <cstdint>

#include "Lens/LensModel.h"

// A polynomial map's value (pu, pv) at one point and its Jacobian there:
// j11 = dpu/du, j12 = dpu/dv, j21 = dpv/du, j22 = dpv/dv.
struct MapJacobian {
  double pu;
  double pv;
  double j11;
  double j12;
  double j21;
  double j22;
};

// Evaluates a kind's polynomial map and its Jacobian at (u, v) of the model frame.
typedef MapJacobian (*PolynomialMapFn)(const LensModel& model, double u, double v);

// Solves map(u, v) = (targetX, targetY) by Newton's method from half the target, with
// steps no longer than 0.1, at most 25 iterations. Writes the last iterate to `u`, `v`
// in every case and returns 1 when it converged (a step below 1e-8 in both coordinates,
// or a vanishing Jacobian), 0 when the residual grew, the Jacobian was singular or the
// iterations ran out. NaN input ends after 25 iterations with 0.
int32_t InvertPolynomialMap(const LensModel& model, PolynomialMapFn map, double targetX,
                            double targetY, double& u, double& v);

// The fold test: 1 when moving the input outward moved the output from `out` to `probed`
// not towards `centre`, that is (probed - out) . (out - centre) >= 0; 0 otherwise, and
// for NaN.
int32_t FoldProbeAccepts(Point2 out, Point2 probed, Point2 centre);

// How far the fold probe moves an input away from its centre, as a factor.
constexpr double kFoldProbeFactor = 1.0001;
