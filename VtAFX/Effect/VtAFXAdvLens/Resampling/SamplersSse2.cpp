// The batched samplers on SSE2 alone, which every x86-64 has: rounding and floor by
// conversion to int32 and back (exact below 2^31, which the positions never reach).
#include <cstdint>
#include <cstring>
#include <emmintrin.h>
#include <type_traits>

#include "Resampling/SamplerTargets.h"

namespace {
namespace sse2 {

#include "Resampling/VectorOps128.inc"

// Round to nearest follows the thread's rounding mode, ties to even unless someone changed
// it.
inline Vec Nearest(Vec v) { return _mm_cvtepi32_ps(_mm_cvtps_epi32(v)); }
inline Vec Floor(Vec v) {
  const Vec truncated = _mm_cvtepi32_ps(_mm_cvttps_epi32(v));
  return _mm_sub_ps(truncated, _mm_and_ps(_mm_cmplt_ps(v, truncated), _mm_set1_ps(1.0f)));
}
// The low 32 bits of each product, from the two 64-bit products of the even and odd lanes.
inline IVec MulInt(IVec a, IVec b) {
  const IVec even = _mm_mul_epu32(a, b);
  const IVec odd = _mm_mul_epu32(_mm_srli_epi64(a, 32), _mm_srli_epi64(b, 32));
  return _mm_unpacklo_epi32(_mm_shuffle_epi32(even, _MM_SHUFFLE(0, 0, 2, 0)),
                            _mm_shuffle_epi32(odd, _MM_SHUFFLE(0, 0, 2, 0)));
}

#include "Resampling/SamplerBodies.inc"

}  // namespace sse2
}  // namespace

const SamplerTable kSse2Samplers = sse2::kBodies;
