#include "Lens/BatchedMapping.h"

#include "Lens/LaneKernelTable.h"
#include "Resampling/CpuFeatures.h"

namespace {

const LaneKernelTable& TableOf(MappingPath path) {
  switch (path) {
    case MappingPath::Avx512: return LaneKernelsAvx512();
    case MappingPath::Avx2: return LaneKernelsAvx2();
    case MappingPath::Sse2: break;
  }
  return LaneKernelsSse2();
}

// The identity (and a kind with nothing installed) bypasses the kind's functions, exactly
// as Distort and Undistort do.
LaneKernel KernelOf(const LensModel& model) {
  const LensModelEntry* entry = LensModelOfKind(model.params.kind);
  if (!entry || model.isIdentity || !model.distortFn || !model.undistortFn) {
    return LaneKernel::Identity;
  }
  return entry->laneKernel;
}

}  // namespace

MappingPath PathForFeatures(uint32_t cpuFeatures) {
  if (cpuFeatures & kCpuFeatureAvx512F) return MappingPath::Avx512;
  if (cpuFeatures & kCpuFeatureAvx2) return MappingPath::Avx2;
  return MappingPath::Sse2;
}

bool PathAvailable(MappingPath path) {
  return static_cast<int32_t>(PathForFeatures(QueryCpuFeatures())) >= static_cast<int32_t>(path);
}

RunMappingFn SelectRunMapping(const LensModel& model, MapDirection direction, MappingPath path) {
  return TableOf(path).runs[static_cast<int32_t>(KernelOf(model))][static_cast<int32_t>(direction)];
}

void MapPointsBatched(const LensModel& model, MapDirection direction, MappingPath path,
                      const double* x, const double* y, int32_t count, double* outX, double* outY,
                      int32_t* valid) {
  TableOf(path).points[static_cast<int32_t>(KernelOf(model))][static_cast<int32_t>(direction)](
      model, x, y, count, outX, outY, valid);
}

void MapRunPerPoint(const RunMapping& mapping, const PointPacket& outputs, PointPacket& sources) {
  const int32_t n = ClampPacketCount(outputs.x.count);
  const bool undistort = mapping.direction == MapDirection::Undistort;
  for (int32_t k = 0; k < n; ++k) {
    const double x = static_cast<double>(outputs.x[k]);
    const double y = static_cast<double>(outputs.y[k]);
    int32_t valid = 0;
    Point2 mapped;
    if (undistort) {
      const Point2 normalised{x * mapping.toNormScale[0] + mapping.toNormOffset[0],
                              y * mapping.toNormScale[1] + mapping.toNormOffset[1]};
      mapped = Undistort(*mapping.model, normalised, 1.0, &valid);
      mapped.x = mapped.x * mapping.zoom;
      mapped.y = mapped.y * mapping.zoom;
    } else {
      const Point2 normalised{
          (x * mapping.toNormScale[0] + mapping.toNormOffset[0]) * mapping.zoom,
          (y * mapping.toNormScale[1] + mapping.toNormOffset[1]) * mapping.zoom};
      mapped = Distort(*mapping.model, normalised, 1.0, &valid);
    }
    if (valid == 1) {
      const double mappedX = static_cast<double>(static_cast<float>(mapped.x));
      const double mappedY = static_cast<double>(static_cast<float>(mapped.y));
      sources.x[k] =
          static_cast<float>(mappedX * mapping.toPixelScale[0] + mapping.toPixelOffset[0]);
      sources.y[k] =
          static_cast<float>(mappedY * mapping.toPixelScale[1] + mapping.toPixelOffset[1]);
    } else {
      sources.x[k] = kUnmappedPosition;
      sources.y[k] = kUnmappedPosition;
    }
  }
  sources.x.count = n;
  sources.y.count = n;
}
