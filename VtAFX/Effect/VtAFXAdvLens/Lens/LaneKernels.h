// The lens kinds written once over a lane type V (a SIMD register of doubles, or several
// side by side), compiled once per instruction set: each Lanes*.cpp defines its register type
// with these operations, then includes this file. Everything here has internal linkage, so
// no function compiled for a wider instruction set can stand in for another file's copy.
//
// V offers: construction from a double (every lane), + - * / (IEEE, each rounded once, no
// fused operations), and the free functions Sqrt, Abs, Max (the second operand when either
// is NaN), Neg (the sign flipped, NaN's too, as unary minus does), Lt, Le, Gt, Ge, Eq
// (ordered: false for NaN), And, Or, AndNot (a and not b), Select (mask ? a : b), Any,
// Store (doubles), StoreFloats (narrowing to floats), RoundedToFloat, StoreFlags (1 or 0
// per lane); and the static members AllLanes, NoLanes, Load (doubles), LoadFloats
// (widening floats), LoadFlags.
//
// Each expression below is the one of the one-point mapping it mirrors, term for term and
// grouped the same way, so that every lane rounds exactly as the one-point code does.
//
// Requires, before inclusion: <cmath>, <cstdint>, "Lens/LaneKernelTable.h",
// "Lens/NewtonInversion.h".

namespace {

template <class V>
using MaskOf = typename V::Mask;

// N registers of R used as one wider lane type. A Newton iteration is one long chain of
// dependent operations; several independent registers in flight let the processor overlap
// their chains instead of waiting on each. Every lane still sees exactly its own operations.
template <class R, int N>
struct Registers {
  static constexpr int kLanes = R::kLanes * N;
  struct Mask {
    MaskOf<R> m[N];
  };
  R r[N];

  Registers(double s) {  // NOLINT: broadcasts, as scalar code mixes doubles
    for (R& x : r) x = R(s);
  }
  Registers() = default;

  static Mask AllLanes() { return Same(R::AllLanes()); }
  static Mask NoLanes() { return Same(R::NoLanes()); }
  static Registers Load(const double* p) {
    Registers a;
    for (int i = 0; i < N; ++i) a.r[i] = R::Load(p + i * R::kLanes);
    return a;
  }
  static Registers LoadFloats(const float* p) {
    Registers a;
    for (int i = 0; i < N; ++i) a.r[i] = R::LoadFloats(p + i * R::kLanes);
    return a;
  }
  static Mask LoadFlags(const int32_t* flags) {
    Mask m;
    for (int i = 0; i < N; ++i) m.m[i] = R::LoadFlags(flags + i * R::kLanes);
    return m;
  }

  template <class Op>
  static Registers Each(const Registers& a, const Registers& b, Op op) {
    Registers out;
    for (int i = 0; i < N; ++i) out.r[i] = op(a.r[i], b.r[i]);
    return out;
  }
  template <class Op>
  static Registers Each(const Registers& a, Op op) {
    Registers out;
    for (int i = 0; i < N; ++i) out.r[i] = op(a.r[i]);
    return out;
  }
  template <class Op>
  static Mask Compare(const Registers& a, const Registers& b, Op op) {
    Mask m;
    for (int i = 0; i < N; ++i) m.m[i] = op(a.r[i], b.r[i]);
    return m;
  }
  template <class Op>
  static Mask Masks(const Mask& a, const Mask& b, Op op) {
    Mask m;
    for (int i = 0; i < N; ++i) m.m[i] = op(a.m[i], b.m[i]);
    return m;
  }
  static Mask Same(MaskOf<R> one) {
    Mask m;
    for (MaskOf<R>& x : m.m) x = one;
    return m;
  }

  friend Registers operator+(const Registers& a, const Registers& b) {
    return Each(a, b, [](R x, R y) { return x + y; });
  }
  friend Registers operator-(const Registers& a, const Registers& b) {
    return Each(a, b, [](R x, R y) { return x - y; });
  }
  friend Registers operator*(const Registers& a, const Registers& b) {
    return Each(a, b, [](R x, R y) { return x * y; });
  }
  friend Registers operator/(const Registers& a, const Registers& b) {
    return Each(a, b, [](R x, R y) { return x / y; });
  }
  friend Registers Sqrt(const Registers& a) {
    return Each(a, [](R x) { return Sqrt(x); });
  }
  friend Registers Abs(const Registers& a) {
    return Each(a, [](R x) { return Abs(x); });
  }
  friend Registers Neg(const Registers& a) {
    return Each(a, [](R x) { return Neg(x); });
  }
  friend Registers Max(const Registers& a, const Registers& b) {
    return Each(a, b, [](R x, R y) { return Max(x, y); });
  }
  friend Mask Lt(const Registers& a, const Registers& b) {
    return Compare(a, b, [](R x, R y) { return Lt(x, y); });
  }
  friend Mask Le(const Registers& a, const Registers& b) {
    return Compare(a, b, [](R x, R y) { return Le(x, y); });
  }
  friend Mask Gt(const Registers& a, const Registers& b) {
    return Compare(a, b, [](R x, R y) { return Gt(x, y); });
  }
  friend Mask Ge(const Registers& a, const Registers& b) {
    return Compare(a, b, [](R x, R y) { return Ge(x, y); });
  }
  friend Mask Eq(const Registers& a, const Registers& b) {
    return Compare(a, b, [](R x, R y) { return Eq(x, y); });
  }
  friend Mask And(const Mask& a, const Mask& b) {
    return Masks(a, b, [](MaskOf<R> x, MaskOf<R> y) { return And(x, y); });
  }
  friend Mask Or(const Mask& a, const Mask& b) {
    return Masks(a, b, [](MaskOf<R> x, MaskOf<R> y) { return Or(x, y); });
  }
  friend Mask AndNot(const Mask& a, const Mask& b) {
    return Masks(a, b, [](MaskOf<R> x, MaskOf<R> y) { return AndNot(x, y); });
  }
  friend Registers Select(const Mask& m, const Registers& a, const Registers& b) {
    Registers out;
    for (int i = 0; i < N; ++i) out.r[i] = Select(m.m[i], a.r[i], b.r[i]);
    return out;
  }
  // One test for all registers: the lane masks are merged first.
  friend bool Any(const Mask& m) {
    MaskOf<R> any = m.m[0];
    for (int i = 1; i < N; ++i) any = Or(any, m.m[i]);
    return Any(any);
  }
  friend Registers RoundedToFloat(const Registers& a) {
    return Each(a, [](R x) { return RoundedToFloat(x); });
  }
  friend void Store(double* p, const Registers& a) {
    for (int i = 0; i < N; ++i) Store(p + i * R::kLanes, a.r[i]);
  }
  friend void StoreFloats(float* p, const Registers& a) {
    for (int i = 0; i < N; ++i) StoreFloats(p + i * R::kLanes, a.r[i]);
  }
  friend void StoreFlags(int32_t* flags, const Mask& m) {
    for (int i = 0; i < N; ++i) StoreFlags(flags + i * R::kLanes, m.m[i]);
  }
};

// std::fmax: the number when one operand is NaN.
template <class V>
V NumericMax(V a, V b) {
  return Select(Eq(b, b), Max(a, b), a);
}

template <class V>
struct LaneJacobian {
  V pu, pv, j11, j12, j21, j22;
};

// InvertPolynomialMap, lane by lane: a lane that stops keeps its iterate and its flag while
// the others go on.
template <class V, class Map>
MaskOf<V> InvertLanes(const Map& map, V targetX, V targetY, V& u, V& v) {
  const V tolerance(1e-8);
  u = 0.5 * targetX;
  v = 0.5 * targetY;
  V previousError(1e10);
  MaskOf<V> active = V::AllLanes();
  MaskOf<V> converged = V::NoLanes();
  for (int iteration = 0; iteration < 25 && Any(active); ++iteration) {
    const LaneJacobian<V> m = map(u, v);
    const V ex = targetX - m.pu;
    const V ey = targetY - m.pv;
    const V error = ex * ex + ey * ey;
    const MaskOf<V> diverging = Gt(error, previousError);
    const MaskOf<V> flat = AndNot(And(And(Lt(Abs(m.j11), tolerance), Lt(Abs(m.j12), tolerance)),
                                      And(Lt(Abs(m.j21), tolerance), Lt(Abs(m.j22), tolerance))),
                                  diverging);
    converged = Or(converged, And(active, flat));
    const V det = m.j11 * m.j22 - m.j21 * m.j12;
    const MaskOf<V> stop = Or(Or(diverging, flat), Eq(det, V(0.0)));
    V du = (m.j22 * ex - m.j12 * ey) / det;
    V dv = (m.j11 * ey - m.j21 * ex) / det;
    const V longest = NumericMax(Abs(du), Abs(dv));
    const MaskOf<V> tooLong = Gt(longest, V(0.1));
    // Near the solution no step is long: the division for the shrink would sit on the
    // iteration's critical path only to be thrown away.
    if (Any(tooLong)) {
      const V shrink = V(0.1) / longest;
      du = Select(tooLong, du * shrink, du);
      dv = Select(tooLong, dv * shrink, dv);
    }
    const MaskOf<V> stepping = AndNot(active, stop);
    u = Select(stepping, u + du, u);
    v = Select(stepping, v + dv, v);
    previousError = Select(stepping, error, previousError);
    const MaskOf<V> settled = And(stepping, And(Lt(Abs(du), tolerance), Lt(Abs(dv), tolerance)));
    converged = Or(converged, settled);
    active = AndNot(stepping, settled);
  }
  return converged;
}

// FoldProbeAccepts.
template <class V>
MaskOf<V> ProbeAccepts(V outX, V outY, V probedX, V probedY, V centreX, V centreY) {
  const V dot = (probedX - outX) * (outX - centreX) + (probedY - outY) * (outY - centreY);
  return Ge(dot, V(0.0));
}

// --- Radial 4th-order (kinds 2 and 6): coef 0..7 = C2, U2, V2, C4, U4, V4, HCTR, VCTR ---

// Whether a coefficient is +0.0 exactly (not -0.0, not NaN): a term it multiplies is then a
// zero whose sign the shortcut below can tell in advance.
inline bool IsPositiveZero(double c) { return c == 0.0 && !std::signbit(c); }

template <class V>
struct Radial4Poly {
  const double* c;
  // Without the decentring terms (U2, V2, U4, V4 all +0.0, the usual lens) each of them is a
  // signed zero, and adding signed zeros to a sum changes at most the sign of a zero sum. So
  // pu = g u + 0 and j11 = (dg/du u + g) + (0 u + 0 v), and so on, give the full sums' bits,
  // as long as every term is finite: r2 < 1e300 keeps a = r2 + 2 u^2 and t = 2 u v finite.
  // A register with any lane outside (or NaN) takes the full sums.
  bool radialOnly =
      IsPositiveZero(c[1]) && IsPositiveZero(c[2]) && IsPositiveZero(c[4]) && IsPositiveZero(c[5]);

  bool Shortcut(V r2) const { return radialOnly && !Any(AndNot(V::AllLanes(), Lt(r2, V(1e300)))); }

  void Value(V u, V v, V& pu, V& pv, V& g) const {
    const V r2 = u * u + v * v;
    g = 1.0 + c[0] * r2 + c[3] * (r2 * r2);
    if (Shortcut(r2)) {
      pu = g * u + 0.0;
      pv = g * v + 0.0;
      return;
    }
    const V a = r2 + 2.0 * (u * u);
    const V b = r2 + 2.0 * (v * v);
    const V t = 2.0 * u * v;
    pu = g * u + c[1] * a + c[2] * t + r2 * (c[4] * a + c[5] * t);
    pv = g * v + c[2] * b + c[1] * t + r2 * (c[5] * b + c[4] * t);
  }
  LaneJacobian<V> operator()(V u, V v) const {
    LaneJacobian<V> j;
    const V r2 = u * u + v * v;
    const V g = 1.0 + c[0] * r2 + c[3] * (r2 * r2);
    const V dgdr2 = c[0] + 2.0 * c[3] * r2;
    const V dgdu = dgdr2 * (2.0 * u);
    const V dgdv = dgdr2 * (2.0 * v);
    if (Shortcut(r2)) {
      // The decentring terms of each derivative sum to -0 exactly when u and v both carry
      // a sign bit, as 0 u + 0 v does.
      const V zeros = 0.0 * u + 0.0 * v;
      j.pu = g * u + 0.0;
      j.pv = g * v + 0.0;
      j.j11 = dgdu * u + g + zeros;
      j.j12 = dgdv * u + zeros;
      j.j21 = dgdu * v + zeros;
      j.j22 = dgdv * v + g + zeros;
      return j;
    }
    const V a = r2 + 2.0 * (u * u);
    const V b = r2 + 2.0 * (v * v);
    const V t = 2.0 * u * v;
    j.pu = g * u + c[1] * a + c[2] * t + r2 * (c[4] * a + c[5] * t);
    j.pv = g * v + c[2] * b + c[1] * t + r2 * (c[5] * b + c[4] * t);
    const V tailU = c[4] * a + c[5] * t;
    const V tailV = c[5] * b + c[4] * t;
    j.j11 = dgdu * u + g + c[1] * (6.0 * u) + c[2] * (2.0 * v) + (2.0 * u) * tailU +
            r2 * (c[4] * (6.0 * u) + c[5] * (2.0 * v));
    j.j12 = dgdv * u + c[1] * (2.0 * v) + c[2] * (2.0 * u) + (2.0 * v) * tailU +
            r2 * (c[4] * (2.0 * v) + c[5] * (2.0 * u));
    j.j21 = dgdu * v + c[2] * (2.0 * u) + c[1] * (2.0 * v) + (2.0 * u) * tailV +
            r2 * (c[5] * (2.0 * u) + c[4] * (2.0 * v));
    j.j22 = dgdv * v + g + c[2] * (6.0 * v) + c[1] * (2.0 * u) + (2.0 * v) * tailV +
            r2 * (c[5] * (6.0 * v) + c[4] * (2.0 * u));
    return j;
  }
};

// --- Radial+squash (kind 4): coef 0..6 = C2, C3, C4, ECC, VSCL, HCTR, VCTR ---

template <class V>
struct SquashPoly {
  const double* c;
  void Value(V u, V v, V& pu, V& pv, V& g) const {
    const V r2 = u * u + c[3] * (v * v);
    g = 1.0 + c[0] * r2 + c[2] * (r2 * r2);
    if (c[1] != 0.0) g = Select(Gt(r2, V(0.0)), g + c[1] * r2 * Sqrt(r2), g);
    pu = g * u;
    pv = g * v;
  }
  LaneJacobian<V> operator()(V u, V v) const {
    LaneJacobian<V> j;
    V g;
    Value(u, v, j.pu, j.pv, g);
    const V r2 = u * u + c[3] * (v * v);
    const V inner = c[0] + 2.0 * c[2] * r2;
    V dgdu = 2.0 * u * inner;
    V dgdv = 2.0 * c[3] * v * inner;
    if (c[1] != 0.0) {
      const MaskOf<V> positive = Gt(r2, V(0.0));
      const V s = Sqrt(r2);
      dgdu = Select(positive, dgdu + 3.0 * c[1] * s * u, dgdu);
      dgdv = Select(positive, dgdv + 3.0 * c[1] * s * c[3] * v, dgdv);
    }
    j.j11 = g + u * dgdu;
    j.j12 = u * dgdv;
    j.j21 = v * dgdu;
    j.j22 = g + v * dgdv;
    return j;
  }
};

// The closed form in the model frame with its validity: a positive factor and a probe that
// does not move inward (centre at the origin).
template <class V, class Poly>
MaskOf<V> ModelFrameClosedForm(const Poly& poly, V u, V v, V& pu, V& pv) {
  V g, probedU, probedV, probedFactor;
  poly.Value(u, v, pu, pv, g);
  poly.Value(kFoldProbeFactor * u, kFoldProbeFactor * v, probedU, probedV, probedFactor);
  return AndNot(ProbeAccepts(pu, pv, probedU, probedV, V(0.0), V(0.0)), Le(g, V(0.0)));
}

template <class V>
struct Radial4Lanes {
  const LensModel& m;
  const double* c = m.params.coef;
  MaskOf<V> Distort(V x, V y, V& ox, V& oy) const {
    V pu, pv;
    const MaskOf<V> valid =
        ModelFrameClosedForm(Radial4Poly<V>{c}, x * m.toModelX, y * m.toModelY, pu, pv);
    ox = pu * m.fromModelX + c[6];
    oy = pv * m.fromModelY + c[7];
    return valid;
  }
  MaskOf<V> Undistort(V x, V y, V& ox, V& oy) const {
    V u, v;
    const MaskOf<V> valid =
        InvertLanes(Radial4Poly<V>{c}, (x - c[6]) * m.toModelX, (y - c[7]) * m.toModelY, u, v);
    ox = u * m.fromModelX;
    oy = v * m.fromModelY;
    return valid;
  }
};

template <class V>
struct StdRadial4Lanes {
  const LensModel& m;
  const double* c = m.params.coef;
  MaskOf<V> Undistort(V x, V y, V& ox, V& oy) const {
    V pu, pv;
    const MaskOf<V> valid = ModelFrameClosedForm(Radial4Poly<V>{c}, (x - c[6]) * m.toModelX,
                                                 (y - c[7]) * m.toModelY, pu, pv);
    ox = pu * m.fromModelX;
    oy = pv * m.fromModelY;
    return valid;
  }
  MaskOf<V> Distort(V x, V y, V& ox, V& oy) const {
    V u, v;
    const MaskOf<V> valid = InvertLanes(Radial4Poly<V>{c}, x * m.toModelX, y * m.toModelY, u, v);
    ox = u * m.fromModelX + c[6];
    oy = v * m.fromModelY + c[7];
    return valid;
  }
};

template <class V>
struct SquashLanes {
  const LensModel& m;
  const double* c = m.params.coef;
  MaskOf<V> Distort(V x, V y, V& ox, V& oy) const {
    V pu, pv;
    const MaskOf<V> valid =
        ModelFrameClosedForm(SquashPoly<V>{c}, x * m.toModelX, y * m.toModelY / c[4], pu, pv);
    ox = pu * m.fromModelX + c[5];
    oy = pv * m.fromModelY + c[6];
    return valid;
  }
  MaskOf<V> Undistort(V x, V y, V& ox, V& oy) const {
    V u, v;
    const MaskOf<V> valid =
        InvertLanes(SquashPoly<V>{c}, (x - c[5]) * m.toModelX, (y - c[6]) * m.toModelY, u, v);
    ox = u * m.fromModelX;
    oy = v * c[4] * m.fromModelY;
    return valid;
  }
};

// --- Anamorphic 6th-order (kinds 3, 5, 7, 8) ---

template <class V>
struct LaneMonomials {
  V u2, v2, u4, v4, m[9];
  LaneMonomials(V u, V v) {
    u2 = u * u;
    v2 = v * v;
    u4 = u2 * u2;
    v4 = v2 * v2;
    m[0] = u2;
    m[1] = v2;
    m[2] = u4;
    m[3] = u2 * v2;
    m[4] = v4;
    m[5] = u4 * u2;
    m[6] = u4 * v2;
    m[7] = u2 * v4;
    m[8] = v4 * v2;
  }
};

template <class V>
V LaneFactor(const double* poly, const LaneMonomials<V>& t) {
  V sum = poly[0] * t.m[0];
  for (int i = 1; i < 9; ++i) sum = sum + poly[i] * t.m[i];
  return 1.0 + sum;
}

template <class V>
void LaneFactorSlopes(const double* poly, V u, V v, const LaneMonomials<V>& t, V& dFdu, V& dFdv) {
  const V u3 = t.u2 * u;
  const V v3 = t.v2 * v;
  dFdu = poly[0] * (2.0 * u) + poly[2] * (4.0 * u3) + poly[3] * (2.0 * u * t.v2) +
         poly[5] * (6.0 * (t.u4 * u)) + poly[6] * (4.0 * u3 * t.v2) + poly[7] * (2.0 * u * t.v4);
  dFdv = poly[1] * (2.0 * v) + poly[3] * (2.0 * v * t.u2) + poly[4] * (4.0 * v3) +
         poly[6] * (2.0 * v * t.u4) + poly[7] * (4.0 * v3 * t.u2) + poly[8] * (6.0 * (t.v4 * v));
}

template <class V, bool kMerged>
struct AnamorphicPoly {
  const LensModel& m;
  void Value(V u, V v, V& pu, V& pv, V& fx, V& fy) const {
    const LaneMonomials<V> t(u, v);
    fx = LaneFactor(m.polyX, t);
    fy = kMerged ? fx : LaneFactor(m.polyY, t);
    pu = u * fx;
    pv = v * fy;
  }
  LaneJacobian<V> operator()(V u, V v) const {
    const LaneMonomials<V> t(u, v);
    const V fx = LaneFactor(m.polyX, t);
    V dFxdu, dFxdv;
    LaneFactorSlopes(m.polyX, u, v, t, dFxdu, dFxdv);
    V fy = fx, dFydu = dFxdu, dFydv = dFxdv;
    if (!kMerged) {
      fy = LaneFactor(m.polyY, t);
      LaneFactorSlopes(m.polyY, u, v, t, dFydu, dFydv);
    }
    LaneJacobian<V> j;
    j.pu = u * fx;
    j.pv = v * fy;
    j.j11 = fx + u * dFxdu;
    j.j12 = u * dFxdv;
    j.j21 = v * dFydu;
    j.j22 = fy + v * dFydv;
    return j;
  }
};

template <class V, bool kMerged>
struct AnamorphicLanes {
  const LensModel& m;
  const double* at;  // HCTR, VCTR, HSCL, VSCL
  const double squeeze;
  const AnamorphicPoly<V, kMerged> poly;
  explicit AnamorphicLanes(const LensModel& model)
      : m(model),
        at(model.params.coef + (kMerged ? 9 : 18)),
        squeeze(model.params.squeeze),
        poly{model} {}

  void ForwardTurn(V p, V q, V& outP, V& outQ) const {
    outP = m.cosRot * p + m.sinRot * q;
    outQ = m.cosRot * q - m.sinRot * p;
  }
  void BackTurn(V p, V q, V& outP, V& outQ) const {
    outP = m.cosRot * p - m.sinRot * q;
    outQ = m.sinRot * p + m.cosRot * q;
  }
  // Kinds 3 and 5, undistorted to distorted; returns the factors' validity.
  MaskOf<V> PlainPolynomial(V x, V y, V& ox, V& oy) const {
    V p, q, du, dv, fx, fy, bp, bq;
    ForwardTurn(x * m.toModelX, y * m.toModelY, p, q);
    poly.Value(p / (squeeze * at[2]), q / at[3], du, dv, fx, fy);
    BackTurn(du, dv, bp, bq);
    ox = bp * squeeze * m.fromModelX + at[0];
    oy = bq * m.fromModelY + at[1];
    return Or(Le(fx, V(0.0)), Le(fy, V(0.0)));
  }
  // Kinds 7 and 8, distorted to undistorted.
  MaskOf<V> StdPolynomial(V x, V y, V& ox, V& oy) const {
    V p, q, uu, uv, fx, fy, bp, bq;
    ForwardTurn((x - at[0]) * m.toModelX / squeeze, (y - at[1]) * m.toModelY, p, q);
    poly.Value(p, q, uu, uv, fx, fy);
    BackTurn(uu * squeeze * at[2], uv * at[3], bp, bq);
    ox = bp * m.fromModelX;
    oy = bq * m.fromModelY;
    return Or(Le(fx, V(0.0)), Le(fy, V(0.0)));
  }
  MaskOf<V> PlainDistort(V x, V y, V& ox, V& oy) const {
    V px, py;
    const MaskOf<V> folded = PlainPolynomial(x, y, ox, oy);
    PlainPolynomial(kFoldProbeFactor * x, kFoldProbeFactor * y, px, py);
    return AndNot(ProbeAccepts(ox, oy, px, py, V(at[0]), V(at[1])), folded);
  }
  MaskOf<V> PlainUndistort(V x, V y, V& ox, V& oy) const {
    V tx, ty, u, v, bp, bq;
    ForwardTurn((x - at[0]) * m.toModelX / squeeze, (y - at[1]) * m.toModelY, tx, ty);
    const MaskOf<V> valid = InvertLanes(poly, tx, ty, u, v);
    BackTurn(u * squeeze * at[2], v * at[3], bp, bq);
    ox = bp * m.fromModelX;
    oy = bq * m.fromModelY;
    return valid;
  }
  MaskOf<V> StdUndistort(V x, V y, V& ox, V& oy) const {
    V px, py;
    const MaskOf<V> folded = StdPolynomial(x, y, ox, oy);
    StdPolynomial((x - at[0]) * kFoldProbeFactor + at[0], (y - at[1]) * kFoldProbeFactor + at[1],
                  px, py);
    return AndNot(ProbeAccepts(ox, oy, px, py, V(0.0), V(0.0)), folded);
  }
  MaskOf<V> StdDistort(V x, V y, V& ox, V& oy) const {
    V p, q, u, v, bp, bq;
    ForwardTurn(x * m.toModelX, y * m.toModelY, p, q);
    const MaskOf<V> valid = InvertLanes(poly, p / (at[2] * squeeze), q / at[3], u, v);
    BackTurn(u, v, bp, bq);
    ox = bp * squeeze * m.fromModelX + at[0];
    oy = bq * m.fromModelY + at[1];
    return valid;
  }
};

template <class V, bool kMerged>
struct PlainAnamorphicLanes : AnamorphicLanes<V, kMerged> {
  using AnamorphicLanes<V, kMerged>::AnamorphicLanes;
  MaskOf<V> Distort(V x, V y, V& ox, V& oy) const { return this->PlainDistort(x, y, ox, oy); }
  MaskOf<V> Undistort(V x, V y, V& ox, V& oy) const { return this->PlainUndistort(x, y, ox, oy); }
};

template <class V, bool kMerged>
struct StdAnamorphicLanes : AnamorphicLanes<V, kMerged> {
  using AnamorphicLanes<V, kMerged>::AnamorphicLanes;
  MaskOf<V> Distort(V x, V y, V& ox, V& oy) const { return this->StdDistort(x, y, ox, oy); }
  MaskOf<V> Undistort(V x, V y, V& ox, V& oy) const { return this->StdUndistort(x, y, ox, oy); }
};

// --- Fisheye (kinds 9-12): coef 0..7 = C2, C4, C6, C8, Scale, AngFac, HCTR, VCTR ---

// The angle functions stay exact: each lane goes through the platform's own libm call, the
// one the one-point mapping makes; only the arithmetic around them runs in lanes.
template <class V, double (*kFn)(double)>
V EachLane(V a) {
  double xs[V::kLanes];
  Store(xs, a);
  for (int i = 0; i < V::kLanes; ++i) xs[i] = kFn(xs[i]);
  return V::Load(xs);
}

inline double LibmTan(double x) { return std::tan(x); }
inline double LibmAtan(double x) { return std::atan(x); }
inline double LibmSin(double x) { return std::sin(x); }
inline double LibmAsin(double x) { return std::asin(x); }

enum class FisheyeProjection { Stereographic, Equidistant, Equisolid, Orthographic };

template <class V, FisheyeProjection kProjection>
struct FisheyeLanes {
  const LensModel& m;
  const double* c = m.params.coef;

  // A(a) = 1 + C2 a^2 + C4 a^4 + C6 a^6 + C8 a^8, grouped as the one-point code groups it.
  V AngleFactor(V a) const {
    const V t = a * a;
    return (c[1] * t + c[0]) * t + 1.0 + (c[3] * t + c[2]) * (t * t * t);
  }
  V AngleSlope(V a, V factor) const {
    const V t = a * a;
    const V t2 = t * t;
    return factor + t * (2.0 * c[0] + 4.0 * c[1] * t + 6.0 * c[2] * t2 + 8.0 * c[3] * (t2 * t));
  }
  V AngleOf(V r) const {
    const double f = c[5];
    switch (kProjection) {
      case FisheyeProjection::Stereographic: return 2.0 * f * EachLane<V, LibmAtan>(r / 2.0);
      case FisheyeProjection::Equisolid: return 2.0 * f * EachLane<V, LibmAsin>(r / 2.0);
      case FisheyeProjection::Orthographic: return EachLane<V, LibmAsin>(r);
      case FisheyeProjection::Equidistant: break;
    }
    return r;
  }
  V RadiusOf(V a) const {
    const double f = c[5];
    switch (kProjection) {
      case FisheyeProjection::Stereographic:
        return f == 0.0 ? V(0.0) : 2.0 * EachLane<V, LibmTan>(a / (2.0 * f));
      case FisheyeProjection::Equisolid:
        return f == 0.0 ? V(0.0) : 2.0 * EachLane<V, LibmSin>(a / (2.0 * f));
      case FisheyeProjection::Orthographic: return EachLane<V, LibmSin>(a);
      case FisheyeProjection::Equidistant: break;
    }
    return a;
  }
  // SolveAngle, lane by lane; `a` keeps each lane's last iterate.
  MaskOf<V> SolveAngle(V target, V& a) const {
    const V tolerance(1e-8);
    a = 0.6 * target;
    V previousError(1e10);
    MaskOf<V> active = V::AllLanes();
    MaskOf<V> solved = V::NoLanes();
    for (int iteration = 0; iteration < 25 && Any(active); ++iteration) {
      const V factor = AngleFactor(a);
      const V e = target - a * factor;
      const MaskOf<V> diverging = Gt(Abs(e), previousError);
      const V slope = AngleSlope(a, factor);
      const MaskOf<V> flat = AndNot(Lt(Abs(slope), tolerance), diverging);
      solved = Or(solved, And(active, flat));
      V step = e / slope;
      // copysign(0.1, step): a step this long is neither zero nor NaN.
      step = Select(Gt(Abs(step), V(0.1)), Select(Lt(step, V(0.0)), V(-0.1), V(0.1)), step);
      const MaskOf<V> stepping = AndNot(AndNot(active, diverging), flat);
      a = Select(stepping, a + step, a);
      previousError = Select(stepping, Abs(e), previousError);
      const MaskOf<V> settled = And(stepping, Lt(Abs(step), tolerance));
      solved = Or(solved, settled);
      active = AndNot(stepping, settled);
    }
    return solved;
  }
  MaskOf<V> Undistort(V inX, V inY, V& ox, V& oy) const {
    const V x = (inX - c[6]) * m.toModelX;
    const V y = (inY - c[7]) * m.toModelY;
    const V r0 = Sqrt(x * x + y * y);
    const V w = Select(Eq(r0, V(0.0)), V(0.0), 1.0 / r0);
    const V a = AngleOf(r0 * c[4]);
    const V factor = AngleFactor(a);
    const V t = a * factor;
    const MaskOf<V> valid = And(And(Gt(factor, V(0.0)), Ge(AngleSlope(a, factor), V(0.0))),
                                Lt(Abs(t), V(1.5707963267948966)));
    // Radius scale 1.
    const V k = EachLane<V, LibmTan>(t) * w * 1.0;
    ox = k * x;
    oy = Neg(k) * y * m.aspect;
    return valid;
  }
  MaskOf<V> Distort(V inX, V inY, V& ox, V& oy) const {
    const V x = inX / 1.0;
    const V y = Neg(inY) / (1.0 * m.aspect);
    const V rho = Sqrt(x * x + y * y);
    const V w = Select(Eq(rho, V(0.0)), V(0.0), 1.0 / rho);
    const V t = EachLane<V, LibmAtan>(rho);
    V a = t;
    MaskOf<V> valid = V::AllLanes();
    if (!m.simpleForm) valid = SolveAngle(t, a);
    const V r = RadiusOf(a);
    V mx(0.0), my(0.0);
    if (c[4] != 0.0) {
      const V k = r * w / c[4];
      mx = k * x;
      my = k * y;
    }
    ox = mx * m.fromModelX + c[6];
    oy = my * m.fromModelY + c[7];
    return valid;
  }
};

template <class V>
using StereographicLanes = FisheyeLanes<V, FisheyeProjection::Stereographic>;
template <class V>
using EquidistantLanes = FisheyeLanes<V, FisheyeProjection::Equidistant>;
template <class V>
using EquisolidLanes = FisheyeLanes<V, FisheyeProjection::Equisolid>;
template <class V>
using OrthographicLanes = FisheyeLanes<V, FisheyeProjection::Orthographic>;

// --- Kinds whose mapping stays one point at a time, and the identity ---

template <class V>
struct IdentityLanes {
  const LensModel& m;
  MaskOf<V> Distort(V x, V y, V& ox, V& oy) const {
    ox = x;
    oy = y;
    return V::AllLanes();
  }
  MaskOf<V> Undistort(V x, V y, V& ox, V& oy) const { return Distort(x, y, ox, oy); }
};

// The classic kind's spline and range tables: each lane through the kind's own mapping.
template <class V>
struct PerPointLanes {
  const LensModel& m;
  template <Point2 (*kMap)(const LensModel&, Point2, double, int32_t*)>
  MaskOf<V> Each(V x, V y, V& ox, V& oy) const {
    double xs[V::kLanes], ys[V::kLanes], oxs[V::kLanes], oys[V::kLanes];
    int32_t flags[V::kLanes];
    Store(xs, x);
    Store(ys, y);
    for (int i = 0; i < V::kLanes; ++i) {
      const Point2 p = kMap(m, Point2{xs[i], ys[i]}, 1.0, &flags[i]);
      oxs[i] = p.x;
      oys[i] = p.y;
    }
    ox = V::Load(oxs);
    oy = V::Load(oys);
    return V::LoadFlags(flags);
  }
  MaskOf<V> Distort(V x, V y, V& ox, V& oy) const { return Each<::Distort>(x, y, ox, oy); }
  MaskOf<V> Undistort(V x, V y, V& ox, V& oy) const { return Each<::Undistort>(x, y, ox, oy); }
};

// --- Runs and point lists over a kernel ---

template <class V, template <class> class Kernel, bool kUndistort>
void MapRunLanes(const RunMapping& mapping, const PointPacket& outputs, PointPacket& sources) {
  const Kernel<V> kernel{*mapping.model};
  const int32_t n = ClampPacketCount(outputs.x.count);
  for (int32_t i = 0; i < n; i += V::kLanes) {
    V x, y;
    if (i + V::kLanes <= n) {
      x = V::LoadFloats(&outputs.x[i]);
      y = V::LoadFloats(&outputs.y[i]);
    } else {
      // The last chunk's lanes past the run read zeros, not whatever the packet holds.
      float xs[V::kLanes] = {}, ys[V::kLanes] = {};
      for (int32_t k = 0; i + k < n; ++k) {
        xs[k] = outputs.x[i + k];
        ys[k] = outputs.y[i + k];
      }
      x = V::LoadFloats(xs);
      y = V::LoadFloats(ys);
    }
    V nx = x * mapping.toNormScale[0] + mapping.toNormOffset[0];
    V ny = y * mapping.toNormScale[1] + mapping.toNormOffset[1];
    V mx, my;
    MaskOf<V> valid;
    if (kUndistort) {
      valid = kernel.Undistort(nx, ny, mx, my);
      mx = mx * mapping.zoom;
      my = my * mapping.zoom;
    } else {
      nx = nx * mapping.zoom;
      ny = ny * mapping.zoom;
      valid = kernel.Distort(nx, ny, mx, my);
    }
    const V unmapped(static_cast<double>(kUnmappedPosition));
    const V sx = RoundedToFloat(mx) * mapping.toPixelScale[0] + mapping.toPixelOffset[0];
    const V sy = RoundedToFloat(my) * mapping.toPixelScale[1] + mapping.toPixelOffset[1];
    // Chunks never pass slot 64: the lane counts divide the packet capacity.
    StoreFloats(&sources.x[i], Select(valid, sx, unmapped));
    StoreFloats(&sources.y[i], Select(valid, sy, unmapped));
  }
  sources.x.count = n;
  sources.y.count = n;
}

template <class V, template <class> class Kernel, bool kUndistort>
void MapPointsLanes(const LensModel& model, const double* x, const double* y, int32_t count,
                    double* outX, double* outY, int32_t* valid) {
  const Kernel<V> kernel{model};
  for (int32_t i = 0; i < count; i += V::kLanes) {
    double xs[V::kLanes] = {}, ys[V::kLanes] = {}, oxs[V::kLanes], oys[V::kLanes];
    int32_t flags[V::kLanes];
    const int32_t lanes = count - i < V::kLanes ? count - i : V::kLanes;
    for (int32_t k = 0; k < lanes; ++k) {
      xs[k] = x[i + k];
      ys[k] = y[i + k];
    }
    V ox, oy;
    const MaskOf<V> ok = kUndistort ? kernel.Undistort(V::Load(xs), V::Load(ys), ox, oy)
                                    : kernel.Distort(V::Load(xs), V::Load(ys), ox, oy);
    Store(oxs, ox);
    Store(oys, oy);
    StoreFlags(flags, ok);
    for (int32_t k = 0; k < lanes; ++k) {
      outX[i + k] = oxs[k];
      outY[i + k] = oys[k];
      valid[i + k] = flags[k];
    }
  }
}

template <class V>
using PlainMerged = PlainAnamorphicLanes<V, true>;
template <class V>
using PlainFull = PlainAnamorphicLanes<V, false>;
template <class V>
using StdMerged = StdAnamorphicLanes<V, true>;
template <class V>
using StdFull = StdAnamorphicLanes<V, false>;

// The table rows follow LaneKernel's order; each names the lane type of its Distort and
// Undistort. A closed form maps its chunks independently, so one register (R) per chunk
// already keeps the processor busy and wider groups only add spills; a direction that
// iterates is one dependent chain per chunk and takes `kChains` registers (W) at once.
#define VTAFX_LANE_ROW(Kernel, D, U) \
  { MapRunLanes<D, Kernel, false>, MapRunLanes<U, Kernel, true> }
#define VTAFX_POINTS_ROW(Kernel, D, U) \
  { MapPointsLanes<D, Kernel, false>, MapPointsLanes<U, Kernel, true> }
#define VTAFX_ROWS(ROW)                                                                        \
  {                                                                                            \
    ROW(IdentityLanes, R, R), ROW(PerPointLanes, R, R), ROW(Radial4Lanes, R, W),               \
        ROW(StdRadial4Lanes, W, R), ROW(SquashLanes, R, W), ROW(PlainFull, R, W),              \
        ROW(PlainMerged, R, W), ROW(StdFull, W, R), ROW(StdMerged, W, R),                      \
        ROW(StereographicLanes, W, R), ROW(EquidistantLanes, W, R), ROW(EquisolidLanes, W, R), \
        ROW(OrthographicLanes, W, R)                                                           \
  }

template <class R, int kChains>
const LaneKernelTable& MakeLaneKernelTable() {
  using W = Registers<R, kChains>;
  static constexpr LaneKernelTable table = {VTAFX_ROWS(VTAFX_LANE_ROW),
                                            VTAFX_ROWS(VTAFX_POINTS_ROW)};
  return table;
}

#undef VTAFX_LANE_ROW
#undef VTAFX_POINTS_ROW
#undef VTAFX_ROWS

}  // namespace
