#include "Resampling/RowCallbacks.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "Resampling/FilterKernelTables.h"
#include "Resampling/BatchedSamplers.h"

namespace {

// What the three depths differ in.
template <typename Pixel>
struct Depth;

template <>
struct Depth<PF_Pixel8> {
  static constexpr int32_t kBitsPerChannel = 8;
  static PF_Err PixelData(const RenderContext& context, PF_Pixel8** base) {
    return context.inData->utils->get_pixel_data8(context.inputWorld, nullptr, base);
  }
  static void HostSample(const RenderContext& context, PF_Fixed x, PF_Fixed y, PF_Pixel8* out) {
    context.subpixelSample8(context.effectRef, x, y, &context.samplingParams, out);
  }
};

template <>
struct Depth<PF_Pixel16> {
  static constexpr int32_t kBitsPerChannel = 16;
  static PF_Err PixelData(const RenderContext& context, PF_Pixel16** base) {
    return context.inData->utils->get_pixel_data16(context.inputWorld, nullptr, base);
  }
  static void HostSample(const RenderContext& context, PF_Fixed x, PF_Fixed y, PF_Pixel16* out) {
    context.subpixelSample16(context.effectRef, x, y, &context.samplingParams, out);
  }
};

template <>
struct Depth<PF_PixelFloat> {
  static constexpr int32_t kBitsPerChannel = 32;
  static PF_Err PixelData(const RenderContext& context, PF_PixelFloat** base) {
    return context.pixelDataSuite->get_pixel_data_float(context.inputWorld, nullptr, base);
  }
  static void HostSample(const RenderContext& context, PF_Fixed x, PF_Fixed y,
                         PF_PixelFloat* out) {
    context.subpixelSampleFloat(context.effectRef, x, y, &context.samplingParams, out);
  }
};

// The kernel geometry of `filterType`; filters without a table leave it zero, which the
// kernel sampler renders as transparent for an unknown filter.
void SetKernelGeometry(const RenderContext& context, SampleSource& source) {
  int32_t taps = 0;
  int32_t tapOffset = 0;
  int32_t blockStride = 0;
  const FilterKernelTable* table = nullptr;
  switch (context.filterType) {
    case 4:
      taps = kLanczos2Taps, tapOffset = kLanczos2TapOffset, blockStride = kLanczos2BlockStride;
      table = context.kernelLanczos2;
      break;
    case 5:
      taps = kLanczos3Taps, tapOffset = kLanczos3TapOffset, blockStride = kLanczos3BlockStride;
      table = context.kernelLanczos3;
      break;
    case 6:
      taps = kMitchellTaps, tapOffset = kMitchellTapOffset, blockStride = kMitchellBlockStride;
      table = context.kernelMitchell;
      break;
    default:
      return;
  }
  source.tapsX = source.tapsY = taps;
  source.tapOffsetX = source.tapOffsetY = tapOffset;
  source.phases = static_cast<float>(kKernelPhases);
  source.blockStride = static_cast<float>(blockStride);
  source.weights = table;
}


// Whether the samplers' 32-bit pixel offsets reach every pixel of the input. An empty
// input reaches nothing and fits.
bool OffsetsFitInt32(const PF_EffectWorld& input, int32_t bytesPerPixel) {
  const int64_t lastRow = static_cast<int64_t>(input.height) - 1;
  const int64_t rowReach = std::llabs(static_cast<long long>(input.rowbytes)) * lastRow;
  const int64_t columnReach = static_cast<int64_t>(input.width) * bytesPerPixel;
  return rowReach + columnReach <= std::numeric_limits<int32_t>::max();
}

template <typename Pixel>
PF_Err DistortRow(void* refcon, A_long y, Pixel* out) {
  const RenderContext& context = *static_cast<const RenderContext*>(refcon);
  const PF_EffectWorld& input = *context.inputWorld;
  const PF_EffectWorld& output = *context.outputWorld;
  const bool builtIn = context.filterType == 1;

  SampleSource source{};
  BatchedSampler sampler = nullptr;
  if (!builtIn) {
    Pixel* base = nullptr;
    const PF_Err err = Depth<Pixel>::PixelData(context, &base);
    if (err) return err;
    if (!OffsetsFitInt32(input, static_cast<int32_t>(sizeof(Pixel)))) {
      return PF_Err_OUT_OF_MEMORY;
    }
    DescribeInput(context, input, base, Depth<Pixel>::kBitsPerChannel, source);
    sampler = SamplerForFilter(context.filterType);
  }

  PointPacket outputPositions;
  PointPacket sourcePositions;
  // Sums in 64 bits: origins and widths are the host's and may be anything.
  const float rowY = static_cast<float>(static_cast<int64_t>(y) + output.origin_y);
  const float inputOriginX = static_cast<float>(input.origin_x);
  const float inputOriginY = static_cast<float>(input.origin_y);
  const int64_t width = output.width;
  for (int64_t start = 0; start < width; start += kPacketCapacity) {
    SetRunCount(outputPositions, static_cast<int32_t>(width), static_cast<int32_t>(start));
    const int32_t n = outputPositions.x.count;
    Ramp(outputPositions.x, static_cast<float>(start + output.origin_x), 1.0f);
    Fill(outputPositions.y, rowY);
    MapRunToSource(context, outputPositions, sourcePositions);
    SubtractScalarInPlace(sourcePositions.x, inputOriginX);
    SubtractScalarInPlace(sourcePositions.y, inputOriginY);

    // Positions that are not numbers or lie far out need no care here: the host fixed
    // point marks them far outside, and the samplers treat them as unmappable.
    if (builtIn) {
      for (int32_t k = 0; k < n; ++k, ++out) {
        Depth<Pixel>::HostSample(context, ToHostFixed(sourcePositions.x[k]),
                                 ToHostFixed(sourcePositions.y[k]), out);
      }
    } else {
      sampler(source, sourcePositions, out);
      // Only the last run is shorter than 64, so this is the next run's first pixel; the
      // pointer never steps past the row's end.
      out += n;
    }
  }
  return PF_Err_NONE;
}

}  // namespace

BatchedSampler SamplerForFilter(int32_t filterType) {
  if (filterType == 2) return SampleNearest;
  if (filterType == 3) return SampleBilinear;
  return SampleKernel;
}

void DescribeInput(const RenderContext& context, const PF_EffectWorld& input,
                   const void* pixels, int32_t bitsPerChannel, SampleSource& source) {
  source = SampleSource{};
  source.pixels = static_cast<const uint8_t*>(pixels);
  source.rowBytes = input.rowbytes;
  source.bitsPerChannel = bitsPerChannel;
  source.width = input.width;
  source.height = input.height;
  switch (bitsPerChannel) {
    case 8:
      source.bytesPerPixel = 4;
      source.colourMax = source.alphaMax = 255.0f;
      break;
    case 16:
      source.bytesPerPixel = 8;
      source.colourMax = source.alphaMax = 32768.0f;
      break;
    default:
      source.bytesPerPixel = 16;
      // Float colour is left unbounded above (only negative lobes are cut); alpha 0..1.
      source.colourMax = 1.0e10f;
      source.alphaMax = 1.0f;
      break;
  }
  SetKernelGeometry(context, source);
}

void MapRunToSource(const RenderContext& context, const PointPacket& outputs,
                    PointPacket& sources) {
  // Like every packet operation, a count outside 0..64 is taken as the nearest bound.
  const int32_t n = std::min(std::max(outputs.x.count, 0), kPacketCapacity);
  const bool undistort = context.distortMode == 2;
  const FrameTransform& from = undistort ? context.distortedFrame : context.undistortedFrame;
  const FrameTransform& to = undistort ? context.undistortedFrame : context.distortedFrame;
  for (int32_t k = 0; k < n; ++k) {
    const double x = static_cast<double>(outputs.x[k]);
    const double y = static_cast<double>(outputs.y[k]);
    int32_t valid = 0;
    Point2 mapped;
    if (undistort) {
      const Point2 normalised{x * from.toNormScale[0] + from.toNormOffset[0],
                              y * from.toNormScale[1] + from.toNormOffset[1]};
      mapped = Undistort(context.model, normalised, 1.0, &valid);
      mapped.x = mapped.x * context.zoom;
      mapped.y = mapped.y * context.zoom;
    } else {
      const Point2 normalised{(x * from.toNormScale[0] + from.toNormOffset[0]) * context.invZoom,
                              (y * from.toNormScale[1] + from.toNormOffset[1]) * context.invZoom};
      mapped = Distort(context.model, normalised, 1.0, &valid);
    }
    if (valid == 1) {
      const double mappedX = static_cast<double>(static_cast<float>(mapped.x));
      const double mappedY = static_cast<double>(static_cast<float>(mapped.y));
      sources.x[k] = static_cast<float>(mappedX * to.toPixelScale[0] + to.toPixelOffset[0]);
      sources.y[k] = static_cast<float>(mappedY * to.toPixelScale[1] + to.toPixelOffset[1]);
    } else {
      sources.x[k] = kUnmappedPosition;
      sources.y[k] = kUnmappedPosition;
    }
  }
  sources.x.count = n;
  sources.y.count = n;
}

PF_Fixed ToHostFixed(float position) {
  // Default rounding mode: nearbyint rounds ties to even.
  const float whole = std::nearbyint(position * 65536.0f);
  if (!(whole >= -2147483648.0f && whole < 2147483648.0f)) {
    return std::numeric_limits<int32_t>::min();
  }
  return static_cast<PF_Fixed>(whole);
}

PF_Err DistortRow8(void* refcon, A_long, A_long y, PF_Pixel8*, PF_Pixel8* out) {
  return DistortRow(refcon, y, out);
}

PF_Err DistortRow16(void* refcon, A_long, A_long y, PF_Pixel16*, PF_Pixel16* out) {
  return DistortRow(refcon, y, out);
}

PF_Err DistortRowFloat(void* refcon, A_long, A_long y, PF_PixelFloat*, PF_PixelFloat* out) {
  return DistortRow(refcon, y, out);
}
