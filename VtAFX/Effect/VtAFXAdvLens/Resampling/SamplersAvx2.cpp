// The batched samplers on AVX2: eight pixels per vector, integer pixels and table weights
// gathered by the processor.
#include <cstdint>
#include <cstring>
#include <immintrin.h>
#include <type_traits>

#include "Resampling/SamplerTargets.h"

VTAFX_TARGET_BEGIN("avx2")
namespace {
namespace avx2 {

constexpr int32_t kLanes = 8;
using Vec = __m256;
using IVec = __m256i;

inline Vec Splat(float s) { return _mm256_set1_ps(s); }
inline IVec SplatInt(int32_t s) { return _mm256_set1_epi32(s); }
inline Vec Load(const float* p) { return _mm256_loadu_ps(p); }
inline void Store(float* p, Vec v) { _mm256_storeu_ps(p, v); }
inline void StoreInt(int32_t* p, IVec v) { _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v); }

inline Vec Add(Vec a, Vec b) { return _mm256_add_ps(a, b); }
inline Vec Sub(Vec a, Vec b) { return _mm256_sub_ps(a, b); }
inline Vec Mul(Vec a, Vec b) { return _mm256_mul_ps(a, b); }
inline Vec Div(Vec a, Vec b) { return _mm256_div_ps(a, b); }
// Where a comparison involves a NaN, both return b.
inline Vec Min(Vec a, Vec b) { return _mm256_min_ps(a, b); }
inline Vec Max(Vec a, Vec b) { return _mm256_max_ps(a, b); }

inline Vec InRange(Vec lo, Vec v, Vec hi) {
  return _mm256_and_ps(_mm256_cmp_ps(lo, v, _CMP_LE_OQ), _mm256_cmp_ps(v, hi, _CMP_LE_OQ));
}
inline Vec RangeMask(Vec lo, Vec v, Vec hi) {
  return _mm256_and_ps(InRange(lo, v, hi), _mm256_set1_ps(1.0f));
}
inline Vec ZeroMask(Vec v) {
  return _mm256_and_ps(_mm256_cmp_ps(v, _mm256_setzero_ps(), _CMP_EQ_OQ), _mm256_set1_ps(1.0f));
}
inline Vec KeepInRange(Vec lo, Vec v, Vec hi, Vec replacement) {
  return _mm256_blendv_ps(replacement, v, InRange(lo, v, hi));
}
inline bool AllInRange(Vec lo, Vec v, Vec hi) {
  return _mm256_movemask_ps(InRange(lo, v, hi)) == 0xFF;
}

inline Vec Nearest(Vec v) {
  return _mm256_round_ps(v, _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC);
}
// +0.0 turns the instruction's -0.0 into the SSE2 path's +0.0 (see the SSE4.1 target).
inline Vec Floor(Vec v) {
  return _mm256_add_ps(_mm256_round_ps(v, _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC),
                       _mm256_setzero_ps());
}

inline IVec Truncate(Vec v) { return _mm256_cvttps_epi32(v); }
inline Vec ToFloat(IVec v) { return _mm256_cvtepi32_ps(v); }
inline IVec AsInt(Vec v) { return _mm256_castps_si256(v); }
inline IVec AddInt(IVec a, IVec b) { return _mm256_add_epi32(a, b); }
inline IVec MulInt(IVec a, IVec b) { return _mm256_mullo_epi32(a, b); }
inline IVec AndInt(IVec a, IVec b) { return _mm256_and_si256(a, b); }
inline IVec OrInt(IVec a, IVec b) { return _mm256_or_si256(a, b); }
inline IVec KeepWhere(IVec v, Vec mask) {
  return _mm256_and_si256(
      v, _mm256_castps_si256(_mm256_cmp_ps(mask, _mm256_setzero_ps(), _CMP_NEQ_OQ)));
}
template <int kBits>
IVec ShiftRight(IVec v) {
  return _mm256_srli_epi32(v, kBits);
}
template <int kBits>
IVec ShiftLeft(IVec v) {
  return _mm256_slli_epi32(v, kBits);
}

// Each lane reads the 32-bit word at its own offset: the bytes the pixel-by-pixel reads
// take, no others.
inline IVec GatherWords(const uint8_t* base, IVec offsets) {
  return _mm256_i32gather_epi32(reinterpret_cast<const int*>(base), offsets, 1);
}
// Each lane pair reads the 64 bits of one pixel, as the pixel-by-pixel reads do.
inline void GatherWordPairs(const uint8_t* base, IVec offsets, IVec& first, IVec& second) {
  const long long* at = reinterpret_cast<const long long*>(base);
  const Vec a = _mm256_castsi256_ps(_mm256_i32gather_epi64(at, _mm256_castsi256_si128(offsets), 1));
  const Vec b =
      _mm256_castsi256_ps(_mm256_i32gather_epi64(at, _mm256_extracti128_si256(offsets, 1), 1));
  // Within halves the shuffles give pixels 0, 1, 4, 5 | 2, 3, 6, 7; the permute orders them.
  first = _mm256_permute4x64_epi64(
      _mm256_castps_si256(_mm256_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0))),
      _MM_SHUFFLE(3, 1, 2, 0));
  second = _mm256_permute4x64_epi64(
      _mm256_castps_si256(_mm256_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1))),
      _MM_SHUFFLE(3, 1, 2, 0));
}
inline Vec GatherFloats(const float* table, IVec index) {
  return _mm256_i32gather_ps(table, index, 4);
}

// Four vectors transposed within each 128-bit half. Shuffles only.
inline void TransposeHalves(Vec v[4]) {
  const Vec low01 = _mm256_unpacklo_ps(v[0], v[1]), high01 = _mm256_unpackhi_ps(v[0], v[1]);
  const Vec low23 = _mm256_unpacklo_ps(v[2], v[3]), high23 = _mm256_unpackhi_ps(v[2], v[3]);
  v[0] = _mm256_shuffle_ps(low01, low23, _MM_SHUFFLE(1, 0, 1, 0));
  v[1] = _mm256_shuffle_ps(low01, low23, _MM_SHUFFLE(3, 2, 3, 2));
  v[2] = _mm256_shuffle_ps(high01, high23, _MM_SHUFFLE(1, 0, 1, 0));
  v[3] = _mm256_shuffle_ps(high01, high23, _MM_SHUFFLE(3, 2, 3, 2));
}
// Vector j holds pixels j and j + 4, one per half; transposed, channel by channel.
inline void LoadQuads(const uint8_t* base, IVec offsets, Vec channels[4]) {
  int32_t at[8];
  StoreInt(at, offsets);
  for (int32_t j = 0; j < 4; ++j) {
    const __m128 low = _mm_loadu_ps(reinterpret_cast<const float*>(base + at[j]));
    const __m128 high = _mm_loadu_ps(reinterpret_cast<const float*>(base + at[j + 4]));
    channels[j] = _mm256_insertf128_ps(_mm256_castps128_ps256(low), high, 1);
  }
  TransposeHalves(channels);
}
inline void StoreQuads(uint8_t* out, int32_t count, const Vec channels[4]) {
  Vec pixels[4] = {channels[0], channels[1], channels[2], channels[3]};
  TransposeHalves(pixels);
  for (int32_t j = 0; j < 4; ++j) {
    if (j < count)
      _mm_storeu_ps(reinterpret_cast<float*>(out + 16 * j), _mm256_castps256_ps128(pixels[j]));
    if (j + 4 < count) {
      _mm_storeu_ps(reinterpret_cast<float*>(out + 16 * (j + 4)),
                    _mm256_extractf128_ps(pixels[j], 1));
    }
  }
}
inline void StoreWords(uint8_t* out, int32_t count, IVec words) {
  if (count >= 8) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), words);
    return;
  }
  int32_t w[8];
  StoreInt(w, words);
  std::memcpy(out, w, static_cast<size_t>(count) * 4);
}
inline void StoreWordPairs(uint8_t* out, int32_t count, IVec low, IVec high) {
  // Interleaving works within halves: pixels 0, 1 | 4, 5 and 2, 3 | 6, 7.
  const IVec even = _mm256_unpacklo_epi32(low, high), odd = _mm256_unpackhi_epi32(low, high);
  const IVec first = _mm256_permute2x128_si256(even, odd, 0x20);
  const IVec second = _mm256_permute2x128_si256(even, odd, 0x31);
  if (count >= 8) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), first);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 32), second);
    return;
  }
  int32_t w[16];
  StoreInt(w, first);
  StoreInt(w + 8, second);
  std::memcpy(out, w, static_cast<size_t>(count) * 8);
}

#include "Resampling/SamplerBodies.inc"

}  // namespace avx2
}  // namespace
VTAFX_TARGET_END

const SamplerTable kAvx2Samplers = avx2::kBodies;
