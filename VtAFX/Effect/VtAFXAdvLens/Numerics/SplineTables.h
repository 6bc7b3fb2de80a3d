// Building and reading a RadialTable: the forward distortion factor of a classic radial
// polynomial with its in-range test, and the inverse, tabulated at up to 50 radii,
// interpolated by a natural cubic spline and polished by Newton steps. The spline routines
// themselves are general and work on plain arrays.
//
// Tables are built during lens set-up; a built table is read-only, so any number of
// threads may look values up in it at once.
#pragma once

#include <cstdint>

#include "Numerics/RadialTable.h"

// Fills a reset `table` (it must own no arrays) for the polynomial
// f(r) = r (1 + k1 r^2 + k2 r^3 + k3 r^4): the coefficients, the monotonic range up to
// requestedRadius (0 selects the default radius), and the inverse at 50 radii spread
// evenly over the range, cut at the first sample where f no longer increases.
// Allocates with new[]; if an allocation throws, the exception propagates and whatever
// arrays were already allocated belong to `table`, so ReleaseRadialTable frees them.
void BuildRadialTable(RadialTable& table, double k1, double k2, double k3, double requestedRadius);

// Returns the forward factor 1 + k1 x + k2 x sqrt(x) + k3 x^2 at the squared radius x
// (without a square root when k2 is 0; NaN for x < 0 when k2 is not 0). When inRange is
// not null it receives 1 if x does not exceed the table's limitSquared (also for NaN x),
// else 0; the factor is returned either way.
double RadialFactor(const RadialTable& table, double x, int32_t* inRange);

// Returns 1 + k1 x + k3 x^2, ignoring k2, with the same in-range flag as RadialFactor.
// Serves negative squared radii from a table built with a negated k1 and no k2.
double EvenRadialFactor(const RadialTable& table, double x, int32_t* inRange);

// Writes to *scale the ratio r / y of the undistorted radius r with f(r) = y to the
// distorted radius y, and returns 1. For y <= 0 (or NaN) the ratio is 1. When y lies beyond
// the table, or a Newton step passes its last radius, *scale receives the table's endRatio
// and the result is 0. A table that was never built (count 0) answers 1 with result 0.
int32_t InverseRadialScale(const RadialTable& table, double y, double* scale);

// Writes to m the second derivatives of the natural cubic spline through the n points
// (x[i], y[i]), x strictly increasing; all zero for n = 1 or 2, nothing for n <= 0. m is
// written only at the end, so it may alias x or y. Allocates scratch space with new[].
void FitNaturalSpline(const double* x, const double* y, int32_t n, double* m);

// Returns the value at t of the natural cubic spline through the n points (x[i], y[i]) with
// second derivatives m. Outside [x[0], x[n-1]] the nearest end value, never an
// extrapolation; 0 when n <= 0.
double EvalSpline(const double* x, const double* y, const double* m, int32_t n, double t);
