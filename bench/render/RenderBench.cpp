// Whole frames through the harness, and the two stages of a frame on their own: mapping
// every output pixel to its source position, and resampling the input at those positions.
// Where OpenCV is built in, the same work through cv::remap (with a map holding exactly
// our source positions) and through cv::initUndistortRectifyMap + cv::remap for a
// comparable closed-form radial lens; each pair is printed at the end as a ratio
// ours / OpenCV, which holds however busy the machine is.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "Harness.h"
#include "Host/ParamIndices.h"
#include "Host/RenderContext.h"
#include "Host/RenderSetUp.h"
#include "Image.h"
#include "Resampling/FilterKernelTables.h"
#include "Resampling/RowCallbacks.h"

#if VTAFX_WITH_OPENCV
#include <opencv2/calib3d.hpp>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#endif

namespace {

using harness::Depth;

// Typical coefficients of a real lens.
constexpr double kC2 = -0.05;
constexpr double kC4 = 0.01;

struct FrameSize {
  const char* name;
  int32_t width;
  int32_t height;
};
const FrameSize kSizes[] = {{"1080p", 1920, 1080}, {"2160p", 3840, 2160}};

struct Lens {
  const char* name;
  int32_t choice;  // "Lens Model" popup
  bool identity;
};
// The default model (its Distort inverts the polynomial numerically), the plain radial
// model whose Distort is the closed form, and the identity.
const Lens kLenses[] = {{"default", 4, false}, {"closed", 3, false}, {"identity", 4, true}};

const char* const kFilterNames[] = {"", "BuiltIn", "Nearest", "BiLinear", "Lanczos2",
                                    "Lanczos3", "Mitchell"};

const Depth kDepths[] = {Depth::k8, Depth::k16, Depth::kFloat};

const char* DepthName(Depth depth) {
  return depth == Depth::k8 ? "8bit" : depth == Depth::k16 ? "16bit" : "float";
}

// A busy but deterministic picture, so no filter meets a flat area only.
harness::Image Pattern(int32_t width, int32_t height, Depth depth) {
  harness::Image image = harness::MakeImage(width, height, depth);
  uint32_t state = 2463534242U;
  const size_t channels = size_t(width) * size_t(height) * 4U;
  for (size_t i = 0; i < channels; ++i) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    if (depth == Depth::k8) {
      image.pixels[i] = uint8_t(state);
    } else if (depth == Depth::k16) {
      reinterpret_cast<uint16_t*>(image.pixels.data())[i] = uint16_t(state % 32769U);
    } else {
      reinterpret_cast<float*>(image.pixels.data())[i] = float(state % 1000U) / 1000.0f;
    }
  }
  return image;
}

const harness::Image& Layer(const FrameSize& size, Depth depth) {
  static std::map<std::pair<int32_t, int32_t>, harness::Image> cache;
  const auto key = std::make_pair(size.width, int32_t(depth));
  auto found = cache.find(key);
  if (found == cache.end()) {
    found = cache.emplace(key, Pattern(size.width, size.height, depth)).first;
  }
  return found->second;
}

// ------------------------------------------------------------------ whole frames

harness::EffectHost& Host() {
  static harness::EffectHost* host = [] {
    std::string error;
    std::unique_ptr<harness::EffectHost> loaded =
        harness::EffectHost::Load(VTAFX_MODULE_PATH, error);
    if (!loaded) {
      std::fprintf(stderr, "cannot load the effect: %s\n", error.c_str());
      std::exit(1);
    }
    loaded->GlobalSetup();
    loaded->ParamsSetup();
    return loaded.release();  // the module stays loaded for the whole run
  }();
  return *host;
}

void WholeFrame(benchmark::State& state, Lens lens, FrameSize size, Depth depth,
                int32_t filter, int32_t threads) {
  const harness::Image& layer = Layer(size, depth);
  harness::EffectInstance instance(Host());
  instance.SetLayerSize(size.width, size.height);
  instance.SetValue(kParamLensModel, {double(lens.choice)});
  instance.SetValue(kParamFilterType, {double(filter)});
  instance.SetValue(kParamDistortedSize, {double(size.width), double(size.height)});
  instance.SetValue(kParamUndistortedSize, {double(size.width), double(size.height)});
  instance.SetValue(kParamLensCenter, {0.5 * size.width, 0.5 * size.height});
  if (!lens.identity) {
    instance.SetValue(kParamRadial4First, {kC2});
    instance.SetValue(kParamRadial4First + 3, {kC4});
  }
  harness::RenderRequest request;
  request.layer = &layer;
  request.options.iterateThreads = threads;
  for (auto _ : state) {
    harness::RenderResult frame = instance.Render(request);
    if (frame.err) state.SkipWithError("render failed");
    benchmark::DoNotOptimize(frame.output.pixels.data());
  }
  state.SetItemsProcessed(state.iterations() * int64_t(size.width) * size.height);
}

// ------------------------------------------------------------------ the two stages

struct ContextDeleter {
  void operator()(RenderContext* context) const { DisposeRenderContext(context); }
};
using ContextPtr = std::unique_ptr<RenderContext, ContextDeleter>;

double Sine(double v) { return std::sin(v); }

// The context pre-render would make for a layer of `size` (sizes the layer's, centre in
// the middle), with the library's own kernel tables.
ContextPtr MakeContext(const Lens& lens, const FrameSize& size, int32_t filter) {
  RenderParameterValues values{};
  values.lensModelChoice = lens.choice;
  values.distortMode = 1;
  values.filterType = filter;
  values.pixelAspect = values.squeeze = values.zoom = 1.0;
  values.distortedSize[0] = values.undistortedSize[0] = size.width;
  values.distortedSize[1] = values.undistortedSize[1] = size.height;
  values.lensCenter[0] = 0.5 * size.width;
  values.lensCenter[1] = 0.5 * size.height;
  std::vector<double> sliders(kParamCount, 0.0);
  if (!lens.identity) {
    sliders[kParamRadial4First] = kC2;
    sliders[kParamRadial4First + 3] = kC4;
  }
  ContextPtr context(CreateRenderContext());
  SetUpRenderContextFromValues(values, sliders.data(), *context);
  BuildFilterKernelTables(Sine);
  GetFilterKernelTables(&context->kernelLanczos2, &context->kernelLanczos3,
                        &context->kernelMitchell);
  return context;
}

// The source positions of every output pixel of `size` (an output the size of the layer,
// at its origin), row by row, x and y apart.
struct SourceMap {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<float> x;
  std::vector<float> y;
};

// Maps rows [0, height) of an output of `width` into `map` (which must be sized).
void MapFrame(const RenderContext& context, SourceMap& map) {
  PointPacket outputs;
  PointPacket sources;
  for (int32_t row = 0; row < map.height; ++row) {
    for (int32_t start = 0; start < map.width; start += kPacketCapacity) {
      SetRunCount(outputs, map.width, start);
      Ramp(outputs.x, float(start), 1.0f);
      Fill(outputs.y, float(row));
      MapRunToSource(context, outputs, sources);
      const size_t at = size_t(row) * size_t(map.width) + size_t(start);
      for (int32_t k = 0; k < sources.x.count; ++k) {
        map.x[at + size_t(k)] = sources.x[k];
        map.y[at + size_t(k)] = sources.y[k];
      }
    }
  }
}

const SourceMap& DefaultMap(const FrameSize& size) {
  static std::map<int32_t, SourceMap> cache;
  auto found = cache.find(size.width);
  if (found == cache.end()) {
    SourceMap map;
    map.width = size.width;
    map.height = size.height;
    map.x.resize(size_t(size.width) * size_t(size.height));
    map.y.resize(map.x.size());
    MapFrame(*MakeContext(kLenses[0], size, 2), map);
    found = cache.emplace(size.width, std::move(map)).first;
  }
  return found->second;
}

void MappingStage(benchmark::State& state, Lens lens, FrameSize size) {
  ContextPtr context = MakeContext(lens, size, 2);
  SourceMap map;
  map.width = size.width;
  map.height = size.height;
  map.x.resize(size_t(size.width) * size_t(size.height));
  map.y.resize(map.x.size());
  for (auto _ : state) {
    MapFrame(*context, map);
    benchmark::DoNotOptimize(map.x.data());
  }
  state.SetItemsProcessed(state.iterations() * int64_t(size.width) * size.height);
}

// Resamples the layer at the default lens's source positions, run by run, as the row
// callbacks do once the positions are known.
void ResamplingStage(benchmark::State& state, FrameSize size, Depth depth, int32_t filter) {
  const harness::Image& layer = Layer(size, depth);
  const SourceMap& map = DefaultMap(size);
  ContextPtr context = MakeContext(kLenses[0], size, filter);
  const int32_t pixelBytes = harness::PixelBytes(depth);
  PF_EffectWorld input{};
  input.width = size.width;
  input.height = size.height;
  input.rowbytes = size.width * pixelBytes;
  SampleSource source;
  DescribeInput(*context, input, layer.pixels.data(), int32_t(depth), source);
  const BatchedSampler sampler = SamplerForFilter(filter);
  std::vector<uint8_t> output(layer.pixels.size());
  PointPacket positions;
  for (auto _ : state) {
    uint8_t* out = output.data();
    for (int32_t row = 0; row < size.height; ++row) {
      for (int32_t start = 0; start < size.width; start += kPacketCapacity) {
        SetRunCount(positions, size.width, start);
        const size_t at = size_t(row) * size_t(size.width) + size_t(start);
        for (int32_t k = 0; k < positions.x.count; ++k) {
          positions.x[k] = map.x[at + size_t(k)];
          positions.y[k] = map.y[at + size_t(k)];
        }
        sampler(source, positions, out);
        out += size_t(positions.x.count) * size_t(pixelBytes);
      }
    }
    benchmark::DoNotOptimize(output.data());
  }
  state.SetItemsProcessed(state.iterations() * int64_t(size.width) * size.height);
}

#if VTAFX_WITH_OPENCV
// ------------------------------------------------------------------ OpenCV

int CvType(Depth depth) {
  return depth == Depth::k8 ? CV_8UC4 : depth == Depth::k16 ? CV_16UC4 : CV_32FC4;
}

cv::Mat CvLayer(const FrameSize& size, Depth depth) {
  const harness::Image& layer = Layer(size, depth);
  return cv::Mat(size.height, size.width, CvType(depth),
                 const_cast<uint8_t*>(layer.pixels.data()));
}

void CvRemap(benchmark::State& state, FrameSize size, Depth depth, int interpolation) {
  cv::setNumThreads(1);
  const SourceMap& map = DefaultMap(size);
  const cv::Mat mapX(size.height, size.width, CV_32FC1, const_cast<float*>(map.x.data()));
  const cv::Mat mapY(size.height, size.width, CV_32FC1, const_cast<float*>(map.y.data()));
  const cv::Mat src = CvLayer(size, depth);
  cv::Mat dst(size.height, size.width, CvType(depth));
  for (auto _ : state) {
    cv::remap(src, dst, mapX, mapY, interpolation, cv::BORDER_CONSTANT, cv::Scalar());
    benchmark::DoNotOptimize(dst.data);
  }
  state.SetItemsProcessed(state.iterations() * int64_t(size.width) * size.height);
}

// The closed-form radial lens the OpenCV way: focal length half the image diagonal puts
// the corners at radius 1, as our model frame does, with the same two coefficients.
void CvUndistort(benchmark::State& state, FrameSize size, Depth depth) {
  cv::setNumThreads(1);
  const double focal = 0.5 * std::sqrt(double(size.width) * size.width +
                                       double(size.height) * size.height);
  const cv::Matx33d camera(focal, 0, 0.5 * size.width - 0.5, 0, focal,
                           0.5 * size.height - 0.5, 0, 0, 1);
  const cv::Vec4d coefficients(kC2, kC4, 0, 0);
  const cv::Mat src = CvLayer(size, depth);
  cv::Mat dst(size.height, size.width, CvType(depth));
  cv::Mat mapX, mapY;
  for (auto _ : state) {
    cv::initUndistortRectifyMap(camera, coefficients, cv::Matx33d::eye(), camera,
                                cv::Size(size.width, size.height), CV_32FC1, mapX, mapY);
    cv::remap(src, dst, mapX, mapY, cv::INTER_LINEAR, cv::BORDER_CONSTANT, cv::Scalar());
    benchmark::DoNotOptimize(dst.data);
  }
  state.SetItemsProcessed(state.iterations() * int64_t(size.width) * size.height);
}
#endif

// ------------------------------------------------------------------ ratios

// Keeps every run's processor time per iteration (all threads of this process, so other
// work on the machine does not count), by registered name, for the closing table.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Iteration && !run.error_occurred && run.iterations > 0) {
        std::string name = run.benchmark_name();
        name = name.substr(0, name.find("/process_time"));
        times_[name] = run.GetAdjustedCPUTime();
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }
  const std::map<std::string, double>& Times() const { return times_; }

 private:
  std::map<std::string, double> times_;
};

std::vector<std::pair<std::string, std::string>> gPairs;

template <typename Fn>
std::string Register(const std::string& name, Fn fn) {
  benchmark::RegisterBenchmark(name.c_str(), fn)
      ->Unit(benchmark::kMillisecond)
      ->MeasureProcessCPUTime()
      ->UseRealTime();
  return name;
}

void RegisterAll() {
  for (const FrameSize& size : kSizes) {
    for (const Lens& lens : kLenses) {
      Register(std::string("Mapping/") + lens.name + "/" + size.name,
               [=](benchmark::State& s) { MappingStage(s, lens, size); });
    }
    for (Depth depth : kDepths) {
      for (int32_t filter = 2; filter <= 6; ++filter) {
        Register(std::string("Resampling/") + size.name + "/" + DepthName(depth) + "/" +
                     kFilterNames[filter],
                 [=](benchmark::State& s) { ResamplingStage(s, size, depth, filter); });
      }
    }
    for (const Lens& lens : kLenses) {
      for (Depth depth : kDepths) {
        for (int32_t filter = 1; filter <= 6; ++filter) {
          for (int32_t threads : {1, 2}) {
            Register(std::string("Frame/") + lens.name + "/" + size.name + "/" +
                         DepthName(depth) + "/" + kFilterNames[filter] + "/threads:" +
                         std::to_string(threads),
                     [=](benchmark::State& s) {
                       WholeFrame(s, lens, size, depth, filter, threads);
                     });
          }
        }
      }
    }
#if VTAFX_WITH_OPENCV
    struct Interpolation {
      int code;
      const char* name;
      int32_t ours;  // our filter of the same footprint class
    };
    const Interpolation interpolations[] = {{cv::INTER_NEAREST, "INTER_NEAREST", 2},
                                            {cv::INTER_LINEAR, "INTER_LINEAR", 3},
                                            {cv::INTER_CUBIC, "INTER_CUBIC", 6},
                                            {cv::INTER_LANCZOS4, "INTER_LANCZOS4", 5}};
    for (Depth depth : kDepths) {
      for (const Interpolation& in : interpolations) {
        const std::string theirs = Register(
            std::string("CvRemap/") + size.name + "/" + DepthName(depth) + "/" + in.name,
            [=](benchmark::State& s) { CvRemap(s, size, depth, in.code); });
        gPairs.emplace_back(std::string("Resampling/") + size.name + "/" + DepthName(depth) +
                                "/" + kFilterNames[in.ours],
                            theirs);
      }
      const std::string theirs =
          Register(std::string("CvUndistort/") + size.name + "/" + DepthName(depth),
                   [=](benchmark::State& s) { CvUndistort(s, size, depth); });
      gPairs.emplace_back(std::string("Frame/closed/") + size.name + "/" + DepthName(depth) +
                              "/BiLinear/threads:1",
                          theirs);
    }
#endif
  }
}

}  // namespace

int main(int argc, char** argv) {
  RegisterAll();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  const auto& times = reporter.Times();
  bool header = false;
  for (const auto& [ours, theirs] : gPairs) {
    const auto a = times.find(ours);
    const auto b = times.find(theirs);
    if (a == times.end() || b == times.end()) continue;
    if (!header) {
      std::printf("\n%-44s %-34s %s\n", "ours", "OpenCV", "ours / OpenCV (processor time)");
      header = true;
    }
    std::printf("%-44s %-34s %8.2f\n", ours.c_str(), theirs.c_str(), a->second / b->second);
  }
  benchmark::Shutdown();
  return 0;
}
