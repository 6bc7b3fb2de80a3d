// Fixed-capacity runs of up to 64 floats and the element-wise operations the render does on
// them, four floats per SSE instruction, eight per step.
//
// Rules every element-wise operation keeps:
//  - It works in steps of 8 elements while the step's first index is below the count, so
//    the elements from the count up to the next multiple of 8 are computed too and hold
//    meaningless values; they are never results. (A count above 64 is treated as 64, one
//    below 0 as 0, so no operation leaves the slots.)
//  - A result packet's count is the smallest count of the packet operands; an in-place
//    operation lowers its own count to the smaller of the two; one with only scalar
//    operands keeps its count.
//  - Minimum and maximum return their second operand when a comparison involves a NaN, and
//    the packet element is always that second operand: a NaN passes through Clamp and its
//    relatives unchanged. Comparisons with a NaN are false, so masks are 0.0 there.
//  - Masks are floats: 1.0 where the condition holds, 0.0 elsewhere.
//  - A result packet may be one of the operands.
// Operations marked "two paths" use SSE4.1 where CpuFeatures() has kCpuFeatureSse41, else an
// SSE2 emulation; the two agree bit for bit on every element of magnitude below 2^31 except
// that the emulation may give +0.0 where SSE4.1 gives -0.0.
#pragma once

#include <cstdint>

constexpr int32_t kPacketCapacity = 64;

// A count as every packet operation takes it: below 0 as 0, above 64 as 64.
constexpr int32_t ClampPacketCount(int32_t count) {
  return count < 0 ? 0 : count > kPacketCapacity ? kPacketCapacity : count;
}

// The source position of a pixel the lens model cannot map, in both axes: 2^28, far outside
// any input, so every filter makes the pixel transparent.
constexpr float kUnmappedPosition = 268435456.0f;

// Up to 64 floats. Element i lives in slots[firstSlot + i]; firstSlot puts element 0 on the
// first 32-byte boundary inside `slots`, which depends on the record's own address, so a
// packet is never copied bytewise: copying takes the count and the elements only.
struct FloatPacket {
  int32_t count;      // valid elements, 0..64; construction sets 64
  int32_t firstSlot;  // 0..7, fixed at construction
  float slots[kPacketCapacity + 8];

  FloatPacket();  // count 64, elements unspecified
  FloatPacket(const FloatPacket& other);
  FloatPacket& operator=(const FloatPacket& other);

  float& operator[](int32_t i) { return slots[firstSlot + i]; }
  const float& operator[](int32_t i) const { return slots[firstSlot + i]; }
};

// A run of points: element k of x and of y is one point.
struct PointPacket {
  FloatPacket x;
  FloatPacket y;
};

// Both counts = total - start where that is below 64 (and not below 0), else 64: the length
// of the run starting at `start` of a row of `total` pixels.
void SetRunCount(PointPacket& points, int32_t total, int32_t start);

// Every element = s.
FloatPacket& Fill(FloatPacket& a, float s);

// Element i = start + i * step, built by additions so whole-number starts and steps give
// whole numbers exactly: elements 0..3 are start, start + step, (step + step) + start and
// step * 3 + start, elements 4..7 those plus step * 4, and every later block of eight the
// block before plus step * 8.
FloatPacket& Ramp(FloatPacket& a, float start, float step);

// a = a - s.
FloatPacket& SubtractScalarInPlace(FloatPacket& a, float s);

// a = a * b.
FloatPacket& MultiplyInPlace(FloatPacket& a, const FloatPacket& b);

// a = a + b.
FloatPacket& AddInPlace(FloatPacket& a, const FloatPacket& b);

// result = (b - a) * t + a.
FloatPacket& Lerp(FloatPacket& result, const FloatPacket& a, const FloatPacket& b,
                  const FloatPacket& t);

// result = min(hi, max(lo, a)).
FloatPacket& Clamp(FloatPacket& result, float lo, const FloatPacket& a, float hi);

// result = min(hi, max(lo, a + s)).
FloatPacket& ClampSum(FloatPacket& result, float lo, const FloatPacket& a, float s, float hi);

// v = a + s; result = min(hi, max(lo, v)); mask = 1.0 where lo <= v <= hi. Both results get
// a's count.
void ClampSumWithMask(FloatPacket& result, FloatPacket& mask, float lo, const FloatPacket& a,
                      float s, float hi);

// result = 1.0 where lo <= a <= hi (both ends included), else 0.0.
FloatPacket& RangeMask(FloatPacket& result, float lo, const FloatPacket& a, float hi);

// result = a where lo <= a <= hi, else `replacement` (so also where a is NaN).
FloatPacket& ReplaceOutsideRange(FloatPacket& result, float lo, const FloatPacket& a, float hi,
                                 float replacement);

// result = a rounded to a whole number, ties to even. Two paths.
FloatPacket& RoundNearest(FloatPacket& result, const FloatPacket& a);

// whole = floor(a), fraction = a - whole. Both get a's count. Two paths.
void SplitFloor(FloatPacket& fraction, FloatPacket& whole, const FloatPacket& a);

// phase = floor((a - floor(a)) * s), start = floor(a) + t. Both get a's count. Two paths.
void SplitPhase(FloatPacket& phase, FloatPacket& start, const FloatPacket& a, float s, float t);

// result = a * b + c, rounded after the multiplication and after the addition.
FloatPacket& MultiplyAdd(FloatPacket& result, const FloatPacket& a, const FloatPacket& b,
                         const FloatPacket& c);

// result = s * a + t * b.
FloatPacket& LinearCombination(FloatPacket& result, float s, const FloatPacket& a, float t,
                               const FloatPacket& b);

// result = min(hi, max(lo, a * b)).
FloatPacket& ClampProduct(FloatPacket& result, float lo, const FloatPacket& a,
                          const FloatPacket& b, float hi);

// result = (a * b) * c.
FloatPacket& TripleProduct(FloatPacket& result, const FloatPacket& a, const FloatPacket& b,
                           const FloatPacket& c);

// result = a * b rounded to a whole number, ties to even. Two paths.
FloatPacket& RoundProduct(FloatPacket& result, const FloatPacket& a, const FloatPacket& b);

// result = min(hi, max(lo, a * b rounded to a whole number, ties to even)). Two paths.
FloatPacket& ClampRoundProduct(FloatPacket& result, float lo, const FloatPacket& a,
                               const FloatPacket& b, float hi);

// result = 1 / (a + c), c = 1.0 where a is exactly 0.0, else 0.0: the reciprocal, or 1 where
// a is zero.
FloatPacket& SafeReciprocal(FloatPacket& result, const FloatPacket& a);

// Element i = table[a[i] truncated toward zero]; result count = a's count. Reads exactly
// count table entries, so every index below the count must lie inside the table.
FloatPacket& Gather(FloatPacket& result, const float* table, const FloatPacket& a);

// offsets[i] = trunc(x[i]) * pixelStride + trunc(y[i]) * rowStride in 32-bit arithmetic
// (wrapping), for the x packet's count. `offsets` must hold 64 entries: the SSE4.1 path
// writes whole steps of 8. Two paths.
void PixelOffsets(int32_t* offsets, const PointPacket& points, int32_t rowStride,
                  int32_t pixelStride);
