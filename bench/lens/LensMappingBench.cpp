// Cost per point of each lens kind's two directions: the closed form (with its fold
// probe) and the numerical inverse. The render callbacks pay this once per output pixel.
#include <benchmark/benchmark.h>

#include "Lens/LensModel.h"

namespace {

// A realistic, non-identity parameter block per kind.
LensParams ParamsFor(ModelKind kind) {
  LensParams p;
  ResetLensParams(p);
  p.kind = kind;
  for (double& c : p.coef) {
    c = 0.0;
  }
  switch (kind) {
    case kModelClassic:
      p.quadratic = -0.05;
      p.cubic = 0.01;
      p.quartic = 0.002;
      break;
    case kModelRadial4:
    case kModelStdRadial4:
      p.coef[0] = -0.08;
      p.coef[1] = 0.004;
      p.coef[3] = 0.01;
      break;
    case kModelRadialSquash:
      p.coef[0] = -0.05;
      p.coef[1] = 0.01;
      p.coef[3] = 0.9;
      p.coef[4] = 1.02;
      break;
    case kModelAnamorphic6:
    case kModelStdAnamorphic6:
      p.coef[0] = -0.06;
      p.coef[1] = 0.012;
      p.coef[2] = 0.008;
      p.coef[9] = -0.05;
      p.coef[11] = 0.006;
      p.coef[20] = 1.01;
      p.coef[21] = 0.985;
      p.coef[22] = 0.0349;
      p.squeeze = 2.0;
      break;
    case kModelAnamorphicMerged6:
    case kModelStdAnamorphicMerged6:
      p.coef[0] = -0.06;
      p.coef[1] = 0.012;
      p.coef[2] = 0.008;
      p.coef[11] = 1.01;
      p.coef[12] = 0.985;
      p.coef[13] = 0.0349;
      p.squeeze = 2.0;
      break;
    default:  // fisheye
      p.coef[0] = 0.04;
      p.coef[1] = -0.012;
      p.coef[4] = 0.95;
      p.coef[5] = 1.0;
      break;
  }
  return p;
}

// Walks a 64 x 64 grid over the image, so both cheap centre points and costly corner
// points are in the mix.
template <bool kDistort>
void MapPoints(benchmark::State& state) {
  LensModel model;
  SetParameters(model, ParamsFor(static_cast<ModelKind>(state.range(0))), 16.0 / 9.0);
  int index = 0;
  for (auto _ : state) {
    const Point2 p{-1.0 + (index & 63) / 32.0, -1.0 + (index >> 6) / 32.0};
    index = (index + 1) & 4095;
    int32_t valid;
    const Point2 out = kDistort ? Distort(model, p, 1.0, &valid) : Undistort(model, p, 1.0, &valid);
    benchmark::DoNotOptimize(out);
    benchmark::DoNotOptimize(valid);
  }
}

void DistortPoint(benchmark::State& state) { MapPoints<true>(state); }
void UndistortPoint(benchmark::State& state) { MapPoints<false>(state); }
BENCHMARK(DistortPoint)->DenseRange(1, 12);
BENCHMARK(UndistortPoint)->DenseRange(1, 12);

}  // namespace

BENCHMARK_MAIN();
