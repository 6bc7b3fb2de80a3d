#include "Resampling/FloatPacket.h"

#include <emmintrin.h>
#include <smmintrin.h>

#include "Resampling/CpuFeatures.h"

// The SSE4.1 functions are compiled for SSE4.1 one by one, so the library as a whole still
// runs on an SSE2-only processor: nothing outside them may contain an SSE4.1 instruction.
// `flatten` pulls the shared loop bodies into them, so those are compiled for SSE4.1 there
// and for SSE2 everywhere else.
#if defined(__GNUC__) || defined(__clang__)
#define VTAFX_SSE41_PATH __attribute__((target("sse4.1"), flatten))
#define VTAFX_SSE41_INLINE __attribute__((target("sse4.1"))) inline
#else
#define VTAFX_SSE41_PATH
#define VTAFX_SSE41_INLINE __forceinline
#endif

namespace {

int32_t Limit(int32_t count) { return ClampPacketCount(count); }

// End of the computed elements: whole steps of 8 covering the count.
int32_t StepEnd(int32_t count) { return (Limit(count) + 7) & ~7; }

int32_t Smaller(int32_t a, int32_t b) { return a < b ? a : b; }

float* Elements(FloatPacket& p) { return p.slots + p.firstSlot; }
const float* Elements(const FloatPacket& p) { return p.slots + p.firstSlot; }

__m128 Load(const float* p) { return _mm_loadu_ps(p); }
void Store(float* p, __m128 v) { _mm_storeu_ps(p, v); }

const __m128 kOne = _mm_set1_ps(1.0f);

// min(hi, max(lo, v)) with v as the second operand of both, so a NaN in v comes through.
__m128 ClampVector(__m128 lo, __m128 v, __m128 hi) { return _mm_min_ps(hi, _mm_max_ps(lo, v)); }

__m128 InRangeMask(__m128 lo, __m128 v, __m128 hi) {
  return _mm_and_ps(_mm_and_ps(_mm_cmple_ps(lo, v), _mm_cmple_ps(v, hi)), kOne);
}

// Rounding by conversion to int32 and back: exact below 2^31 in magnitude, where the
// conversion does not saturate. Round to nearest follows the rounding mode of the thread,
// which is ties-to-even unless someone changed it.
struct Sse2Path {
  static __m128 Nearest(__m128 v) { return _mm_cvtepi32_ps(_mm_cvtps_epi32(v)); }
  static __m128 Floor(__m128 v) {
    const __m128 truncated = _mm_cvtepi32_ps(_mm_cvttps_epi32(v));
    return _mm_sub_ps(truncated, _mm_and_ps(_mm_cmplt_ps(v, truncated), kOne));
  }
};

struct Sse41Path {
  VTAFX_SSE41_INLINE static __m128 Nearest(__m128 v) {
    return _mm_round_ps(v, _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC);
  }
  VTAFX_SSE41_INLINE static __m128 Floor(__m128 v) {
    return _mm_round_ps(v, _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC);
  }
};

bool UseSse41() { return (CpuFeatures() & kCpuFeatureSse41) != 0; }

// The element-wise operations with one result, as `op` over 4-float vectors of one, two or
// three packet operands. The count is set first, so the result may be an operand.
template <typename Op>
FloatPacket& Map(FloatPacket& result, const FloatPacket& a, Op op) {
  result.count = a.count;
  float* r = Elements(result);
  const float* ea = Elements(a);
  for (int32_t i = 0, end = StepEnd(result.count); i < end; i += 4) Store(r + i, op(Load(ea + i)));
  return result;
}

template <typename Op>
FloatPacket& Map(FloatPacket& result, const FloatPacket& a, const FloatPacket& b, Op op) {
  result.count = Smaller(a.count, b.count);
  float* r = Elements(result);
  const float *ea = Elements(a), *eb = Elements(b);
  for (int32_t i = 0, end = StepEnd(result.count); i < end; i += 4) {
    Store(r + i, op(Load(ea + i), Load(eb + i)));
  }
  return result;
}

template <typename Op>
FloatPacket& Map(FloatPacket& result, const FloatPacket& a, const FloatPacket& b,
                 const FloatPacket& c, Op op) {
  result.count = Smaller(Smaller(a.count, b.count), c.count);
  float* r = Elements(result);
  const float *ea = Elements(a), *eb = Elements(b), *ec = Elements(c);
  for (int32_t i = 0, end = StepEnd(result.count); i < end; i += 4) {
    Store(r + i, op(Load(ea + i), Load(eb + i), Load(ec + i)));
  }
  return result;
}

// Bodies of the two-path operations, written once over the rounding primitives.

template <class Path>
inline void RoundNearestBody(float* r, const float* a, int32_t end) {
  for (int32_t i = 0; i < end; i += 4) Store(r + i, Path::Nearest(Load(a + i)));
}

template <class Path>
inline void SplitFloorBody(float* fraction, float* whole, const float* a, int32_t end) {
  for (int32_t i = 0; i < end; i += 4) {
    const __m128 v = Load(a + i);
    const __m128 w = Path::Floor(v);
    Store(whole + i, w);
    Store(fraction + i, _mm_sub_ps(v, w));
  }
}

template <class Path>
inline void SplitPhaseBody(float* phase, float* start, const float* a, float s, float t,
                           int32_t end) {
  const __m128 vs = _mm_set1_ps(s), vt = _mm_set1_ps(t);
  for (int32_t i = 0; i < end; i += 4) {
    const __m128 v = Load(a + i);
    const __m128 w = Path::Floor(v);
    Store(phase + i, Path::Floor(_mm_mul_ps(_mm_sub_ps(v, w), vs)));
    Store(start + i, _mm_add_ps(w, vt));
  }
}

template <class Path>
inline void RoundProductBody(float* r, const float* a, const float* b, int32_t end) {
  for (int32_t i = 0; i < end; i += 4) {
    Store(r + i, Path::Nearest(_mm_mul_ps(Load(a + i), Load(b + i))));
  }
}

template <class Path>
inline void ClampRoundProductBody(float* r, float lo, const float* a, const float* b, float hi,
                                  int32_t end) {
  const __m128 vlo = _mm_set1_ps(lo), vhi = _mm_set1_ps(hi);
  for (int32_t i = 0; i < end; i += 4) {
    const __m128 rounded = Path::Nearest(_mm_mul_ps(Load(a + i), Load(b + i)));
    Store(r + i, ClampVector(vlo, rounded, vhi));
  }
}

VTAFX_SSE41_PATH void RoundNearestSse41(float* r, const float* a, int32_t end) {
  RoundNearestBody<Sse41Path>(r, a, end);
}
VTAFX_SSE41_PATH void SplitFloorSse41(float* f, float* w, const float* a, int32_t end) {
  SplitFloorBody<Sse41Path>(f, w, a, end);
}
VTAFX_SSE41_PATH void SplitPhaseSse41(float* p, float* q, const float* a, float s, float t,
                                      int32_t end) {
  SplitPhaseBody<Sse41Path>(p, q, a, s, t, end);
}
VTAFX_SSE41_PATH void RoundProductSse41(float* r, const float* a, const float* b, int32_t end) {
  RoundProductBody<Sse41Path>(r, a, b, end);
}
VTAFX_SSE41_PATH void ClampRoundProductSse41(float* r, float lo, const float* a, const float* b,
                                             float hi, int32_t end) {
  ClampRoundProductBody<Sse41Path>(r, lo, a, b, hi, end);
}

VTAFX_SSE41_PATH void PixelOffsetsSse41(int32_t* offsets, const float* x, const float* y,
                                        int32_t rowStride, int32_t pixelStride, int32_t end) {
  const __m128i vrow = _mm_set1_epi32(rowStride), vpixel = _mm_set1_epi32(pixelStride);
  for (int32_t i = 0; i < end; i += 4) {
    const __m128i xs = _mm_mullo_epi32(_mm_cvttps_epi32(Load(x + i)), vpixel);
    const __m128i ys = _mm_mullo_epi32(_mm_cvttps_epi32(Load(y + i)), vrow);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(offsets + i), _mm_add_epi32(xs, ys));
  }
}

// Truncation of one float to int32 without undefined behaviour: out of range gives
// -2147483648, as the packed conversion does.
int32_t Truncate(float v) { return _mm_cvttss_si32(_mm_set_ss(v)); }

void PixelOffsetsSse2(int32_t* offsets, const float* x, const float* y, int32_t rowStride,
                      int32_t pixelStride, int32_t count) {
  for (int32_t i = 0; i < count; ++i) {
    // Unsigned arithmetic wraps where signed would overflow, matching the packed multiply.
    const uint32_t offset = static_cast<uint32_t>(Truncate(x[i])) * static_cast<uint32_t>(pixelStride) +
                            static_cast<uint32_t>(Truncate(y[i])) * static_cast<uint32_t>(rowStride);
    offsets[i] = static_cast<int32_t>(offset);
  }
}

}  // namespace

FloatPacket::FloatPacket() : count(kPacketCapacity) {
  const uintptr_t start = reinterpret_cast<uintptr_t>(slots);
  const uintptr_t aligned = (start + 31) & ~static_cast<uintptr_t>(31);
  firstSlot = static_cast<int32_t>((aligned - start) / sizeof(float));
}

FloatPacket::FloatPacket(const FloatPacket& other) : FloatPacket() { *this = other; }

FloatPacket& FloatPacket::operator=(const FloatPacket& other) {
  if (this == &other) return *this;
  count = other.count;
  const int32_t n = Limit(other.count);
  for (int32_t i = 0; i < n; ++i) (*this)[i] = other[i];
  return *this;
}

void SetRunCount(PointPacket& points, int32_t total, int32_t start) {
  const int64_t rest = static_cast<int64_t>(total) - start;
  const int32_t count =
      rest < kPacketCapacity ? (rest < 0 ? 0 : static_cast<int32_t>(rest)) : kPacketCapacity;
  points.x.count = count;
  points.y.count = count;
}

FloatPacket& Fill(FloatPacket& a, float s) {
  const __m128 v = _mm_set1_ps(s);
  float* e = Elements(a);
  for (int32_t i = 0, end = StepEnd(a.count); i < end; i += 4) Store(e + i, v);
  return a;
}

FloatPacket& Ramp(FloatPacket& a, float start, float step) {
  const int32_t end = StepEnd(a.count);
  if (end == 0) return a;
  float* e = Elements(a);
  __m128 low = _mm_setr_ps(start, start + step, (step + step) + start, step * 3.0f + start);
  __m128 high = _mm_add_ps(low, _mm_set1_ps(step * 4.0f));
  const __m128 stepEight = _mm_set1_ps(step * 8.0f);
  for (int32_t i = 0; i < end; i += 8) {
    if (i > 0) {
      low = _mm_add_ps(low, stepEight);
      high = _mm_add_ps(high, stepEight);
    }
    Store(e + i, low);
    Store(e + i + 4, high);
  }
  return a;
}

FloatPacket& SubtractScalarInPlace(FloatPacket& a, float s) {
  const __m128 vs = _mm_set1_ps(s);
  return Map(a, a, [vs](__m128 v) { return _mm_sub_ps(v, vs); });
}

FloatPacket& MultiplyInPlace(FloatPacket& a, const FloatPacket& b) {
  return Map(a, a, b, [](__m128 va, __m128 vb) { return _mm_mul_ps(va, vb); });
}

FloatPacket& AddInPlace(FloatPacket& a, const FloatPacket& b) {
  return Map(a, a, b, [](__m128 va, __m128 vb) { return _mm_add_ps(va, vb); });
}

FloatPacket& Lerp(FloatPacket& result, const FloatPacket& a, const FloatPacket& b,
                  const FloatPacket& t) {
  return Map(result, a, b, t, [](__m128 va, __m128 vb, __m128 vt) {
    return _mm_add_ps(_mm_mul_ps(_mm_sub_ps(vb, va), vt), va);
  });
}

FloatPacket& Clamp(FloatPacket& result, float lo, const FloatPacket& a, float hi) {
  const __m128 vlo = _mm_set1_ps(lo), vhi = _mm_set1_ps(hi);
  return Map(result, a, [vlo, vhi](__m128 v) { return ClampVector(vlo, v, vhi); });
}

FloatPacket& ClampSum(FloatPacket& result, float lo, const FloatPacket& a, float s, float hi) {
  const __m128 vlo = _mm_set1_ps(lo), vs = _mm_set1_ps(s), vhi = _mm_set1_ps(hi);
  return Map(result, a,
             [vlo, vs, vhi](__m128 v) { return ClampVector(vlo, _mm_add_ps(v, vs), vhi); });
}

void ClampSumWithMask(FloatPacket& result, FloatPacket& mask, float lo, const FloatPacket& a,
                      float s, float hi) {
  const int32_t count = a.count;
  result.count = count;
  mask.count = count;
  const __m128 vlo = _mm_set1_ps(lo), vs = _mm_set1_ps(s), vhi = _mm_set1_ps(hi);
  float *r = Elements(result), *m = Elements(mask);
  const float* e = Elements(a);
  for (int32_t i = 0, end = StepEnd(count); i < end; i += 4) {
    const __m128 v = _mm_add_ps(Load(e + i), vs);
    Store(r + i, ClampVector(vlo, v, vhi));
    Store(m + i, InRangeMask(vlo, v, vhi));
  }
}

FloatPacket& RangeMask(FloatPacket& result, float lo, const FloatPacket& a, float hi) {
  const __m128 vlo = _mm_set1_ps(lo), vhi = _mm_set1_ps(hi);
  return Map(result, a, [vlo, vhi](__m128 v) { return InRangeMask(vlo, v, vhi); });
}

FloatPacket& ReplaceOutsideRange(FloatPacket& result, float lo, const FloatPacket& a, float hi,
                                 float replacement) {
  const __m128 vlo = _mm_set1_ps(lo), vhi = _mm_set1_ps(hi), vrep = _mm_set1_ps(replacement);
  return Map(result, a, [vlo, vhi, vrep](__m128 v) {
    const __m128 inside = _mm_and_ps(_mm_cmple_ps(vlo, v), _mm_cmple_ps(v, vhi));
    return _mm_or_ps(_mm_and_ps(inside, v), _mm_andnot_ps(inside, vrep));
  });
}

FloatPacket& RoundNearest(FloatPacket& result, const FloatPacket& a) {
  result.count = a.count;
  const int32_t end = StepEnd(result.count);
  if (UseSse41()) {
    RoundNearestSse41(Elements(result), Elements(a), end);
  } else {
    RoundNearestBody<Sse2Path>(Elements(result), Elements(a), end);
  }
  return result;
}

void SplitFloor(FloatPacket& fraction, FloatPacket& whole, const FloatPacket& a) {
  const int32_t count = a.count, end = StepEnd(count);
  fraction.count = count;
  whole.count = count;
  if (UseSse41()) {
    SplitFloorSse41(Elements(fraction), Elements(whole), Elements(a), end);
  } else {
    SplitFloorBody<Sse2Path>(Elements(fraction), Elements(whole), Elements(a), end);
  }
}

void SplitPhase(FloatPacket& phase, FloatPacket& start, const FloatPacket& a, float s, float t) {
  const int32_t count = a.count, end = StepEnd(count);
  phase.count = count;
  start.count = count;
  if (UseSse41()) {
    SplitPhaseSse41(Elements(phase), Elements(start), Elements(a), s, t, end);
  } else {
    SplitPhaseBody<Sse2Path>(Elements(phase), Elements(start), Elements(a), s, t, end);
  }
}

FloatPacket& MultiplyAdd(FloatPacket& result, const FloatPacket& a, const FloatPacket& b,
                         const FloatPacket& c) {
  return Map(result, a, b, c, [](__m128 va, __m128 vb, __m128 vc) {
    return _mm_add_ps(_mm_mul_ps(va, vb), vc);
  });
}

FloatPacket& LinearCombination(FloatPacket& result, float s, const FloatPacket& a, float t,
                               const FloatPacket& b) {
  const __m128 vs = _mm_set1_ps(s), vt = _mm_set1_ps(t);
  return Map(result, a, b, [vs, vt](__m128 va, __m128 vb) {
    return _mm_add_ps(_mm_mul_ps(vs, va), _mm_mul_ps(vt, vb));
  });
}

FloatPacket& ClampProduct(FloatPacket& result, float lo, const FloatPacket& a,
                          const FloatPacket& b, float hi) {
  const __m128 vlo = _mm_set1_ps(lo), vhi = _mm_set1_ps(hi);
  return Map(result, a, b, [vlo, vhi](__m128 va, __m128 vb) {
    return ClampVector(vlo, _mm_mul_ps(va, vb), vhi);
  });
}

FloatPacket& TripleProduct(FloatPacket& result, const FloatPacket& a, const FloatPacket& b,
                           const FloatPacket& c) {
  return Map(result, a, b, c, [](__m128 va, __m128 vb, __m128 vc) {
    return _mm_mul_ps(_mm_mul_ps(va, vb), vc);
  });
}

FloatPacket& RoundProduct(FloatPacket& result, const FloatPacket& a, const FloatPacket& b) {
  result.count = Smaller(a.count, b.count);
  const int32_t end = StepEnd(result.count);
  if (UseSse41()) {
    RoundProductSse41(Elements(result), Elements(a), Elements(b), end);
  } else {
    RoundProductBody<Sse2Path>(Elements(result), Elements(a), Elements(b), end);
  }
  return result;
}

FloatPacket& ClampRoundProduct(FloatPacket& result, float lo, const FloatPacket& a,
                               const FloatPacket& b, float hi) {
  result.count = Smaller(a.count, b.count);
  const int32_t end = StepEnd(result.count);
  if (UseSse41()) {
    ClampRoundProductSse41(Elements(result), lo, Elements(a), Elements(b), hi, end);
  } else {
    ClampRoundProductBody<Sse2Path>(Elements(result), lo, Elements(a), Elements(b), hi, end);
  }
  return result;
}

FloatPacket& SafeReciprocal(FloatPacket& result, const FloatPacket& a) {
  return Map(result, a, [](__m128 v) {
    const __m128 c = _mm_and_ps(_mm_cmpeq_ps(v, _mm_setzero_ps()), kOne);
    return _mm_div_ps(kOne, _mm_add_ps(v, c));
  });
}

FloatPacket& Gather(FloatPacket& result, const float* table, const FloatPacket& a) {
  const int32_t count = Limit(a.count);
  result.count = a.count;
  float* r = Elements(result);
  const float* e = Elements(a);
  int32_t i = 0;
  alignas(16) int32_t index[4];
  for (; i + 4 <= count; i += 4) {
    _mm_store_si128(reinterpret_cast<__m128i*>(index), _mm_cvttps_epi32(Load(e + i)));
    r[i] = table[index[0]];
    r[i + 1] = table[index[1]];
    r[i + 2] = table[index[2]];
    r[i + 3] = table[index[3]];
  }
  for (; i < count; ++i) r[i] = table[Truncate(e[i])];
  return result;
}

void PixelOffsets(int32_t* offsets, const PointPacket& points, int32_t rowStride,
                  int32_t pixelStride) {
  const int32_t count = points.x.count;
  if (UseSse41()) {
    PixelOffsetsSse41(offsets, Elements(points.x), Elements(points.y), rowStride, pixelStride,
                      StepEnd(count));
  } else {
    PixelOffsetsSse2(offsets, Elements(points.x), Elements(points.y), rowStride, pixelStride,
                     Limit(count));
  }
}
