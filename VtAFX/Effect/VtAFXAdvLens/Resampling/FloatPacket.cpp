#include "Resampling/FloatPacket.h"

#include <emmintrin.h>

namespace {

// End of the computed elements: whole steps of 8 covering the count.
int32_t StepEnd(int32_t count) { return (ClampPacketCount(count) + 7) & ~7; }

float* Elements(FloatPacket& p) { return p.slots + p.firstSlot; }
const float* Elements(const FloatPacket& p) { return p.slots + p.firstSlot; }

__m128 Load(const float* p) { return _mm_loadu_ps(p); }
void Store(float* p, __m128 v) { _mm_storeu_ps(p, v); }

// An element-wise operation, as `op` over 4-float vectors. The count is set first, so the
// result may be the operand.
template <typename Op>
FloatPacket& Map(FloatPacket& result, const FloatPacket& a, Op op) {
  result.count = a.count;
  float* r = Elements(result);
  const float* ea = Elements(a);
  for (int32_t i = 0, end = StepEnd(result.count); i < end; i += 4) Store(r + i, op(Load(ea + i)));
  return result;
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
  const int32_t n = ClampPacketCount(other.count);
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
