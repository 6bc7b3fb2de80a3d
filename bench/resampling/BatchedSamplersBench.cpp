// Throughput of the batched samplers, in pixels per second: every filter, every depth and
// every processor target this machine has (each body chosen once, as a frame does), over a
// 1920x1080 input, each output row mapped through a mild barrel distortion as a real undistort
// render would.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "ProcessorPaths.h"
#include "Resampling/BatchedSamplers.h"
#include "Resampling/CpuFeatures.h"
#include "Resampling/FilterKernelTables.h"

namespace {

constexpr int32_t kWidth = 1920;
constexpr int32_t kHeight = 1080;

double Sine(double x) { return std::sin(x); }

// Source positions of every output pixel: r' = r * (1 + k r^2) about the centre, with r in
// half widths; k = 0.04 pulls the corners in by about 5 pixels per 100.
struct Positions {
  std::vector<float> x, y;
  Positions() : x(static_cast<size_t>(kWidth) * kHeight), y(x.size()) {
    const double cx = (kWidth - 1) * 0.5, cy = (kHeight - 1) * 0.5, half = kWidth * 0.5;
    for (int32_t row = 0; row < kHeight; ++row) {
      for (int32_t col = 0; col < kWidth; ++col) {
        const double u = (col - cx) / half, v = (row - cy) / half;
        const double f = 1.0 + 0.04 * (u * u + v * v);
        const size_t i = static_cast<size_t>(row) * kWidth + static_cast<size_t>(col);
        x[i] = static_cast<float>(cx + u * f * half);
        y[i] = static_cast<float>(cy + v * f * half);
      }
    }
  }
};

const Positions& SourcePositions() {
  static const Positions positions;
  return positions;
}

// A smooth gradient with some texture, in the depth's own scale.
std::vector<uint8_t> MakeInput(int32_t bits) {
  const int32_t bytesPerPixel = bits / 2;
  std::vector<uint8_t> bytes(static_cast<size_t>(kWidth) * kHeight * bytesPerPixel);
  const float scale = bits == 8 ? 255.0f : bits == 16 ? 32768.0f : 1.0f;
  for (int32_t row = 0; row < kHeight; ++row) {
    for (int32_t col = 0; col < kWidth; ++col) {
      for (int32_t c = 0; c < 4; ++c) {
        const float v = 0.5f + 0.25f * std::sin(0.013f * static_cast<float>(col * (c + 1))) +
                        0.25f * std::cos(0.021f * static_cast<float>(row + 7 * c));
        uint8_t* p =
            bytes.data() +
            (static_cast<size_t>(row) * kWidth + static_cast<size_t>(col)) * bytesPerPixel +
            static_cast<size_t>(c * bytesPerPixel / 4);
        if (bits == 8) *p = static_cast<uint8_t>(v * scale);
        if (bits == 16) {
          const uint16_t s = static_cast<uint16_t>(v * scale);
          std::memcpy(p, &s, 2);
        }
        if (bits == 32) std::memcpy(p, &v, 4);
      }
    }
  }
  return bytes;
}

enum Filter { kNearest, kBilinear, kLanczos2, kLanczos3, kMitchell };
const char* const kFilterNames[] = {"Nearest", "BiLinear", "Lanczos2", "Lanczos3", "Mitchell"};

void BM_Sampler(benchmark::State& state, Filter filter, int32_t bits, uint32_t path) {
  if ((QueryCpuFeatures() & path) != path) {
    state.SkipWithError("this processor lacks the target");
    return;
  }
  BuildFilterKernelTables(Sine);
  const FilterKernelTable *lanczos2 = nullptr, *lanczos3 = nullptr, *mitchell = nullptr;
  GetFilterKernelTables(&lanczos2, &lanczos3, &mitchell);

  const std::vector<uint8_t> input = MakeInput(bits);
  SampleSource source;
  std::memset(&source, 0, sizeof source);
  source.pixels = input.data();
  source.bytesPerPixel = bits / 2;
  source.rowBytes = kWidth * source.bytesPerPixel;
  source.bitsPerChannel = bits;
  source.width = kWidth;
  source.height = kHeight;
  source.colourMax = bits == 8 ? 255.0f : bits == 16 ? 32768.0f : 1.0e10f;
  source.alphaMax = bits == 8 ? 255.0f : bits == 16 ? 32768.0f : 1.0f;
  if (filter >= kLanczos2) {
    const bool six = filter == kLanczos3;
    source.tapsX = source.tapsY = six ? 6 : 4;
    source.tapOffsetX = source.tapOffsetY = six ? 2 : 1;
    source.phases = 64.0f;
    source.blockStride = six ? 40.0f : 16.0f;
    source.weights = filter == kLanczos2 ? lanczos2 : six ? lanczos3 : mitchell;
  }

  const Positions& positions = SourcePositions();
  std::vector<uint8_t> outputRow(static_cast<size_t>(kWidth + 64) * source.bytesPerPixel);
  const BatchedSampler sampler =
      SelectBatchedSampler(filter == kNearest    ? SamplerFamily::Nearest
                           : filter == kBilinear ? SamplerFamily::Bilinear
                                                 : SamplerFamily::Kernel,
                           bits, path);
  PointPacket run;
  int32_t row = 0;
  for (auto _ : state) {
    const size_t rowStart = static_cast<size_t>(row) * kWidth;
    for (int32_t start = 0; start < kWidth; start += 64) {
      SetRunCount(run, kWidth, start);
      for (int32_t k = 0; k < run.x.count; ++k) {
        run.x[k] = positions.x[rowStart + static_cast<size_t>(start + k)];
        run.y[k] = positions.y[rowStart + static_cast<size_t>(start + k)];
      }
      void* out = outputRow.data() + static_cast<size_t>(start) * source.bytesPerPixel;
      sampler(source, run, out);
    }
    benchmark::DoNotOptimize(outputRow.data());
    benchmark::ClobberMemory();
    row = row + 1 == kHeight ? 0 : row + 1;
  }
  state.SetItemsProcessed(state.iterations() * kWidth);
}

const bool kRegistered = [] {
  for (Filter filter : {kNearest, kBilinear, kLanczos2, kLanczos3, kMitchell}) {
    for (int32_t bits : {8, 16, 32}) {
      for (const ProcessorPath& path : kProcessorPaths) {
        const std::string name =
            std::string(kFilterNames[filter]) + "/" + std::to_string(bits) + "bit/" + path.name;
        benchmark::RegisterBenchmark(name.c_str(), BM_Sampler, filter, bits, path.features);
      }
    }
  }
  return true;
}();

}  // namespace

BENCHMARK_MAIN();
