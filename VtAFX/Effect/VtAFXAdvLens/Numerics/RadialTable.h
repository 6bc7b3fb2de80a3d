// One classic radial polynomial f(r) = r * (1 + k1 r^2 + k2 r^3 + k3 r^4), the radius range
// on which it increases, and the tabulated inverse of f on that range.
#pragma once

#include <cstdint>

// Number of samples allocated for each of a table's arrays.
constexpr int32_t kRadialTableSamples = 50;

struct RadialTable {
  double k1;            // coefficient of r^2 inside the factor
  double k2;            // coefficient of r^3 inside the factor
  double k3;            // coefficient of r^4 inside the factor
  double range;         // largest radius the inverse table covers
  double limitSquared;  // square of the largest radius at which the forward map is in range
  double endRatio;      // radii[count-1] / distorted[count-1], used beyond the table
  int32_t count;        // valid samples, 1 to 50 once built; 0 when reset
  double* distorted;    // f(r_i), strictly increasing; owned, new[]-allocated
  double* radii;        // r_i = i * range / 49; owned, new[]-allocated
  double* curvature;    // spline second derivatives of r over f; owned, new[]-allocated
};

// Makes `table` empty: numbers to zero, array pointers to null. Frees nothing: a built
// table must be released first, or its arrays are lost.
void ResetRadialTable(RadialTable& table);

// Frees the three arrays of `table` (null pointers are harmless) and nulls them, so a
// second release or a later reset never frees the same memory twice.
void ReleaseRadialTable(RadialTable& table);
