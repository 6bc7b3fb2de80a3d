// The batched lens kernels on AVX2: four doubles per register. This file alone is compiled
// with AVX2 enabled (no FMA), and only runs where the CPU feature word has kCpuFeatureAvx2.
#include <cmath>
#include <cstdint>
#include <immintrin.h>

#include "Lens/LaneKernelTable.h"
#include "Lens/NewtonInversion.h"

namespace {

struct Lane4 {
  static constexpr int kLanes = 4;
  using Mask = __m256d;  // all ones or all zeros per lane
  __m256d v;
  Lane4(double s) : v(_mm256_set1_pd(s)) {}  // NOLINT: broadcasts, as scalar code mixes doubles
  Lane4() : v(_mm256_setzero_pd()) {}
  static Mask AllLanes();
  static Mask NoLanes();
  static Lane4 Load(const double* p);
  static Lane4 LoadFloats(const float* p);
  static Mask LoadFlags(const int32_t* flags);
  explicit Lane4(__m256d r) : v(r) {}
};

inline Lane4 operator+(Lane4 a, Lane4 b) { return Lane4(_mm256_add_pd(a.v, b.v)); }
inline Lane4 operator-(Lane4 a, Lane4 b) { return Lane4(_mm256_sub_pd(a.v, b.v)); }
inline Lane4 operator*(Lane4 a, Lane4 b) { return Lane4(_mm256_mul_pd(a.v, b.v)); }
inline Lane4 operator/(Lane4 a, Lane4 b) { return Lane4(_mm256_div_pd(a.v, b.v)); }
inline Lane4 Sqrt(Lane4 a) { return Lane4(_mm256_sqrt_pd(a.v)); }
inline Lane4 Abs(Lane4 a) { return Lane4(_mm256_andnot_pd(_mm256_set1_pd(-0.0), a.v)); }
inline Lane4 Neg(Lane4 a) { return Lane4(_mm256_xor_pd(_mm256_set1_pd(-0.0), a.v)); }
inline Lane4 Max(Lane4 a, Lane4 b) { return Lane4(_mm256_max_pd(a.v, b.v)); }
inline __m256d Lt(Lane4 a, Lane4 b) { return _mm256_cmp_pd(a.v, b.v, _CMP_LT_OQ); }
inline __m256d Le(Lane4 a, Lane4 b) { return _mm256_cmp_pd(a.v, b.v, _CMP_LE_OQ); }
inline __m256d Gt(Lane4 a, Lane4 b) { return _mm256_cmp_pd(a.v, b.v, _CMP_GT_OQ); }
inline __m256d Ge(Lane4 a, Lane4 b) { return _mm256_cmp_pd(a.v, b.v, _CMP_GE_OQ); }
inline __m256d Eq(Lane4 a, Lane4 b) { return _mm256_cmp_pd(a.v, b.v, _CMP_EQ_OQ); }
inline __m256d And(__m256d a, __m256d b) { return _mm256_and_pd(a, b); }
inline __m256d Or(__m256d a, __m256d b) { return _mm256_or_pd(a, b); }
inline __m256d AndNot(__m256d a, __m256d b) { return _mm256_andnot_pd(b, a); }
inline Lane4 Select(__m256d m, Lane4 a, Lane4 b) { return Lane4(_mm256_blendv_pd(b.v, a.v, m)); }
inline bool Any(__m256d m) { return _mm256_movemask_pd(m) != 0; }
inline __m256d Lane4::AllLanes() { return _mm256_castsi256_pd(_mm256_set1_epi32(-1)); }
inline __m256d Lane4::NoLanes() { return _mm256_setzero_pd(); }
inline Lane4 Lane4::Load(const double* p) { return Lane4(_mm256_loadu_pd(p)); }
inline void Store(double* p, Lane4 a) { _mm256_storeu_pd(p, a.v); }
inline Lane4 Lane4::LoadFloats(const float* p) { return Lane4(_mm256_cvtps_pd(_mm_loadu_ps(p))); }
inline void StoreFloats(float* p, Lane4 a) { _mm_storeu_ps(p, _mm256_cvtpd_ps(a.v)); }
inline Lane4 RoundedToFloat(Lane4 a) { return Lane4(_mm256_cvtps_pd(_mm256_cvtpd_ps(a.v))); }
inline __m256d Lane4::LoadFlags(const int32_t* flags) {
  const __m128i ints = _mm_loadu_si128(reinterpret_cast<const __m128i*>(flags));
  return _mm256_cmp_pd(_mm256_cvtepi32_pd(ints), _mm256_set1_pd(1.0), _CMP_EQ_OQ);
}
inline void StoreFlags(int32_t* flags, __m256d m) {
  const int bits = _mm256_movemask_pd(m);
  for (int i = 0; i < 4; ++i) flags[i] = (bits >> i) & 1;
}

}  // namespace

#include "Lens/LaneKernels.h"

// Four Newton chains in flight (measured: four beat two and one).
const LaneKernelTable& LaneKernelsAvx2() { return MakeLaneKernelTable<Lane4, 4>(); }
