#include "Resampling/BatchedSamplers.h"

#include <cstring>

#include "Resampling/CpuFeatures.h"
#include "Resampling/SamplerTargets.h"

namespace {

// Sizes up to 2^24 keep the last column and row exact as floats; beyond that the clamp
// could round past the edge, so such worlds are not read at all.
constexpr int32_t kMaxSize = 1 << 24;

// True when every byte offset of a pixel inside the world fits in 32 bits, the width of the
// vector offsets. The row callbacks refuse larger worlds before they sample, so the samplers
// need no second way of addressing; here such a world is simply not read.
bool OffsetsFitIn32Bits(const SampleSource& source) {
  const int64_t rows = static_cast<int64_t>(source.height - 1) * source.rowBytes;
  const int64_t low = rows < 0 ? rows : 0;
  const int64_t high =
      static_cast<int64_t>(source.width - 1) * source.bytesPerPixel + (rows > 0 ? rows : 0);
  return low >= INT32_MIN && high <= INT32_MAX;
}

bool HasPixels(const SampleSource& source) {
  return source.pixels != nullptr && source.width > 0 && source.height > 0 &&
         source.width <= kMaxSize && source.height <= kMaxSize && OffsetsFitIn32Bits(source);
}

const SamplerTable& TableFor(uint32_t cpuFeatures) {
  if (cpuFeatures & kCpuFeatureAvx512F) return kAvx512Samplers;
  if (cpuFeatures & kCpuFeatureAvx2) return kAvx2Samplers;
  if (cpuFeatures & kCpuFeatureSse41) return kSse41Samplers;
  return kSse2Samplers;
}

int32_t DepthIndex(int32_t bitsPerChannel) {
  return bitsPerChannel == 16 ? 1 : bitsPerChannel == 32 ? 2 : 0;
}

void SampleNow(SamplerFamily family, const SampleSource& source, const PointPacket& positions,
               void* out) {
  const int32_t bits = SourceChannelBits(source);
  if (bits == 0) return;
  SelectBatchedSampler(family, bits, CpuFeatures())(source, positions, out);
}

}  // namespace

int32_t PrepareRun(const SampleSource& source, const PointPacket& positions, void* out) {
  const int32_t n = ClampPacketCount(positions.x.count);
  if (out == nullptr || n == 0) return 0;
  if (!HasPixels(source)) {
    std::memset(out, 0, static_cast<size_t>(n) * static_cast<size_t>(source.bytesPerPixel));
    return 0;
  }
  return n;
}

BatchedSampler SelectBatchedSampler(SamplerFamily family, int32_t bitsPerChannel,
                                    uint32_t cpuFeatures) {
  return TableFor(cpuFeatures).body[static_cast<int32_t>(family)][DepthIndex(bitsPerChannel)];
}

void SampleNearest(const SampleSource& source, const PointPacket& positions, void* out) {
  SampleNow(SamplerFamily::Nearest, source, positions, out);
}

void SampleBilinear(const SampleSource& source, const PointPacket& positions, void* out) {
  SampleNow(SamplerFamily::Bilinear, source, positions, out);
}

void SampleKernel(const SampleSource& source, const PointPacket& positions, void* out) {
  SampleNow(SamplerFamily::Kernel, source, positions, out);
}
