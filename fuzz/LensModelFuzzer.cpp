// A lens model of any kind (also none of the twelve) set up from any LensParams and asked
// to map any points in either direction, one at a time and in the SIMD lanes of every path
// this processor has: set-up and mapping must return (the range search, the spline fit and
// the Newton inversions all end), stay inside their memory, give a validity flag of 0 or 1,
// and the lanes must give the one-point mapping's bits exactly.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "FuzzInput.h"
#include "Lens/BatchedMapping.h"
#include "Lens/LensModel.h"

namespace {

constexpr int32_t kPoints = 9;  // more than the widest lanes hold, so a chunk is partial

// NaN payloads are not the output's concern: an unmappable point is replaced by the marker.
bool SameBits(double a, double b) {
  return (std::isnan(a) && std::isnan(b)) || std::memcmp(&a, &b, sizeof a) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput in(data, size);
  LensParams params;
  ResetLensParams(params);
  params.kind = static_cast<ModelKind>(in.IntIn<int32_t>(-2, 13));
  for (double* field :
       {&params.quadratic, &params.cubic, &params.quartic, &params.hCenter, &params.vCenter,
        &params.eccentricity, &params.invVScale, &params.vScale, &params.squeeze}) {
    *field = in.Double();
  }
  for (double& c : params.coef) c = in.Double();
  const double aspect = in.Double();

  LensModel model;
  SetParameters(model, params, aspect);
  const MapDirection direction = in.Bool() ? MapDirection::Distort : MapDirection::Undistort;
  double x[kPoints], y[kPoints], wantX[kPoints], wantY[kPoints];
  int32_t wantValid[kPoints];
  for (int32_t i = 0; i < kPoints; ++i) {
    x[i] = in.Double();
    y[i] = in.Double();
    wantValid[i] = -1;
    const Point2 p = direction == MapDirection::Distort
                         ? Distort(model, {x[i], y[i]}, 1.0, &wantValid[i])
                         : Undistort(model, {x[i], y[i]}, 1.0, &wantValid[i]);
    if (wantValid[i] != 0 && wantValid[i] != 1) std::abort();
    wantX[i] = p.x;
    wantY[i] = p.y;
  }
  // The fisheye kinds also read a radius scale; and no flag asked for must change nothing.
  const double radiusScale = in.Double();
  int32_t valid = -1;
  Distort(model, {x[0], y[0]}, radiusScale, &valid);
  Undistort(model, {x[0], y[0]}, radiusScale, nullptr);
  if (valid != 0 && valid != 1) std::abort();

  for (MappingPath path : {MappingPath::Sse2, MappingPath::Avx2, MappingPath::Avx512}) {
    if (!PathAvailable(path)) continue;
    double gotX[kPoints], gotY[kPoints];
    int32_t gotValid[kPoints];
    MapPointsBatched(model, direction, path, x, y, kPoints, gotX, gotY, gotValid);
    for (int32_t i = 0; i < kPoints; ++i) {
      if (!SameBits(gotX[i], wantX[i]) || !SameBits(gotY[i], wantY[i]) ||
          gotValid[i] != wantValid[i]) {
        std::abort();
      }
    }
  }
  return 0;
}
