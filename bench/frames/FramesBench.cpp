// Whole frames through the effect module, with the harness playing the host.
#include <benchmark/benchmark.h>

#include <memory>
#include <stdexcept>
#include <string>

#include "Harness.h"
#include "Image.h"

namespace {

harness::EffectHost& Host() {
  static harness::EffectHost* host = [] {
    std::string error;
    std::unique_ptr<harness::EffectHost> loaded =
        harness::EffectHost::Load(VTAFX_MODULE_PATH, error);
    if (!loaded) throw std::runtime_error("cannot load the effect: " + error);
    loaded->GlobalSetup();
    loaded->ParamsSetup();
    return loaded.release();
  }();
  return *host;
}

void BM_Frame(benchmark::State& state) {
  const harness::Image layer = harness::MakeImage(1920, 1080, harness::Depth::k8);
  harness::EffectInstance instance(Host());
  instance.SetLayerSize(layer.width, layer.height);
  instance.SetValue(instance.FindParam("R4 C2"), {-0.05});
  instance.SetValue(instance.FindParam("R4 C4"), {0.01});
  harness::RenderRequest request(&layer, 0);
  request.options.iterateThreads = 1;
  for (auto _ : state) {
    harness::RenderResult frame = instance.Render(request);
    if (frame.err) state.SkipWithError("render failed");
    benchmark::DoNotOptimize(frame.output.pixels.data());
  }
}
BENCHMARK(BM_Frame)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace

BENCHMARK_MAIN();
