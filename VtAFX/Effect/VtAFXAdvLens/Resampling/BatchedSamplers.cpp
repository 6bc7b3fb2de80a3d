#include "Resampling/BatchedSamplers.h"

#include <cstring>
#include <type_traits>

#include "Resampling/PixelPacket.h"

namespace {

// Positions farther out than this are replaced by it: it is the failed-mapping marker, and
// it keeps every rounding, floor and pixel offset below 2^31, where both CPU paths agree.
constexpr float kFarOutside = 268435456.0f;

// A kernel footprint larger than this is not a table of ours.
constexpr int32_t kMaxTaps = 16;

int32_t RunLength(const PointPacket& positions) {
  const int32_t count = positions.x.count;
  return count < 0 ? 0 : count > kPacketCapacity ? kPacketCapacity : count;
}

// The positions of the run, NaN and far-away ones replaced by the marker. The run length
// is the x packet's; a y packet that ends before it leaves nothing there but stack
// leftovers, so those points take the marker too rather than address memory.
void ConfinePositions(const PointPacket& positions, int32_t n, PointPacket& confined) {
  ReplaceOutsideRange(confined.x, -kFarOutside, positions.x, kFarOutside, kFarOutside);
  ReplaceOutsideRange(confined.y, -kFarOutside, positions.y, kFarOutside, kFarOutside);
  for (int32_t k = confined.y.count < 0 ? 0 : confined.y.count; k < n; ++k) {
    confined.y[k] = kFarOutside;
  }
  confined.x.count = n;
  confined.y.count = n;
}

// Sizes up to 2^24 keep the last column and row exact as floats; beyond that the clamp
// could round past the edge, so such worlds are not read at all.
constexpr int32_t kMaxSize = 1 << 24;

bool HasPixels(const SampleSource& source) {
  return source.pixels != nullptr && source.width > 0 && source.height > 0 &&
         source.width <= kMaxSize && source.height <= kMaxSize;
}

// The transparent run written for a source without pixels.
void StoreTransparent(const SampleSource& source, int32_t n, void* out) {
  std::memset(out, 0, static_cast<size_t>(n) * static_cast<size_t>(source.bytesPerPixel));
}

float LastColumn(const SampleSource& source) { return static_cast<float>(source.width - 1); }
float LastRow(const SampleSource& source) { return static_cast<float>(source.height - 1); }

template <typename Channel>
constexpr bool kRoundsToWhole = !std::is_same<Channel, float>::value;

template <typename Channel>
void SampleNearestOf(const SampleSource& source, const PointPacket& positions, int32_t n,
                     void* out) {
  const float w1 = LastColumn(source), h1 = LastRow(source);
  PointPacket at;
  ConfinePositions(positions, n, at);
  FloatPacket maskX, maskY;
  RoundNearest(at.x, at.x);
  RangeMask(maskX, -1.0f, at.x, w1 + 1.0f);
  Clamp(at.x, 0.0f, at.x, w1);
  RoundNearest(at.y, at.y);
  RangeMask(maskY, -1.0f, at.y, h1 + 1.0f);
  Clamp(at.y, 0.0f, at.y, h1);

  PixelPacket pixels;
  FetchPixelsOf<Channel>(source, at, pixels);
  MultiplyInPlace(maskX, maskY);
  for (FloatPacket& channel : pixels.channels) MultiplyInPlace(channel, maskX);
  StorePixelsOf<Channel>(source, pixels, out);
}

template <typename Channel>
void SampleBilinearOf(const SampleSource& source, const PointPacket& positions, int32_t n,
                      void* out) {
  const float w1 = LastColumn(source), h1 = LastRow(source);
  PointPacket at;
  ConfinePositions(positions, n, at);
  FloatPacket fractionX, wholeX, fractionY, wholeY;
  SplitFloor(fractionX, wholeX, at.x);
  SplitFloor(fractionY, wholeY, at.y);

  // Two gather points, left (x0) and right (x1), moved from the upper row to the lower.
  PointPacket left, right;
  Clamp(left.x, 0.0f, wholeX, w1);
  ClampSum(right.x, 0.0f, wholeX, 1.0f, w1);
  Clamp(left.y, 0.0f, wholeY, h1);
  Clamp(right.y, 0.0f, wholeY, h1);
  PixelPacket p00, p10, p01, p11;
  FetchPixelsOf<Channel>(source, left, p00);
  FetchPixelsOf<Channel>(source, right, p10);
  ClampSum(left.y, 0.0f, wholeY, 1.0f, h1);
  ClampSum(right.y, 0.0f, wholeY, 1.0f, h1);
  FetchPixelsOf<Channel>(source, left, p01);
  FetchPixelsOf<Channel>(source, right, p11);

  FloatPacket mask, maskY;
  RangeMask(mask, 0.0f, wholeX, w1);
  RangeMask(maskY, 0.0f, wholeY, h1);
  MultiplyInPlace(mask, maskY);
  for (int32_t c = 0; c < 4; ++c) {
    FloatPacket& top = p00.channels[c];
    FloatPacket& bottom = p01.channels[c];
    Lerp(top, top, p10.channels[c], fractionX);
    Lerp(bottom, bottom, p11.channels[c], fractionX);
    Lerp(top, top, bottom, fractionY);
    if constexpr (kRoundsToWhole<Channel>) {
      RoundProduct(top, top, mask);
    } else {
      MultiplyInPlace(top, mask);
    }
  }
  StorePixelsOf<Channel>(source, p00, out);
}

bool HasUsableTable(const SampleSource& source) {
  return source.weights != nullptr && source.tapsX >= 0 && source.tapsY >= 0 &&
         source.tapsX <= kMaxTaps && source.tapsY <= kMaxTaps &&
         static_cast<float>(source.tapsX * source.tapsY) <= source.blockStride &&
         source.phases >= 1.0f && source.phases <= 1024.0f &&
         source.blockStride <= 1024.0f;
}

template <typename Channel>
void SampleKernelOf(const SampleSource& source, const PointPacket& positions, int32_t n,
                    void* out) {
  const float w1 = LastColumn(source), h1 = LastRow(source);
  const bool usable = HasUsableTable(source);
  const int32_t tapsX = usable ? source.tapsX : 0;
  const int32_t tapsY = usable ? source.tapsY : 0;

  PointPacket at;
  ConfinePositions(positions, n, at);
  FloatPacket phaseX, startX, phaseY, startY, block;
  SplitPhase(phaseX, startX, at.x, source.phases, -static_cast<float>(source.tapOffsetX));
  SplitPhase(phaseY, startY, at.y, source.phases, -static_cast<float>(source.tapOffsetY));
  LinearCombination(block, source.blockStride * source.phases, phaseY, source.blockStride,
                    phaseX);
  // A fraction just below 1 can round to 1, giving phase 64: the block then reads into the
  // next row of blocks, as it always has; only past the last block is it held back, so the
  // gather never leaves the table.
  const float lastBlock = (source.phases * source.phases - 1.0f) * source.blockStride;
  Clamp(block, 0.0f, block, usable ? lastBlock : 0.0f);

  PixelPacket sums;
  FloatPacket weightSum;
  for (FloatPacket& sum : sums.channels) {
    sum.count = n;
    Fill(sum, 0.0f);
  }
  weightSum.count = n;
  Fill(weightSum, 0.0f);

  PointPacket tap;
  FloatPacket maskX, maskY, weight;
  PixelPacket pixels;
  int32_t t = 0;
  for (int32_t ty = 0; ty < tapsY; ++ty) {
    ClampSumWithMask(tap.y, maskY, 0.0f, startY, static_cast<float>(ty), h1);
    for (int32_t tx = 0; tx < tapsX; ++tx) {
      ClampSumWithMask(tap.x, maskX, 0.0f, startX, static_cast<float>(tx), w1);
      FetchPixelsOf<Channel>(source, tap, pixels);
      Gather(weight, source.weights + t, block);
      ++t;
      TripleProduct(weight, weight, maskX, maskY);
      for (int32_t c = 0; c < 4; ++c) {
        MultiplyAdd(sums.channels[c], weight, pixels.channels[c], sums.channels[c]);
      }
      AddInPlace(weightSum, weight);
    }
  }

  FloatPacket reciprocal;
  SafeReciprocal(reciprocal, weightSum);
  for (int32_t c = 0; c < 4; ++c) {
    const float max = c == kAlpha ? source.alphaMax : source.colourMax;
    FloatPacket& sum = sums.channels[c];
    if constexpr (kRoundsToWhole<Channel>) {
      ClampRoundProduct(sum, 0.0f, reciprocal, sum, max);
    } else {
      ClampProduct(sum, 0.0f, reciprocal, sum, max);
    }
  }
  StorePixelsOf<Channel>(source, sums, out);
}

using SamplerOf = void (*)(const SampleSource&, const PointPacket&, int32_t, void*);

// Runs the sampler of the source's channel type, after the checks common to all three.
void Dispatch(const SampleSource& source, const PointPacket& positions, void* out,
              SamplerOf bytes, SamplerOf shorts, SamplerOf floats) {
  const int32_t bits = SourceChannelBits(source);
  if (bits == 0 || out == nullptr) return;
  const int32_t n = RunLength(positions);
  if (n == 0) return;
  if (!HasPixels(source)) {
    StoreTransparent(source, n, out);
    return;
  }
  (bits == 8 ? bytes : bits == 16 ? shorts : floats)(source, positions, n, out);
}

}  // namespace

void SampleNearest(const SampleSource& source, const PointPacket& positions, void* out) {
  Dispatch(source, positions, out, SampleNearestOf<uint8_t>, SampleNearestOf<uint16_t>,
           SampleNearestOf<float>);
}

void SampleBilinear(const SampleSource& source, const PointPacket& positions, void* out) {
  Dispatch(source, positions, out, SampleBilinearOf<uint8_t>, SampleBilinearOf<uint16_t>,
           SampleBilinearOf<float>);
}

void SampleKernel(const SampleSource& source, const PointPacket& positions, void* out) {
  Dispatch(source, positions, out, SampleKernelOf<uint8_t>, SampleKernelOf<uint16_t>,
           SampleKernelOf<float>);
}
