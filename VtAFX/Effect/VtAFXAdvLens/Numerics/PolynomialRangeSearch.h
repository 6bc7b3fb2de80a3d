// The radius range on which a classic radial polynomial
//   f(r) = r * (1 + k1 r^2 + k2 r^3 + k3 r^4)
// increases, found from the roots of its derivative
//   f'(t) = 1 + 3 k1 t^2 + 4 k2 t^3 + 5 k3 t^4.
// Roots are counted by Descartes' rule of signs after mapping an interval onto the
// positive half-line, isolated by bisection with a Taylor-form enclosure, and polished by a
// bracketed Newton iteration.
//
// A range polynomial is six doubles p[0] to p[5], constant term first. Every operation here
// is pure and reentrant, and every loop ends, also for NaN and infinite inputs.
#pragma once

#include <cstdint>

// Number of coefficients of a range polynomial (degree 5 at most).
constexpr int32_t kRangePolynomialSize = 6;

// Binomial coefficients: BinomialTable[i][j] is i choose j for j <= i, 0 for j > i.
extern const int32_t BinomialTable[kRangePolynomialSize][kRangePolynomialSize];

// Returns f(r) = r (1 + k1 r^2 + k2 r^3 + k3 r^4), evaluated as
// (((k3 r + k2) r + k1) r^2 + 1) r.
double ClassicRadialValue(double k1, double k2, double k3, double r);

// Returns f'(r) = 1 + 3 k1 r^2 + 4 k2 r^3 + 5 k3 r^4, evaluated as
// ((5 k3 r + 4 k2) r + 3 k1) r^2 + 1.
double ClassicRadialSlope(double k1, double k2, double k3, double r);

// What FindMonotonicRange decides for a table: the largest radius the inverse table covers,
// and the squared radius up to which the forward map counts as in range.
struct MonotonicRange {
  double range;
  double limitSquared;
};

// Returns the radius range on which f(r) = r (1 + k1 r^2 + k2 r^3 + k3 r^4) increases.
// requestedRadius is the radius up to which the caller needs the table (0: a default of
// 10). With no negative coefficient the range is 1.05 times the request and unlimited
// forward (limitSquared 1e10); with only a negative k1 it is the closed-form turning
// point; otherwise a march outwards finds where f stops increasing, refined to the first
// root of f' that the root count reveals.
MonotonicRange FindMonotonicRange(double k1, double k2, double k3, double requestedRadius);

// Writes to c the coefficients (constant first, zero-padded) of
// (1 + t)^d * P((a + b t) / (1 + t)), whose positive roots t correspond one to one to the
// roots of P in (a, b). P is 1 + p[2] t^2 + p[3] t^3 + p[4] t^4 (p[0] = 1 and p[1] = 0 are
// assumed, p[5] is ignored); d is 4 when p[4] != 0, else 3 when p[3] != 0. When
// p[3] = p[4] = 0 all six coefficients are 0.
void IntervalTransform(const double p[kRangePolynomialSize], double a, double b,
                       double c[kRangePolynomialSize]);

// Returns the number of sign changes of IntervalTransform(p, a, b): an upper bound on the
// number of roots of P in the open interval (a, b) with the same parity, exact for 0 and 1.
// Same assumptions on p as IntervalTransform; 0 when p[3] = p[4] = 0.
int32_t CountIntervalRoots(const double p[kRangePolynomialSize], double a, double b);

// Returns the number of sign changes along c[0] .. c[5], skipping values that are neither
// positive nor negative (zero and NaN).
int32_t CountSignChanges(const double c[kRangePolynomialSize]);

// Looks for an interval holding exactly one root of p in [a, b], searching the left half
// first, so the leftmost root the counts reveal is found. Returns 1 and writes the interval
// to *lo and *hi on success; returns 0 and writes nothing when no root can be isolated.
int32_t IsolateRoot(const double p[kRangePolynomialSize], double a, double b, double* lo,
                    double* hi);

// Returns a root of p0 + p1 t + ... + p4 t^4 (p[5] is ignored) polished by Newton steps
// from the middle of [lo, hi]. Steps that would leave the bracket are halved; at most 20
// steps. When the residual is below 1e-6, a halved step falls below 1e-6, or a step is not
// finite (zero derivative), the current estimate is the root. Never leaves [lo, hi].
double RefineRoot(const double p[kRangePolynomialSize], double lo, double hi);
