// Cost of the classic kind's tables: building one (every frame's set-up, including the
// range search) and looking radii up in it (every output pixel).
#include <benchmark/benchmark.h>

#include "Numerics/SplineTables.h"

namespace {

struct Coefficients {
  double k1, k2, k3;
};

// Closed form, march without a root, and march with root isolation and refinement.
const Coefficients kCases[] = {{-0.1, 0.0, 0.0}, {0.5, 0.0, -0.01}, {0.05, -0.7, 0.35}};

void BuildTable(benchmark::State& state) {
  const Coefficients& c = kCases[state.range(0)];
  for (auto _ : state) {
    RadialTable table;
    ResetRadialTable(table);
    BuildRadialTable(table, c.k1, c.k2, c.k3, 2.0);
    benchmark::DoNotOptimize(table.endRatio);
    ReleaseRadialTable(table);
  }
}
BENCHMARK(BuildTable)->DenseRange(0, 2);

void LookUpRadii(benchmark::State& state) {
  RadialTable table;
  ResetRadialTable(table);
  BuildRadialTable(table, -0.05, 0.01, 0.002, 2.0);
  const double last = table.distorted[table.count - 1];
  double y = 0.0;
  for (auto _ : state) {
    y += 0.001;
    if (y > last) y = 0.001;
    double scale;
    benchmark::DoNotOptimize(InverseRadialScale(table, y, &scale));
    benchmark::DoNotOptimize(scale);
  }
  ReleaseRadialTable(table);
}
BENCHMARK(LookUpRadii);

}  // namespace

BENCHMARK_MAIN();
