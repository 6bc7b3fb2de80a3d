#include "FrameStages.h"

#include <cmath>
#include <cstring>

#include "Host/ParamIndices.h"
#include "Host/RenderSetUp.h"
#include "Resampling/BatchedSamplers.h"
#include "Resampling/FilterKernelTables.h"
#include "Resampling/FloatPacket.h"
#include "Resampling/RowCallbacks.h"

namespace stages {

namespace {

double Sine(double x) { return std::sin(x); }

}  // namespace

int32_t LensModelChoice(Lens lens) {
  return lens == Lens::kClosedForm ? 3 /* "Radial 4th-order" */
                                   : 4 /* "Std. Radial 4th-order" */;
}

void ContextDeleter::operator()(RenderContext* context) const {
  DisposeRenderContext(context);
}

ContextPtr MakeContext(Lens lens, int32_t filterType, int32_t width, int32_t height) {
  RenderParameterValues values{};
  values.lensModelChoice = LensModelChoice(lens);
  values.distortMode = 1;
  values.filterType = filterType;
  values.pixelAspect = 1.0;
  values.squeeze = 1.0;
  values.zoom = 1.0;
  values.distortedSize[0] = values.undistortedSize[0] = width;
  values.distortedSize[1] = values.undistortedSize[1] = height;
  values.lensCenter[0] = 0.5 * width;
  values.lensCenter[1] = 0.5 * height;
  std::vector<double> sliders(kParamCount, 0.0);
  if (lens != Lens::kIdentity) {
    sliders[kParamRadial4First] = kC2;
    sliders[kParamRadial4First + 3] = kC4;
  }

  ContextPtr context(CreateRenderContext());
  if (!context || SetUpRenderContextFromValues(values, sliders.data(), *context) != 0) {
    return nullptr;
  }
  BuildFilterKernelTables(Sine);
  GetFilterKernelTables(&context->kernelLanczos2, &context->kernelLanczos3,
                        &context->kernelMitchell);
  return context;
}

void MapFrame(const RenderContext& context, SourceMap& map) {
  const PF_LRect& rect = context.outputRect;
  map.width = rect.right - rect.left;
  map.height = rect.bottom - rect.top;
  const size_t pixels = static_cast<size_t>(map.width) * static_cast<size_t>(map.height);
  map.x.resize(pixels);
  map.y.resize(pixels);
  PointPacket outputs;
  PointPacket sources;
  for (int32_t row = 0; row < map.height; ++row) {
    float* mapX = map.x.data() + static_cast<size_t>(row) * static_cast<size_t>(map.width);
    float* mapY = map.y.data() + static_cast<size_t>(row) * static_cast<size_t>(map.width);
    for (int32_t start = 0; start < map.width; start += kPacketCapacity) {
      SetRunCount(outputs, map.width, start);
      Ramp(outputs.x, static_cast<float>(start + rect.left), 1.0f);
      Fill(outputs.y, static_cast<float>(row + rect.top));
      MapRunToSource(context, outputs, sources);
      for (int32_t k = 0; k < sources.x.count; ++k) {
        mapX[start + k] = sources.x[k];
        mapY[start + k] = sources.y[k];
      }
    }
  }
}

bool ResampleFrame(const RenderContext& context, const harness::Image& input,
                   const SourceMap& map, harness::Image& output) {
  if (context.filterType < 2 || context.filterType > 6 || output.depth != input.depth ||
      output.width != map.width || output.height != map.height) {
    return false;
  }
  const int32_t bits = static_cast<int32_t>(input.depth);
  SampleSource source;
  std::memset(&source, 0, sizeof source);
  source.pixels = input.pixels.data();
  source.bytesPerPixel = harness::PixelBytes(input.depth);
  source.rowBytes = input.width * source.bytesPerPixel;
  source.bitsPerChannel = bits;
  source.width = input.width;
  source.height = input.height;
  source.colourMax = bits == 8 ? 255.0f : bits == 16 ? 32768.0f : 1.0e10f;
  source.alphaMax = bits == 8 ? 255.0f : bits == 16 ? 32768.0f : 1.0f;
  void (*sampler)(const SampleSource&, const PointPacket&, void*) = SampleKernel;
  if (context.filterType == 2) sampler = SampleNearest;
  if (context.filterType == 3) sampler = SampleBilinear;
  int32_t taps = 0, tapOffset = 0, blockStride = 0;
  if (context.filterType == 4) {
    taps = kLanczos2Taps, tapOffset = kLanczos2TapOffset, blockStride = kLanczos2BlockStride;
    source.weights = context.kernelLanczos2;
  } else if (context.filterType == 5) {
    taps = kLanczos3Taps, tapOffset = kLanczos3TapOffset, blockStride = kLanczos3BlockStride;
    source.weights = context.kernelLanczos3;
  } else if (context.filterType == 6) {
    taps = kMitchellTaps, tapOffset = kMitchellTapOffset, blockStride = kMitchellBlockStride;
    source.weights = context.kernelMitchell;
  }
  source.tapsX = source.tapsY = taps;
  source.tapOffsetX = source.tapOffsetY = tapOffset;
  source.phases = static_cast<float>(kKernelPhases);
  source.blockStride = static_cast<float>(blockStride);

  PointPacket positions;
  for (int32_t row = 0; row < map.height; ++row) {
    const size_t first = static_cast<size_t>(row) * static_cast<size_t>(map.width);
    uint8_t* out = output.pixels.data() + first * static_cast<size_t>(source.bytesPerPixel);
    for (int32_t start = 0; start < map.width; start += kPacketCapacity) {
      SetRunCount(positions, map.width, start);
      for (int32_t k = 0; k < positions.x.count; ++k) {
        positions.x[k] = map.x[first + static_cast<size_t>(start + k)];
        positions.y[k] = map.y[first + static_cast<size_t>(start + k)];
      }
      sampler(source, positions, out + static_cast<size_t>(start) * source.bytesPerPixel);
    }
  }
  return true;
}

}  // namespace stages
