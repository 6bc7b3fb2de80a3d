#include "Host/RowCallbacks.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace {

// What the three depths differ in.
template <typename Pixel>
struct Depth;

template <>
struct Depth<PF_Pixel8> {
  static constexpr int32_t kBitsPerChannel = 8;
  static constexpr SampleDepth kDepth = SampleDepth::Bits8;
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
  static constexpr SampleDepth kDepth = SampleDepth::Bits16;
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
  static constexpr SampleDepth kDepth = SampleDepth::Bits32;
  static PF_Err PixelData(const RenderContext& context, PF_PixelFloat** base) {
    return context.pixelDataSuite->get_pixel_data_float(context.inputWorld, nullptr, base);
  }
  static void HostSample(const RenderContext& context, PF_Fixed x, PF_Fixed y, PF_PixelFloat* out) {
    context.subpixelSampleFloat(context.effectRef, x, y, &context.samplingParams, out);
  }
};

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
  const RenderPlan& plan = context.plan;
  const bool builtIn = plan.filterType == FilterType::BuiltIn;

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
    sampler = plan.samplers[static_cast<int32_t>(Depth<Pixel>::kDepth)];
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
    MapRunToSource(plan.mapping, outputPositions, sourcePositions);
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

void DescribeInput(const RenderContext& context, const PF_EffectWorld& input, const void* pixels,
                   int32_t bitsPerChannel, SampleSource& source) {
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
  const FilterEntry& filter = *context.plan.filter;
  if (filter.table) {
    source.tapsX = source.tapsY = filter.taps;
    source.tapOffsetX = source.tapOffsetY = filter.tapOffset;
    source.phases = static_cast<float>(kKernelPhases);
    source.blockStride = static_cast<float>(filter.blockStride);
    source.weights = context.*filter.table;
  }
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
