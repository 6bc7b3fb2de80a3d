#include "Numerics/PolynomialRangeSearch.h"

#include <cmath>

const int32_t BinomialTable[kRangePolynomialSize][kRangePolynomialSize] = {
    {1, 0, 0, 0, 0, 0}, {1, 1, 0, 0, 0, 0}, {1, 2, 1, 0, 0, 0},
    {1, 3, 3, 1, 0, 0}, {1, 4, 6, 4, 1, 0}, {1, 5, 10, 10, 5, 1},
};

namespace {

// The march halves its step at a fold until the step drops below this.
constexpr double kMarchMinStep = 5e-5;

// A march to any radius a lens image needs ends far sooner. The cap only matters for an
// absurd requested radius (huge, infinite or NaN), which marching at 0.1 per step would
// never reach; with it the march still ends within milliseconds, where it has got to.
constexpr int32_t kMarchMaxSteps = 1 << 20;

// Integer powers built from the square, so that every caller rounds the same way.
double Power(double x, int32_t n) {
  const double x2 = x * x;
  const double x4 = x2 * x2;
  switch (n) {
    case 0: return 1.0;
    case 1: return x;
    case 2: return x2;
    case 3: return x2 * x;
    case 4: return x4;
    default: return x4 * x;
  }
}

}  // namespace

double ClassicRadialValue(double k1, double k2, double k3, double r) {
  return (((k3 * r + k2) * r + k1) * (r * r) + 1.0) * r;
}

double ClassicRadialSlope(double k1, double k2, double k3, double r) {
  return ((5.0 * k3 * r + 4.0 * k2) * r + 3.0 * k1) * (r * r) + 1.0;
}

MonotonicRange FindMonotonicRange(double k1, double k2, double k3, double requestedRadius) {
  const double limit = requestedRadius == 0.0 ? 10.0 : requestedRadius * 1.05;
  if (k3 >= 0.0 && k2 >= 0.0 && k1 >= 0.0) {
    return {limit, 1e10};
  }
  if (k3 == 0.0 && k2 == 0.0) {
    const double turn = 1.0 / std::sqrt(-3.0 * k1);
    return {turn, turn * turn};
  }

  double r = 0.1;
  double h = 0.1;
  double fPrev = 0.0;
  for (int32_t steps = 0; steps < kMarchMaxSteps; ++steps) {
    const double t = r + h;
    const double v = ClassicRadialValue(k1, k2, k3, t);
    const double d = ClassicRadialSlope(k1, k2, k3, t);
    // Written as "not accepted" rather than "fold found" so that a NaN value or slope
    // counts as a fold: the step then shrinks away and the march ends instead of running on.
    if (!(fPrev <= v) || !(d >= 0.0)) {
      if (h < kMarchMinStep) break;
      h *= 0.5;
      continue;
    }
    r = t;
    fPrev = v;
    if (t >= limit && v >= limit) break;
  }

  const double p[kRangePolynomialSize] = {1.0, 0.0, 3.0 * k1, 4.0 * k2, 5.0 * k3, 0.0};
  const int32_t roots = CountIntervalRoots(p, 0.0, r);
  double lo = 0.0;
  double hi = r;
  if (roots == 1 || (roots >= 2 && IsolateRoot(p, 0.0, r, &lo, &hi))) {
    const double turn = RefineRoot(p, lo, hi);
    return {turn, turn * turn};
  }
  return {r, r * r};
}

void IntervalTransform(const double p[kRangePolynomialSize], double a, double b,
                       double c[kRangePolynomialSize]) {
  const double p2 = p[2];
  const double p3 = p[3];
  const double p4 = p[4];
  const double a2 = a * a;
  const double b2 = b * b;
  if (p4 != 0.0) {
    c[0] = ((p4 * a + p3) * a + p2) * a2 + 1.0;
    c[1] = ((3.0 * b + a) * p3 + 4.0 * p4 * a * b) * a2 + 2.0 * p2 * (a * b + a2) + 4.0;
    c[2] = 6.0 + p2 * (a2 + 4.0 * a * b + b2) + 3.0 * p3 * a * b * (a + b) + 6.0 * p4 * a2 * b2;
    c[3] = ((3.0 * a + b) * p3 + 4.0 * p4 * a * b) * b2 + 2.0 * p2 * (b2 + a * b) + 4.0;
    c[4] = ((p4 * b + p3) * b + p2) * b2 + 1.0;
    c[5] = 0.0;
  } else if (p3 != 0.0) {
    c[0] = (p3 * a + p2) * a2 + 1.0;
    c[1] = (2.0 * a * b + a2) * p2 + 3.0 * p3 * a2 * b + 3.0;
    c[2] = (2.0 * a * b + b2) * p2 + 3.0 * p3 * a * b2 + 3.0;
    c[3] = (p3 * b + p2) * b2 + 1.0;
    c[4] = 0.0;
    c[5] = 0.0;
  } else {
    for (int32_t i = 0; i < kRangePolynomialSize; ++i) c[i] = 0.0;
  }
}

int32_t CountIntervalRoots(const double p[kRangePolynomialSize], double a, double b) {
  double c[kRangePolynomialSize];
  IntervalTransform(p, a, b, c);
  return CountSignChanges(c);
}

int32_t CountSignChanges(const double c[kRangePolynomialSize]) {
  int32_t changes = 0;
  int32_t previousSign = 0;
  for (int32_t i = 0; i < kRangePolynomialSize; ++i) {
    const int32_t sign = c[i] > 0.0 ? 1 : (c[i] < 0.0 ? -1 : 0);
    if (sign == 0) continue;
    if (previousSign != 0 && sign != previousSign) ++changes;
    previousSign = sign;
  }
  return changes;
}

int32_t IsolateRoot(const double p[kRangePolynomialSize], double a, double b, double* lo,
                    double* hi) {
  const double w = b - a;
  const double m = (a + b) * 0.5;
  if (w < 1.0) {
    // Taylor coefficients of p about the midpoint: p(m + s) = sum of q[j] s^j.
    double q[kRangePolynomialSize];
    for (int32_t j = 0; j < kRangePolynomialSize; ++j) {
      double sum = static_cast<double>(BinomialTable[j][j]) * p[j];
      for (int32_t i = j + 1; i < kRangePolynomialSize; ++i) {
        sum += static_cast<double>(BinomialTable[i][j]) * p[i] * Power(m, i - j);
      }
      q[j] = sum;
    }
    const double e = w * 0.5;
    const double e2 = e * e;
    const double e3 = e2 * e;
    const double e4 = e2 * e2;
    const double e5 = e4 * e;
    const double lower = q[0] - std::fabs(q[1]) * e + std::fmin(q[2] * e2, 0.0) -
                         std::fabs(q[3]) * e3 + std::fmin(q[4] * e4, 0.0) - std::fabs(q[5]) * e5;
    const double upper = q[0] + std::fabs(q[1]) * e + std::fmax(q[2] * e2, 0.0) +
                         std::fabs(q[3]) * e3 + std::fmax(q[4] * e4, 0.0) + std::fabs(q[5]) * e5;
    if (!(lower <= 0.0 && upper >= 0.0)) return 0;
    if (std::fabs(q[0]) < 1e-6 || w < 1e-4) {
      *lo = a;
      *hi = b;
      return 1;
    }
  }
  // Halving only ends the recursion while the midpoint splits the interval: with infinite
  // or NaN ends, or ends so large that no double lies between them, give up instead.
  if (!(a < m && m < b)) return 0;

  const int32_t left = CountIntervalRoots(p, a, m);
  if (left == 1) {
    *lo = a;
    *hi = m;
    return 1;
  }
  if (left >= 2 && IsolateRoot(p, a, m, lo, hi)) return 1;
  const int32_t right = CountIntervalRoots(p, m, b);
  if (right == 1) {
    *lo = m;
    *hi = b;
    return 1;
  }
  if (right >= 2) return IsolateRoot(p, m, b, lo, hi);
  return 0;
}

double RefineRoot(const double p[kRangePolynomialSize], double lo, double hi) {
  double r = (lo + hi) * 0.5;
  for (int32_t iteration = 0; iteration < 20; ++iteration) {
    const double v = (((p[4] * r + p[3]) * r + p[2]) * r + p[1]) * r + p[0];
    if (std::fabs(v) < 1e-6) break;
    double s = v / ((((4.0 * p[4]) * r + 3.0 * p[3]) * r + 2.0 * p[2]) * r + p[1]);
    // At a zero derivative the step is infinite and halving it never makes it small; a
    // NaN step would carry the estimate out of the bracket. Either way, keep what we have.
    if (!std::isfinite(s)) break;
    double t = r - s;
    bool stalled = false;
    while (t > hi || t < lo) {
      s *= 0.5;
      if (std::fabs(s) < 1e-6) {
        stalled = true;
        break;
      }
      t = r - s;
    }
    if (stalled) break;
    r = t;
  }
  return r;
}
