#include "Numerics/SplineTables.h"

#include <cmath>
#include <memory>

#include "Numerics/PolynomialRangeSearch.h"

namespace {

// Residual on the distorted radius below which the inverse needs no Newton polish.
constexpr double kInverseTolerance = 1e-10;
constexpr int32_t kInverseMaxSteps = 20;

}  // namespace

void BuildRadialTable(RadialTable& table, double k1, double k2, double k3, double requestedRadius) {
  table.k1 = k1;
  table.k2 = k2;
  table.k3 = k3;
  const MonotonicRange found = FindMonotonicRange(k1, k2, k3, requestedRadius);
  table.range = found.range;
  table.limitSquared = found.limitSquared;

  // Each array is handed to the table as soon as it exists, so that a later allocation
  // failure leaves nothing the table's release would miss.
  table.distorted = new double[kRadialTableSamples];
  table.radii = new double[kRadialTableSamples];
  table.curvature = new double[kRadialTableSamples];

  table.count = kRadialTableSamples;
  table.distorted[0] = 0.0;
  table.radii[0] = 0.0;
  const double step = table.range / static_cast<double>(kRadialTableSamples - 1);
  for (int32_t i = 1; i < kRadialTableSamples; ++i) {
    const double r = static_cast<double>(i) * step;
    table.distorted[i] = ClassicRadialValue(k1, k2, k3, r);
    table.radii[i] = r;
    // The spline needs strictly increasing abscissae: cut where f stops increasing.
    if (table.distorted[i - 1] >= table.distorted[i]) {
      table.count = i;
      break;
    }
  }
  const int32_t last = table.count - 1;
  table.endRatio = table.radii[last] / table.distorted[last];
  FitNaturalSpline(table.distorted, table.radii, table.count, table.curvature);
}

double RadialFactor(const RadialTable& table, double x, int32_t* inRange) {
  if (inRange) *inRange = x > table.limitSquared ? 0 : 1;
  if (table.k2 == 0.0) return (table.k1 + x * table.k3) * x + 1.0;
  return (std::sqrt(x) * table.k2 + x * table.k3 + table.k1) * x + 1.0;
}

double EvenRadialFactor(const RadialTable& table, double x, int32_t* inRange) {
  if (inRange) *inRange = x > table.limitSquared ? 0 : 1;
  return (x * table.k3 + table.k1) * x + 1.0;
}

int32_t InverseRadialScale(const RadialTable& table, double y, double* scale) {
  if (!(y > 0.0)) {
    *scale = 1.0;
    return 1;
  }
  if (table.count < 1) {
    *scale = 1.0;
    return 0;
  }
  const int32_t last = table.count - 1;
  if (table.count > 1 && y > table.distorted[last]) {
    *scale = table.endRatio;
    return 0;
  }
  double r = EvalSpline(table.distorted, table.radii, table.curvature, table.count, y);
  double d = y - ClassicRadialValue(table.k1, table.k2, table.k3, r);
  if (std::fabs(d) >= kInverseTolerance) {
    for (int32_t steps = 1;; ++steps) {
      r = r + d / ClassicRadialSlope(table.k1, table.k2, table.k3, r);
      if (r > table.radii[last]) {
        *scale = table.endRatio;
        return 0;
      }
      if (steps == kInverseMaxSteps) break;
      d = y - ClassicRadialValue(table.k1, table.k2, table.k3, r);
      if (std::fabs(d) < kInverseTolerance) break;
    }
  }
  *scale = r / y;
  return 1;
}

void FitNaturalSpline(const double* x, const double* y, int32_t n, double* m) {
  if (n <= 0) return;
  if (n <= 2) {
    for (int32_t i = 0; i < n; ++i) m[i] = 0.0;
    return;
  }
  // One block holds both scratch arrays: the diagonal sweep d (which becomes the result)
  // and the right-hand sides u.
  std::unique_ptr<double[]> scratch(new double[2 * static_cast<size_t>(n)]);
  double* d = scratch.get();
  double* u = d + n;
  d[0] = 0.0;
  u[0] = 0.0;
  for (int32_t i = 1; i < n - 1; ++i) {
    const double sig = (x[i] - x[i - 1]) / (x[i + 1] - x[i - 1]);
    const double p = sig * d[i - 1] + 2.0;
    d[i] = (sig - 1.0) / p;
    u[i] = (y[i + 1] - y[i]) / (x[i + 1] - x[i]) - (y[i] - y[i - 1]) / (x[i] - x[i - 1]);
    u[i] = (6.0 * u[i] / (x[i + 1] - x[i - 1]) - sig * u[i - 1]) / p;
  }
  // The natural end written as the general end condition with zero slope terms, so that
  // a non-finite right-hand side propagates exactly as the general form would.
  d[n - 1] = (0.0 - 0.0 * u[n - 2]) / (0.0 * d[n - 2] + 1.0);
  for (int32_t k = n - 2; k >= 0; --k) d[k] = d[k] * d[k + 1] + u[k];
  for (int32_t i = 0; i < n; ++i) m[i] = d[i];
}

double EvalSpline(const double* x, const double* y, const double* m, int32_t n, double t) {
  if (n <= 0) return 0.0;
  if (n == 1) return y[0];
  if (t <= x[0]) return y[0];
  if (t >= x[n - 1]) return y[n - 1];
  int32_t lo = 0;
  int32_t hi = n - 1;
  while (hi - lo > 1) {
    const int32_t mid = (lo + hi) / 2;
    if (x[mid] > t) {
      hi = mid;
    } else {
      lo = mid;
    }
  }
  const double h = x[hi] - x[lo];
  const double a = (x[hi] - t) / h;
  const double b = (t - x[lo]) / h;
  return (a * y[lo] + b * y[hi]) +
         ((a * a * a - a) * m[lo] + (b * b * b - b) * m[hi]) * (h * h) * 0.16666666666666666;
}
