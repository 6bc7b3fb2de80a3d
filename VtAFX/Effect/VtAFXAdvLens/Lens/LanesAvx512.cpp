// The batched lens kernels on AVX-512F: eight doubles per register, masks in the mask
// registers. This file alone is compiled with AVX-512F enabled (no fused operations are
// written or contracted), and only runs where the CPU feature word has kCpuFeatureAvx512F.
#include <cmath>
#include <cstdint>
#include <immintrin.h>

#include "Lens/LaneKernelTable.h"
#include "Lens/NewtonInversion.h"

namespace {

struct Lane8 {
  static constexpr int kLanes = 8;
  using Mask = __mmask8;
  __m512d v;
  Lane8(double s) : v(_mm512_set1_pd(s)) {}  // NOLINT: broadcasts, as scalar code mixes doubles
  Lane8() : v(_mm512_setzero_pd()) {}
  static Mask AllLanes();
  static Mask NoLanes();
  static Lane8 Load(const double* p);
  static Lane8 LoadFloats(const float* p);
  static Mask LoadFlags(const int32_t* flags);
  explicit Lane8(__m512d r) : v(r) {}
};

inline Lane8 operator+(Lane8 a, Lane8 b) { return Lane8(_mm512_add_pd(a.v, b.v)); }
inline Lane8 operator-(Lane8 a, Lane8 b) { return Lane8(_mm512_sub_pd(a.v, b.v)); }
inline Lane8 operator*(Lane8 a, Lane8 b) { return Lane8(_mm512_mul_pd(a.v, b.v)); }
inline Lane8 operator/(Lane8 a, Lane8 b) { return Lane8(_mm512_div_pd(a.v, b.v)); }
inline Lane8 Sqrt(Lane8 a) { return Lane8(_mm512_sqrt_pd(a.v)); }
inline Lane8 Abs(Lane8 a) { return Lane8(_mm512_abs_pd(a.v)); }
// The sign flipped in integer lanes: the floating-point xor is AVX-512DQ, not F.
inline Lane8 Neg(Lane8 a) {
  return Lane8(_mm512_castsi512_pd(_mm512_xor_si512(
      _mm512_castpd_si512(a.v), _mm512_set1_epi64(static_cast<long long>(0x8000000000000000ull)))));
}
inline Lane8 Max(Lane8 a, Lane8 b) { return Lane8(_mm512_max_pd(a.v, b.v)); }
inline __mmask8 Lt(Lane8 a, Lane8 b) { return _mm512_cmp_pd_mask(a.v, b.v, _CMP_LT_OQ); }
inline __mmask8 Le(Lane8 a, Lane8 b) { return _mm512_cmp_pd_mask(a.v, b.v, _CMP_LE_OQ); }
inline __mmask8 Gt(Lane8 a, Lane8 b) { return _mm512_cmp_pd_mask(a.v, b.v, _CMP_GT_OQ); }
inline __mmask8 Ge(Lane8 a, Lane8 b) { return _mm512_cmp_pd_mask(a.v, b.v, _CMP_GE_OQ); }
inline __mmask8 Eq(Lane8 a, Lane8 b) { return _mm512_cmp_pd_mask(a.v, b.v, _CMP_EQ_OQ); }
inline __mmask8 And(__mmask8 a, __mmask8 b) { return static_cast<__mmask8>(a & b); }
inline __mmask8 Or(__mmask8 a, __mmask8 b) { return static_cast<__mmask8>(a | b); }
inline __mmask8 AndNot(__mmask8 a, __mmask8 b) { return static_cast<__mmask8>(a & ~b); }
inline Lane8 Select(__mmask8 m, Lane8 a, Lane8 b) {
  return Lane8(_mm512_mask_blend_pd(m, b.v, a.v));
}
inline bool Any(__mmask8 m) { return m != 0; }
inline __mmask8 Lane8::AllLanes() { return 0xFF; }
inline __mmask8 Lane8::NoLanes() { return 0; }
inline Lane8 Lane8::Load(const double* p) { return Lane8(_mm512_loadu_pd(p)); }
inline void Store(double* p, Lane8 a) { _mm512_storeu_pd(p, a.v); }
inline Lane8 Lane8::LoadFloats(const float* p) {
  return Lane8(_mm512_cvtps_pd(_mm256_loadu_ps(p)));
}
inline void StoreFloats(float* p, Lane8 a) { _mm256_storeu_ps(p, _mm512_cvtpd_ps(a.v)); }
inline Lane8 RoundedToFloat(Lane8 a) { return Lane8(_mm512_cvtps_pd(_mm512_cvtpd_ps(a.v))); }
inline __mmask8 Lane8::LoadFlags(const int32_t* flags) {
  __mmask8 m = 0;
  for (int i = 0; i < 8; ++i) m = static_cast<__mmask8>(m | ((flags[i] == 1 ? 1u : 0u) << i));
  return m;
}
inline void StoreFlags(int32_t* flags, __mmask8 m) {
  for (int i = 0; i < 8; ++i) flags[i] = (m >> i) & 1;
}

}  // namespace

#include "Lens/LaneKernels.h"

// Two Newton chains in flight: with eight lanes per register two already overlap the
// latency (measured: two beat one).
const LaneKernelTable& LaneKernelsAvx512() { return MakeLaneKernelTable<Lane8, 2>(); }
