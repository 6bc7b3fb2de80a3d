// Fixed-capacity runs of up to 64 floats, the unit the render maps and samples in, and the
// few operations the row callbacks do on them.
//
// Rules every operation keeps:
//  - It works in steps of 8 elements while the step's first index is below the count, so
//    the elements from the count up to the next multiple of 8 are computed too and hold
//    meaningless values; they are never results. (A count above 64 is treated as 64, one
//    below 0 as 0, so no operation leaves the slots.)
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
