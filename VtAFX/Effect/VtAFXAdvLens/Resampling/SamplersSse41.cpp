// The batched samplers with SSE4.1's rounding instructions and packed 32-bit multiply.
#include <cstdint>
#include <cstring>
#include <emmintrin.h>
#include <smmintrin.h>
#include <type_traits>

#include "Resampling/SamplerTargets.h"

VTAFX_TARGET_BEGIN("sse4.1")
namespace {
namespace sse41 {

#include "Resampling/VectorOps128.inc"

inline Vec Nearest(Vec v) { return _mm_round_ps(v, _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC); }
// The instruction gives -0.0 where the SSE2 path, which converts through int32, gives +0.0;
// adding +0.0 turns the one into the other and leaves every other value alone, so a
// fraction x - floor(x) has the same sign on every target.
inline Vec Floor(Vec v) {
  return _mm_add_ps(_mm_round_ps(v, _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC), _mm_setzero_ps());
}
inline IVec MulInt(IVec a, IVec b) { return _mm_mullo_epi32(a, b); }

#include "Resampling/SamplerBodies.inc"

}  // namespace sse41
}  // namespace
VTAFX_TARGET_END

const SamplerTable kSse41Samplers = sse41::kBodies;
