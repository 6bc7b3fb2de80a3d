// The batched samplers on AVX-512F: sixteen pixels per vector.
// GCC 12's own AVX-512 header seeds its "undefined" vectors with themselves, which its
// uninitialised-value warnings then report in every caller (GCC bug 105593).
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <immintrin.h>
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

#include <cstdint>
#include <cstring>
#include <type_traits>

#include "Resampling/SamplerTargets.h"

VTAFX_TARGET_BEGIN("avx512f")
namespace {
namespace avx512 {

constexpr int32_t kLanes = 16;
using Vec = __m512;
using IVec = __m512i;

inline Vec Splat(float s) { return _mm512_set1_ps(s); }
inline IVec SplatInt(int32_t s) { return _mm512_set1_epi32(s); }
inline Vec Load(const float* p) { return _mm512_loadu_ps(p); }
inline void Store(float* p, Vec v) { _mm512_storeu_ps(p, v); }
inline void StoreInt(int32_t* p, IVec v) { _mm512_storeu_si512(p, v); }

inline Vec Add(Vec a, Vec b) { return _mm512_add_ps(a, b); }
inline Vec Sub(Vec a, Vec b) { return _mm512_sub_ps(a, b); }
inline Vec Mul(Vec a, Vec b) { return _mm512_mul_ps(a, b); }
inline Vec Div(Vec a, Vec b) { return _mm512_div_ps(a, b); }
// Where a comparison involves a NaN, both return b.
inline Vec Min(Vec a, Vec b) { return _mm512_min_ps(a, b); }
inline Vec Max(Vec a, Vec b) { return _mm512_max_ps(a, b); }

inline __mmask16 InRange(Vec lo, Vec v, Vec hi) {
  return static_cast<__mmask16>(_mm512_cmp_ps_mask(lo, v, _CMP_LE_OQ) &
                                _mm512_cmp_ps_mask(v, hi, _CMP_LE_OQ));
}
inline Vec RangeMask(Vec lo, Vec v, Vec hi) {
  return _mm512_maskz_mov_ps(InRange(lo, v, hi), _mm512_set1_ps(1.0f));
}
inline Vec ZeroMask(Vec v) {
  return _mm512_maskz_mov_ps(_mm512_cmp_ps_mask(v, _mm512_setzero_ps(), _CMP_EQ_OQ),
                             _mm512_set1_ps(1.0f));
}
inline Vec KeepInRange(Vec lo, Vec v, Vec hi, Vec replacement) {
  return _mm512_mask_mov_ps(replacement, InRange(lo, v, hi), v);
}
inline bool AllInRange(Vec lo, Vec v, Vec hi) { return InRange(lo, v, hi) == 0xFFFF; }

inline Vec Nearest(Vec v) {
  return _mm512_roundscale_ps(v, _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC);
}
// +0.0 turns the instruction's -0.0 into the SSE2 path's +0.0 (see the SSE4.1 target).
inline Vec Floor(Vec v) {
  return _mm512_add_ps(_mm512_roundscale_ps(v, _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC),
                       _mm512_setzero_ps());
}

inline IVec Truncate(Vec v) { return _mm512_cvttps_epi32(v); }
inline Vec ToFloat(IVec v) { return _mm512_cvtepi32_ps(v); }
inline IVec AsInt(Vec v) { return _mm512_castps_si512(v); }
inline IVec AddInt(IVec a, IVec b) { return _mm512_add_epi32(a, b); }
inline IVec MulInt(IVec a, IVec b) { return _mm512_mullo_epi32(a, b); }
inline IVec AndInt(IVec a, IVec b) { return _mm512_and_si512(a, b); }
inline IVec OrInt(IVec a, IVec b) { return _mm512_or_si512(a, b); }
inline IVec KeepWhere(IVec v, Vec mask) {
  return _mm512_maskz_mov_epi32(_mm512_cmp_ps_mask(mask, _mm512_setzero_ps(), _CMP_NEQ_OQ), v);
}
template <int kBits>
IVec ShiftRight(IVec v) {
  return _mm512_srli_epi32(v, kBits);
}
template <int kBits>
IVec ShiftLeft(IVec v) {
  return _mm512_slli_epi32(v, kBits);
}

// Lanes are read one load each rather than by the gather instructions: on the processors
// measured (AMD Zen 4) sixteen plain loads run in a third less time than one gather, which
// waits for all of its reads at once. Each lane reads exactly the bytes a pixel-by-pixel
// loop would.
inline int32_t Word(const uint8_t* p) {
  int32_t w;
  std::memcpy(&w, p, sizeof w);
  return w;
}
inline __m128i WordQuarter(const uint8_t* base, const int32_t* at) {
  return _mm_setr_epi32(Word(base + at[0]), Word(base + at[1]), Word(base + at[2]),
                        Word(base + at[3]));
}
inline __m128i PairQuarter(const uint8_t* a, const uint8_t* b) {
  return _mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(a)),
                            _mm_loadl_epi64(reinterpret_cast<const __m128i*>(b)));
}
inline IVec Quarters(__m128i q0, __m128i q1, __m128i q2, __m128i q3) {
  const __m256i low = _mm256_inserti128_si256(_mm256_castsi128_si256(q0), q1, 1);
  const __m256i high = _mm256_inserti128_si256(_mm256_castsi128_si256(q2), q3, 1);
  return _mm512_inserti64x4(_mm512_castsi256_si512(low), high, 1);
}

// The 32-bit word at each byte offset from base.
inline IVec GatherWords(const uint8_t* base, IVec offsets) {
  int32_t at[16];
  StoreInt(at, offsets);
  return Quarters(WordQuarter(base, at), WordQuarter(base, at + 4), WordQuarter(base, at + 8),
                  WordQuarter(base, at + 12));
}
// The two 32-bit words at each byte offset from base, first and second apart.
inline void GatherWordPairs(const uint8_t* base, IVec offsets, IVec& first, IVec& second) {
  int32_t at[16];
  StoreInt(at, offsets);
  __m128i q[8];
  for (int32_t j = 0; j < 8; ++j) q[j] = PairQuarter(base + at[2 * j], base + at[2 * j + 1]);
  const IVec a = Quarters(q[0], q[1], q[2], q[3]), b = Quarters(q[4], q[5], q[6], q[7]);
  first = _mm512_permutex2var_epi32(
      a, _mm512_setr_epi32(0, 2, 4, 6, 8, 10, 12, 14, 16, 18, 20, 22, 24, 26, 28, 30), b);
  second = _mm512_permutex2var_epi32(
      a, _mm512_setr_epi32(1, 3, 5, 7, 9, 11, 13, 15, 17, 19, 21, 23, 25, 27, 29, 31), b);
}
// The weights stay a gather: in the kernel sampler its wait hides behind the taps'
// arithmetic.
inline Vec GatherFloats(const float* table, IVec index) {
  return _mm512_i32gather_ps(index, table, 4);
}

// Four vectors transposed within each 128-bit quarter. Shuffles only.
inline void TransposeQuarters(Vec v[4]) {
  const Vec low01 = _mm512_unpacklo_ps(v[0], v[1]), high01 = _mm512_unpackhi_ps(v[0], v[1]);
  const Vec low23 = _mm512_unpacklo_ps(v[2], v[3]), high23 = _mm512_unpackhi_ps(v[2], v[3]);
  v[0] = _mm512_shuffle_ps(low01, low23, _MM_SHUFFLE(1, 0, 1, 0));
  v[1] = _mm512_shuffle_ps(low01, low23, _MM_SHUFFLE(3, 2, 3, 2));
  v[2] = _mm512_shuffle_ps(high01, high23, _MM_SHUFFLE(1, 0, 1, 0));
  v[3] = _mm512_shuffle_ps(high01, high23, _MM_SHUFFLE(3, 2, 3, 2));
}
// Vector j holds pixels j, j + 4, j + 8 and j + 12, one per quarter; transposed, channel by
// channel.
inline void LoadQuads(const uint8_t* base, IVec offsets, Vec channels[4]) {
  int32_t at[16];
  StoreInt(at, offsets);
  for (int32_t j = 0; j < 4; ++j) {
    Vec v = _mm512_castps128_ps512(_mm_loadu_ps(reinterpret_cast<const float*>(base + at[j])));
    v = _mm512_insertf32x4(v, _mm_loadu_ps(reinterpret_cast<const float*>(base + at[j + 4])), 1);
    v = _mm512_insertf32x4(v, _mm_loadu_ps(reinterpret_cast<const float*>(base + at[j + 8])), 2);
    v = _mm512_insertf32x4(v, _mm_loadu_ps(reinterpret_cast<const float*>(base + at[j + 12])), 3);
    channels[j] = v;
  }
  TransposeQuarters(channels);
}
inline void StoreQuads(uint8_t* out, int32_t count, const Vec channels[4]) {
  Vec pixels[4] = {channels[0], channels[1], channels[2], channels[3]};
  TransposeQuarters(pixels);
  float* at = reinterpret_cast<float*>(out);
  for (int32_t j = 0; j < 4; ++j) {
    if (j < count) _mm_storeu_ps(at + 4 * j, _mm512_castps512_ps128(pixels[j]));
    if (j + 4 < count) _mm_storeu_ps(at + 4 * (j + 4), _mm512_extractf32x4_ps(pixels[j], 1));
    if (j + 8 < count) _mm_storeu_ps(at + 4 * (j + 8), _mm512_extractf32x4_ps(pixels[j], 2));
    if (j + 12 < count) _mm_storeu_ps(at + 4 * (j + 12), _mm512_extractf32x4_ps(pixels[j], 3));
  }
}
inline __mmask16 FirstLanes(int32_t count) {
  return static_cast<__mmask16>(count >= 16 ? 0xFFFFu : count <= 0 ? 0u : (1u << count) - 1u);
}
// Masked stores: lanes past the count touch no memory.
inline void StoreWords(uint8_t* out, int32_t count, IVec words) {
  _mm512_mask_storeu_epi32(out, FirstLanes(count), words);
}
inline void StoreWordPairs(uint8_t* out, int32_t count, IVec low, IVec high) {
  // Interleaving works within quarters: pixels 0, 1 | 4, 5 | 8, 9 | 12, 13 and
  // 2, 3 | 6, 7 | 10, 11 | 14, 15; the permutes put the quarters in order.
  const IVec even = _mm512_unpacklo_epi32(low, high), odd = _mm512_unpackhi_epi32(low, high);
  const IVec first =
      _mm512_permutex2var_epi64(even, _mm512_setr_epi64(0, 1, 8, 9, 2, 3, 10, 11), odd);
  const IVec second =
      _mm512_permutex2var_epi64(even, _mm512_setr_epi64(4, 5, 12, 13, 6, 7, 14, 15), odd);
  _mm512_mask_storeu_epi64(out, static_cast<__mmask8>(FirstLanes(count)), first);
  _mm512_mask_storeu_epi64(out + 64, static_cast<__mmask8>(FirstLanes(count - 8)), second);
}

#include "Resampling/SamplerBodies.inc"

}  // namespace avx512
}  // namespace
VTAFX_TARGET_END

const SamplerTable kAvx512Samplers = avx512::kBodies;
