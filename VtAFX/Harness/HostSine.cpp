#include "HostSine.h"

#include <cmath>

namespace harness {

namespace {

// An unevaluated sum hi + lo with |lo| <= half an ulp of hi.
struct DoubleDouble {
  double hi;
  double lo;
};

// Exact a + b (Knuth).
DoubleDouble TwoSum(double a, double b) {
  const double s = a + b;
  const double v = s - a;
  return {s, (a - (s - v)) + (b - v)};
}

// Exact a + b when |a| >= |b| (Dekker).
DoubleDouble FastTwoSum(double a, double b) {
  const double s = a + b;
  return {s, b - (s - a)};
}

// Exact a * b by Dekker's splitting: no fused multiply-add is available to us.
DoubleDouble TwoProduct(double a, double b) {
  constexpr double kSplitter = 134217729.0;  // 2^27 + 1
  const double ca = kSplitter * a;
  const double ah = ca - (ca - a);
  const double al = a - ah;
  const double cb = kSplitter * b;
  const double bh = cb - (cb - b);
  const double bl = b - bh;
  const double p = a * b;
  return {p, ((ah * bh - p) + ah * bl + al * bh) + al * bl};
}

DoubleDouble Add(DoubleDouble a, DoubleDouble b) {
  DoubleDouble s = TwoSum(a.hi, b.hi);
  const DoubleDouble t = TwoSum(a.lo, b.lo);
  s = FastTwoSum(s.hi, s.lo + t.hi);
  return FastTwoSum(s.hi, s.lo + t.lo);
}

DoubleDouble Multiply(DoubleDouble a, DoubleDouble b) {
  const DoubleDouble p = TwoProduct(a.hi, b.hi);
  return FastTwoSum(p.hi, p.lo + (a.hi * b.lo + a.lo * b.hi));
}

// a / b for a whole number b small enough to be exact.
DoubleDouble Divide(DoubleDouble a, double b) {
  const double q1 = a.hi / b;
  const DoubleDouble p = TwoProduct(q1, b);
  const DoubleDouble r = TwoSum(a.hi, -p.hi);
  const double q2 = ((r.hi + r.lo) - p.lo + a.lo) / b;
  return FastTwoSum(q1, q2);
}

// Taylor series of sin r (first term r) or cos r (first term 1) for |r| <= pi/4 + a
// little: the terms fall below 2^-110 of the sum well within 20 steps.
DoubleDouble Series(DoubleDouble r, bool cosine) {
  const DoubleDouble r2 = Multiply(r, r);
  DoubleDouble term = cosine ? DoubleDouble{1.0, 0.0} : r;
  DoubleDouble sum = term;
  double n = cosine ? 0.0 : 1.0;  // power of r in `term`
  for (int i = 0; i < 20; ++i) {
    term = Divide(Multiply(term, r2), -((n + 1.0) * (n + 2.0)));
    n += 2.0;
    sum = Add(sum, term);
    if (std::fabs(term.hi) < 0x1p-112 * std::fabs(sum.hi)) break;
  }
  return sum;
}

}  // namespace

double HostSine(double x) {
  if (std::isnan(x) || std::isinf(x)) return x - x;
  const double ax = std::fabs(x);
  // sin x = x (1 - x^2/6 + ...) rounds to x itself here; keeps the sign of zero.
  if (ax < 0x1p-26) return x;
  if (ax >= 0x1p30) return std::sin(x);

  // x = k pi/2 + r with |r| <= pi/4 (about): pi/2 in three parts carries ~160 bits, and
  // k is below 2^30, so k times each part is exact or nearly so.
  constexpr double kPiOver2[3] = {0x1.921fb54442d18p+0, 0x1.1a62633145c07p-54,
                                  -0x1.f1976b7ed8fbcp-110};
  const double k = std::nearbyint(x * 0.63661977236758138);  // 2 / pi
  DoubleDouble r{x, 0.0};
  const DoubleDouble p1 = TwoProduct(k, kPiOver2[0]);
  const DoubleDouble p2 = TwoProduct(k, kPiOver2[1]);
  r = Add(r, {-p1.hi, -p1.lo});
  r = Add(r, {-p2.hi, -p2.lo});
  r = Add(r, {-(k * kPiOver2[2]), 0.0});

  const long quadrant = static_cast<long>(std::fmod(k, 4.0) + (k < 0 ? 4.0 : 0.0)) & 3;
  const DoubleDouble s = Series(r, quadrant == 1 || quadrant == 3);
  const double value = s.hi + s.lo;
  return quadrant >= 2 ? -value : value;
}

}  // namespace harness
