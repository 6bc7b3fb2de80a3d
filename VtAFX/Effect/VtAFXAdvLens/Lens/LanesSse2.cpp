// The batched lens kernels on SSE2: two doubles per register. Every x86-64 processor has it.
#include <cmath>
#include <cstdint>
#include <emmintrin.h>

#include "Lens/LaneKernelTable.h"
#include "Lens/NewtonInversion.h"

namespace {

struct Lane2 {
  static constexpr int kLanes = 2;
  using Mask = __m128d;  // all ones or all zeros per lane
  __m128d v;
  Lane2(double s) : v(_mm_set1_pd(s)) {}  // NOLINT: broadcasts, as scalar code mixes doubles
  Lane2() : v(_mm_setzero_pd()) {}
  static Mask AllLanes();
  static Mask NoLanes();
  static Lane2 Load(const double* p);
  static Lane2 LoadFloats(const float* p);
  static Mask LoadFlags(const int32_t* flags);
  explicit Lane2(__m128d r) : v(r) {}
};

inline Lane2 operator+(Lane2 a, Lane2 b) { return Lane2(_mm_add_pd(a.v, b.v)); }
inline Lane2 operator-(Lane2 a, Lane2 b) { return Lane2(_mm_sub_pd(a.v, b.v)); }
inline Lane2 operator*(Lane2 a, Lane2 b) { return Lane2(_mm_mul_pd(a.v, b.v)); }
inline Lane2 operator/(Lane2 a, Lane2 b) { return Lane2(_mm_div_pd(a.v, b.v)); }
inline Lane2 Sqrt(Lane2 a) { return Lane2(_mm_sqrt_pd(a.v)); }
inline Lane2 Abs(Lane2 a) { return Lane2(_mm_andnot_pd(_mm_set1_pd(-0.0), a.v)); }
inline Lane2 Neg(Lane2 a) { return Lane2(_mm_xor_pd(_mm_set1_pd(-0.0), a.v)); }
inline Lane2 Max(Lane2 a, Lane2 b) { return Lane2(_mm_max_pd(a.v, b.v)); }
inline __m128d Lt(Lane2 a, Lane2 b) { return _mm_cmplt_pd(a.v, b.v); }
inline __m128d Le(Lane2 a, Lane2 b) { return _mm_cmple_pd(a.v, b.v); }
inline __m128d Gt(Lane2 a, Lane2 b) { return _mm_cmpgt_pd(a.v, b.v); }
inline __m128d Ge(Lane2 a, Lane2 b) { return _mm_cmpge_pd(a.v, b.v); }
inline __m128d Eq(Lane2 a, Lane2 b) { return _mm_cmpeq_pd(a.v, b.v); }
inline __m128d And(__m128d a, __m128d b) { return _mm_and_pd(a, b); }
inline __m128d Or(__m128d a, __m128d b) { return _mm_or_pd(a, b); }
inline __m128d AndNot(__m128d a, __m128d b) { return _mm_andnot_pd(b, a); }
inline Lane2 Select(__m128d m, Lane2 a, Lane2 b) {
  return Lane2(_mm_or_pd(_mm_and_pd(m, a.v), _mm_andnot_pd(m, b.v)));
}
inline bool Any(__m128d m) { return _mm_movemask_pd(m) != 0; }
inline __m128d Lane2::AllLanes() { return _mm_castsi128_pd(_mm_set1_epi32(-1)); }
inline __m128d Lane2::NoLanes() { return _mm_setzero_pd(); }
inline Lane2 Lane2::Load(const double* p) { return Lane2(_mm_loadu_pd(p)); }
inline void Store(double* p, Lane2 a) { _mm_storeu_pd(p, a.v); }
inline Lane2 Lane2::LoadFloats(const float* p) {
  return Lane2(
      _mm_cvtps_pd(_mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)))));
}
inline void StoreFloats(float* p, Lane2 a) {
  _mm_storel_epi64(reinterpret_cast<__m128i*>(p), _mm_castps_si128(_mm_cvtpd_ps(a.v)));
}
inline Lane2 RoundedToFloat(Lane2 a) { return Lane2(_mm_cvtps_pd(_mm_cvtpd_ps(a.v))); }
inline __m128d Lane2::LoadFlags(const int32_t* flags) {
  return _mm_cmpeq_pd(_mm_set_pd(flags[1], flags[0]), _mm_set1_pd(1.0));
}
inline void StoreFlags(int32_t* flags, __m128d m) {
  const int bits = _mm_movemask_pd(m);
  flags[0] = bits & 1;
  flags[1] = (bits >> 1) & 1;
}

}  // namespace

#include "Lens/LaneKernels.h"

// Four Newton chains in flight: with two lanes each, fewer leave the processor waiting on
// one chain's latency (measured: four beat two and eight).
const LaneKernelTable& LaneKernelsSse2() { return MakeLaneKernelTable<Lane2, 4>(); }
