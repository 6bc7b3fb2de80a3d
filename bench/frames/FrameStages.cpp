#include "FrameStages.h"

#include <cmath>

#include "Host/ParamIndices.h"
#include "Host/RenderSetUp.h"
#include "Host/RowCallbacks.h"
#include "Lens/LensModelTable.h"
#include "Resampling/FilterKernelTables.h"
#include "Resampling/FloatPacket.h"

namespace stages {

namespace {

double Sine(double x) { return std::sin(x); }

}  // namespace

int32_t LensModelChoice(Lens lens) {
  return LensModelOfKind(lens == Lens::kClosedForm ? ModelKind::Radial4 : ModelKind::StdRadial4)
      ->popupPosition;
}

void ContextDeleter::operator()(RenderContext* context) const { DisposeRenderContext(context); }

ContextPtr MakeContext(Lens lens, FilterType filterType, int32_t width, int32_t height) {
  RenderParameterValues values{};
  values.lensModelChoice = LensModelChoice(lens);
  values.distortMode = int32_t(DistortMode::RemoveWF2);
  values.filterType = int32_t(filterType);
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

bool ResampleFrame(const RenderContext& context, const harness::Image& input, const SourceMap& map,
                   harness::Image& output, harness::RowPool& pool) {
  if (context.plan.filterType == FilterType::BuiltIn || output.depth != input.depth ||
      output.width != map.width || output.height != map.height) {
    return false;
  }
  const int32_t pixelBytes = harness::PixelBytes(input.depth);
  PF_EffectWorld world{};
  world.width = input.width;
  world.height = input.height;
  world.rowbytes = input.width * pixelBytes;
  SampleSource source;
  DescribeInput(context, world, input.pixels.data(), static_cast<int32_t>(input.depth), source);
  const SampleDepth depth = input.depth == harness::Depth::k8    ? SampleDepth::Bits8
                            : input.depth == harness::Depth::k16 ? SampleDepth::Bits16
                                                                 : SampleDepth::Bits32;
  const BatchedSampler sampler = context.plan.samplers[int32_t(depth)];

  pool.Run(map.height, [&](int32_t row) {
    PointPacket positions;
    const size_t first = static_cast<size_t>(row) * static_cast<size_t>(map.width);
    uint8_t* out = output.pixels.data() + first * static_cast<size_t>(pixelBytes);
    for (int32_t start = 0; start < map.width; start += kPacketCapacity) {
      SetRunCount(positions, map.width, start);
      for (int32_t k = 0; k < positions.x.count; ++k) {
        positions.x[k] = map.x[first + static_cast<size_t>(start + k)];
        positions.y[k] = map.y[first + static_cast<size_t>(start + k)];
      }
      sampler(source, positions,
              out + static_cast<size_t>(start) * static_cast<size_t>(pixelBytes));
    }
    return true;
  });
  return true;
}

}  // namespace stages
