// Whole frames through the effect module with the harness playing the host, the mapping
// and resampling stages alone, and the same work through OpenCV, timed turn about in every
// iteration so that each ratio (ours / OpenCV) compares runs made under the same load.
//
// By default a cross-section runs (every filter at every depth once, both sizes, both
// thread counts, all three lenses); VTAFX_BENCH_FRAMES=all runs every combination, which
// takes far longer on a small machine.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "FrameStages.h"
#include "Harness.h"
#include "Image.h"
#include "ModuleLoader.h"
#include "OpenCvBaseline.h"
#include "ProcessorPaths.h"
#include "Resampling/CpuFeatures.h"
#include "RowPool.h"

namespace {

using baseline::Interpolation;
using harness::Depth;
using stages::Lens;

// ------------------------------------------------------------------ what is measured

struct Size {
  int32_t width, height;
};
constexpr Size kSizes[] = {{1920, 1080}, {3840, 2160}};
constexpr Depth kDepths[] = {Depth::k8, Depth::k16, Depth::kFloat};
constexpr Lens kLenses[] = {Lens::kDefault, Lens::kClosedForm, Lens::kIdentity};

// The six filters, by "Filter Type" value, with the OpenCV interpolation nearest in kind:
// the host's built-in sampler is bilinear; Lanczos-2 and Mitchell-Netravali read 4 x 4
// pixels as INTER_CUBIC does; Lanczos-3 reads 6 x 6, INTER_LANCZOS4 8 x 8.
struct Filter {
  FilterType type;
  const char* name;
  Interpolation counterpart;
};
constexpr Filter kFilters[] = {{FilterType::BuiltIn, "BuiltIn", Interpolation::kLinear},
                               {FilterType::Nearest, "Nearest", Interpolation::kNearest},
                               {FilterType::BiLinear, "BiLinear", Interpolation::kLinear},
                               {FilterType::Lanczos2, "Lanczos2", Interpolation::kCubic},
                               {FilterType::Lanczos3, "Lanczos3", Interpolation::kLanczos4},
                               {FilterType::Mitchell, "Mitchell", Interpolation::kCubic}};
constexpr FilterType kDefaultFilter = FilterType::Lanczos2;  // the control's default

// The processor paths, forced through the feature word of the stages' own copy of the
// effect, and for whole frames through the benchmarks' copy of the module. The lens lanes
// have no SSE4.1 body, so the map and frame rows skip that one.
using Path = ProcessorPath;
constexpr const auto& kPaths = kProcessorPaths;
bool PathAvailable(const Path& path) {
  return (QueryCpuFeatures() & path.features) == path.features;
}
const Path& WidestPath() {
  const Path* widest = &kPaths[0];
  for (const Path& path : kPaths) {
    if (PathAvailable(path)) widest = &path;
  }
  return *widest;
}

// The benchmarks' module, set up as a host sets up an effect, and its door to the feature
// word.
typedef uint32_t (*OverrideFunction)(uint32_t);
struct BenchModule {
  std::unique_ptr<harness::EffectHost> host;
  OverrideFunction overrideFeatures = nullptr;
};
BenchModule& Module() {
  static BenchModule module = [] {
    BenchModule m;
    std::string error;
    m.host = harness::EffectHost::Load(VTAFX_BENCH_MODULE_PATH, error);
    harness::ModuleHandle handle;
    if (!m.host || !harness::OpenModule(VTAFX_BENCH_MODULE_PATH, handle, error)) {
      throw std::runtime_error("cannot load the effect: " + error);
    }
    void* hook = harness::FindExport(handle, "VtAFXBenchOverrideCpuFeatures");
    if (hook == nullptr) throw std::runtime_error("the benchmarks' module has no path hook");
    std::memcpy(&m.overrideFeatures, &hook, sizeof hook);
    m.host->GlobalSetup();
    m.host->ParamsSetup();
    return m;
  }();
  return module;
}

// Holds the module's feature word at `path` for its lifetime, then the processor's own.
class ModulePath {
 public:
  explicit ModulePath(const Path& path) { Module().overrideFeatures(path.features); }
  ~ModulePath() { Module().overrideFeatures(QueryCpuFeatures()); }
  ModulePath(const ModulePath&) = delete;
  ModulePath& operator=(const ModulePath&) = delete;
};

const char* LensName(Lens lens) {
  return lens == Lens::kDefault ? "default" : lens == Lens::kClosedForm ? "closed" : "identity";
}
const char* DepthName(Depth depth) {
  return depth == Depth::k8 ? "8bit" : depth == Depth::k16 ? "16bit" : "float";
}
std::string SizeName(Size size) {
  return std::to_string(size.width) + "x" + std::to_string(size.height);
}
bool Large(Size size) { return size.width > 1920; }

// ------------------------------------------------------------------ shared inputs

// A noisy layer in the depth's range. Only the latest one is kept: a 3840x2160 float
// layer alone is 133 MB, and benchmarks are registered so that neighbours share theirs.
const harness::Image& Input(Size size, Depth depth) {
  static harness::Image image;
  if (image.width == size.width && image.height == size.height && image.depth == depth) {
    return image;
  }
  image = harness::MakeImage(size.width, size.height, depth);
  uint32_t state = 12345U;
  const size_t values = image.pixels.size() / (static_cast<size_t>(harness::PixelBytes(depth)) / 4);
  for (size_t i = 0; i < values; ++i) {
    state = state * 1664525U + 1013904223U;
    const uint32_t h = state >> 8;
    if (depth == Depth::k8) {
      image.pixels[i] = static_cast<uint8_t>(h);
    } else if (depth == Depth::k16) {
      const uint16_t v = static_cast<uint16_t>(h % 32769U);
      std::memcpy(&image.pixels[i * 2], &v, 2);
    } else {
      const float v = static_cast<float>(h % 1001U) / 1000.0f;
      std::memcpy(&image.pixels[i * 4], &v, 4);
    }
  }
  return image;
}

// Our source positions of every pixel of a frame; the latest one kept, as for inputs.
const stages::SourceMap& Map(Lens lens, Size size) {
  static stages::SourceMap map;
  static Lens mapLens = Lens::kDefault;
  if (map.width == size.width && map.height == size.height && mapLens == lens) return map;
  stages::ContextPtr context = stages::MakeContext(lens, kDefaultFilter, size.width, size.height);
  if (!context) throw std::runtime_error("cannot set up a render context");
  stages::MapFrame(*context, map);
  mapLens = lens;
  return map;
}

// Wall-clock and processor time (all of the process's threads) of one call, in seconds.
struct Timing {
  double wall = 1e300;
  double cpu = 1e300;
};

double ProcessCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return double(t.tv_sec) + 1e-9 * double(t.tv_nsec);
}

template <typename Work>
Timing Time(Work&& work) {
  const double cpuStart = ProcessCpuSeconds();
  const auto start = std::chrono::steady_clock::now();
  work();
  Timing t;
  t.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  t.cpu = ProcessCpuSeconds() - cpuStart;
  return t;
}

void KeepBest(Timing& best, const Timing& t) {
  best.wall = std::min(best.wall, t.wall);
  best.cpu = std::min(best.cpu, t.cpu);
}

// ------------------------------------------------------------------ ratios

// Best times of one benchmark and of one OpenCV counterpart over the iterations. Load from
// elsewhere only ever adds time, so the best of several runs is the steadiest estimate; on a
// busy machine processor time is steadier still, as waiting for a core does not count.
struct Comparison {
  std::string name;
  std::string baseline;
  Timing ours, theirs;
  bool scaling;        // the baseline is ours on one thread
  double medianRatio;  // of the rounds' wall times, theirs / ours
};
std::vector<Comparison> comparisons;

// What a benchmark is timed against: OpenCV's counterparts, and for a benchmark on several
// threads the same work of ours on one thread (`oursOnOneThread`), timed turn about with it
// so that the scaling compares runs under the same load; a machine shared with others
// drifts by tens of percent between benchmarks.
struct Baseline {
  std::string name;
  std::function<void()> run;
  bool oursOnOneThread = false;
};
typedef std::vector<Baseline> Baselines;

Baseline OursOnOneThread(std::function<void()> run) {
  return {"ours on 1 thread", std::move(run), true};
}

// Rounds of each benchmark: at least kMinRounds, then more until kRoundSeconds have passed
// or kMaxRounds were run. A stage of a few milliseconds is at the mercy of one slow wake-up
// or page fault, and a best of many shows what it costs. On a shared machine a core is now
// and then slowed or taken away for a second or more, which fewer rounds of a large frame
// (a second each at the default lens) would not outlast.
constexpr int32_t kMinRounds = 5;
constexpr int32_t kMaxRounds = 20;
constexpr double kRoundSeconds = 1.5;

// The median of the rounds' wall-time ratios, theirs / ours, each round on its own. Beside
// the ratio of each side's best round it tells how much of the benchmark the machine was
// busy: the best rounds show what the work costs when left alone, the median what it cost
// on a typical round of this run.
double MedianRatio(const std::vector<double>& theirs, const std::vector<double>& ours) {
  std::vector<double> ratios;
  for (size_t r = 0; r < ours.size(); ++r) ratios.push_back(theirs[r] / ours[r]);
  std::sort(ratios.begin(), ratios.end());
  const size_t n = ratios.size();
  return n == 0 ? 0.0 : n % 2 ? ratios[n / 2] : 0.5 * (ratios[n / 2 - 1] + ratios[n / 2]);
}

// Times `ours` and every baseline in turn, alternating which goes first, for as many rounds
// as the rules above give, all in one iteration of the benchmark; reports our best wall time
// as the iteration's, and the best times and ratios as counters and in the closing table.
template <typename Ours>
void Compare(benchmark::State& state, const std::string& name, Ours&& ours,
             const Baselines& baselines) {
  std::vector<Timing> theirs(baselines.size());
  std::vector<std::vector<double>> theirWalls(baselines.size());
  std::vector<double> ourWalls;
  Timing best;
  int32_t rounds = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    for (bool oursFirst = true;; oursFirst = !oursFirst) {
      Timing mine;
      if (oursFirst) mine = Time(ours);
      for (size_t i = 0; i < baselines.size(); ++i) {
        const Timing t = Time(baselines[i].run);
        KeepBest(theirs[i], t);
        theirWalls[i].push_back(t.wall);
      }
      if (!oursFirst) mine = Time(ours);
      KeepBest(best, mine);
      ourWalls.push_back(mine.wall);
      ++rounds;
      const double elapsed =
          std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      if (rounds >= kMaxRounds || (rounds >= kMinRounds && elapsed >= kRoundSeconds)) break;
    }
    state.SetIterationTime(best.wall);
  }
  state.counters["rounds"] = rounds;
  state.counters["best_ms"] = best.wall * 1e3;
  state.counters["cpu_ms"] = best.cpu * 1e3;
  for (size_t i = 0; i < baselines.size(); ++i) {
    const Baseline& b = baselines[i];
    const double median = MedianRatio(theirWalls[i], ourWalls);
    comparisons.push_back({name, b.name, best, theirs[i], b.oursOnOneThread, median});
    if (b.oursOnOneThread) {
      state.counters["scaling"] = theirs[i].wall / best.wall;
      state.counters["scaling_median"] = median;
      continue;
    }
    const std::string key = i == 0 ? "cv" : "cv" + std::to_string(i + 1);
    state.counters[key + "_ms"] = theirs[i].wall * 1e3;
    state.counters[key + "_ratio"] = best.wall / theirs[i].wall;
    state.counters[key + "_cpu_ratio"] = best.cpu / theirs[i].cpu;
  }
}

// ------------------------------------------------------------------ the benchmarks

struct FrameCase {
  Lens lens;
  Size size;
  Depth depth;
  Filter filter;
  int32_t threads;
  Path path;
};

// A whole frame: smart pre-render, smart render on the iterate suites' pool, disposal, with
// the harness's copies of the layer and the output world. Beside it cv::remap of the same
// layer through our source positions, on as many threads; for the closed-form lens also
// the whole OpenCV undistortion (map and remap).
void BM_Frame(benchmark::State& state, FrameCase c, std::string name) {
  const harness::Image& layer = Input(c.size, c.depth);
  const ModulePath forced(c.path);
  harness::EffectInstance instance(*Module().host);
  instance.SetLayerSize(layer.width, layer.height);
  instance.SetValue(instance.FindParam("Lens Model"), {double(stages::LensModelChoice(c.lens))});
  instance.SetValue(instance.FindParam("Filter Type"), {double(int32_t(c.filter.type))});
  if (c.lens != Lens::kIdentity) {
    instance.SetValue(instance.FindParam("R4 C2"), {stages::kC2});
    instance.SetValue(instance.FindParam("R4 C4"), {stages::kC4});
  }
  harness::RenderRequest request(&layer, 0);
  request.options.iterateThreads = c.threads;

  Baselines baselines;
  std::unique_ptr<baseline::Remap> remap;
  std::unique_ptr<baseline::Undistort> undistort;
  if (baseline::Available()) {
    const stages::SourceMap& map = Map(c.lens, c.size);
    remap.reset(new baseline::Remap(layer, map.x.data(), map.y.data(), map.width, map.height,
                                    c.filter.counterpart));
    baselines.push_back(
        {std::string("remap ") + InterpolationName(c.filter.counterpart), [&] { remap->Run(); }});
    if (c.lens == Lens::kClosedForm) {
      undistort.reset(new baseline::Undistort(layer, map.width, map.height, stages::kC2,
                                              stages::kC4, c.filter.counterpart));
      baselines.push_back(
          {std::string("initUndistortRectifyMap+remap ") + InterpolationName(c.filter.counterpart),
           [&] { undistort->Run(); }});
    }
  }
  baseline::SetThreads(c.threads);

  // One result for every iteration, as a host renders frame after frame into the memory
  // of the last: the output's storage is reused, not faulted in afresh each time.
  PF_Err err = 0;
  harness::RenderResult frame;
  harness::RenderRequest oneThreadRequest(&layer, 0);
  oneThreadRequest.options.iterateThreads = 1;
  harness::RenderResult oneThreadFrame;
  if (c.threads > 1) {
    baselines.push_back(OursOnOneThread([&] {
      instance.Render(oneThreadRequest, oneThreadFrame);
      if (oneThreadFrame.err) err = oneThreadFrame.err;
    }));
  }
  Compare(
      state, name,
      [&] {
        instance.Render(request, frame);
        if (frame.err) err = frame.err;
        benchmark::DoNotOptimize(frame.output.pixels.data());
      },
      baselines);
  const harness::Image& rendered = frame.output;
  if (err) {
    state.SkipWithError(("render failed: " + std::to_string(err)).c_str());
    return;
  }
  // OpenCV is handed the render's own source positions: resampled by the stages they must
  // give the rendered frame bit for bit (1), else the comparison compares other work (0).
  if (c.filter.type != FilterType::BuiltIn) {
    const stages::SourceMap& map = Map(c.lens, c.size);
    stages::ContextPtr context =
        stages::MakeContext(c.lens, c.filter.type, c.size.width, c.size.height);
    harness::Image staged = harness::MakeImage(map.width, map.height, c.depth);
    harness::RowPool pool(1);
    const bool same = context && stages::ResampleFrame(*context, layer, map, staged, pool) &&
                      staged.width == rendered.width && staged.height == rendered.height &&
                      staged.pixels == rendered.pixels;
    state.counters["same_as_stages"] = same ? 1 : 0;
  }
  state.SetItemsProcessed(state.iterations() * int64_t(c.size.width) * c.size.height);
}

// The mapping stage alone on one thread; beside it OpenCV's closed-form map of the same
// radial model. For the closed-form lens the two maps should agree to float rounding: the
// largest difference, in pixels, is reported as `map_diff`.
void BM_Map(benchmark::State& state, Lens lens, Size size, Path path, std::string name) {
  OverrideCpuFeatures(path.features);
  stages::ContextPtr context = stages::MakeContext(lens, kDefaultFilter, size.width, size.height);
  OverrideCpuFeatures(QueryCpuFeatures());
  if (!context) {
    state.SkipWithError("cannot set up a render context");
    return;
  }
  stages::SourceMap map;
  stages::MapFrame(*context, map);
  const harness::Image& layer = Input(size, Depth::k8);
  baseline::Undistort undistort(layer, map.width, map.height, stages::kC2, stages::kC4,
                                Interpolation::kLinear);
  Baselines baselines;
  if (baseline::Available()) {
    baselines.push_back({"initUndistortRectifyMap", [&] { undistort.MakeMap(); }});
  }
  baseline::SetThreads(1);
  Compare(
      state, name, [&] { stages::MapFrame(*context, map); }, baselines);
  if (baseline::Available() && lens == Lens::kClosedForm) {
    double worst = 0;
    for (int32_t y = 0; y < map.height; ++y) {
      for (int32_t x = 0; x < map.width; ++x) {
        const size_t i = size_t(y) * size_t(map.width) + size_t(x);
        worst = std::max({worst, std::fabs(double(map.x[i]) - double(undistort.MapX(x, y))),
                          std::fabs(double(map.y[i]) - double(undistort.MapY(x, y)))});
      }
    }
    state.counters["map_diff"] = worst;
  }
  state.SetItemsProcessed(state.iterations() * int64_t(size.width) * size.height);
}

// The resampling stage alone on one processor target, over the default lens's source
// positions, its rows shared out on `threads` threads as the host's iterate shares them;
// beside it cv::remap through the same positions on as many threads.
void BM_Resample(benchmark::State& state, Size size, Depth depth, Filter filter, Path path,
                 int32_t threads, std::string name) {
  if (OverrideCpuFeatures(path.features) != path.features) {
    state.SkipWithError("this processor lacks the target");
    return;
  }
  stages::ContextPtr context =
      stages::MakeContext(Lens::kDefault, filter.type, size.width, size.height);
  if (!context) {
    state.SkipWithError("cannot set up a render context");
    return;
  }
  const harness::Image& input = Input(size, depth);
  const stages::SourceMap& map = Map(Lens::kDefault, size);
  harness::Image output = harness::MakeImage(map.width, map.height, depth);
  baseline::Remap remap(input, map.x.data(), map.y.data(), map.width, map.height,
                        filter.counterpart);
  Baselines baselines;
  if (baseline::Available()) {
    baselines.push_back(
        {std::string("remap ") + InterpolationName(filter.counterpart), [&] { remap.Run(); }});
  }
  baseline::SetThreads(threads);
  harness::RowPool pool(threads);
  harness::RowPool onePool(1);
  bool ok = true;
  if (threads > 1) {
    baselines.push_back(OursOnOneThread(
        [&] { ok = stages::ResampleFrame(*context, input, map, output, onePool) && ok; }));
  }
  Compare(
      state, name, [&] { ok = stages::ResampleFrame(*context, input, map, output, pool) && ok; },
      baselines);
  OverrideCpuFeatures(QueryCpuFeatures());
  if (!ok) state.SkipWithError("resampling refused its inputs");
  state.SetItemsProcessed(state.iterations() * int64_t(size.width) * size.height);
}

// The machine's own two-thread scaling, to read the others by: the same arithmetic in every
// row and no memory traffic, the rows shared out on a pool as a frame's are. Where the cores
// slow down when both are busy (a shared host, a turbo limit), no frame can scale better.
// One chain of dependent steps (`latency`) barely uses a core's arithmetic units; eight
// independent ones (`throughput`) keep them full, as the lens lanes and the filters do, and
// show what a neighbour on the same physical core takes from them.
enum class MachineWork { kLatency, kThroughput };

void BM_Machine(benchmark::State& state, MachineWork work, std::string name) {
  harness::RowPool pool(2);
  harness::RowPool onePool(1);
  const auto run = [work](harness::RowPool& on) {
    on.Run(1080, [work](int32_t row) {
      if (work == MachineWork::kLatency) {
        double x = row;
        for (int32_t i = 0; i < 10000; ++i) x = x * 1.0000001 + 0.1;
        benchmark::DoNotOptimize(x);
        return true;
      }
      double x[8];
      for (int32_t k = 0; k < 8; ++k) x[k] = row + k;
      for (int32_t i = 0; i < 5000; ++i) {
        for (int32_t k = 0; k < 8; ++k) x[k] = x[k] * 1.0000001 + 0.1;
      }
      benchmark::DoNotOptimize(x);
      return true;
    });
  };
  Compare(state, name, [&] { run(pool); }, {OursOnOneThread([&] { run(onePool); })});
}

// The same for memory: a 3840x2160 float frame's worth of rows copied from one buffer to
// another, what the cheap filters at 16 bits and in float mostly do. Its scaling is the
// memory bandwidth's, which on a shared host moves with the neighbours' traffic.
void BM_MachineMemory(benchmark::State& state, std::string name) {
  constexpr int32_t kRows = 2160;
  constexpr size_t kRowBytes = size_t(3840) * 16;
  harness::RowPool pool(2);
  harness::RowPool onePool(1);
  std::vector<uint8_t> from(kRows * kRowBytes, 1), to(kRows * kRowBytes, 0);
  const auto run = [&](harness::RowPool& on) {
    on.Run(kRows, [&](int32_t row) {
      std::memcpy(to.data() + size_t(row) * kRowBytes, from.data() + size_t(row) * kRowBytes,
                  kRowBytes);
      return true;
    });
    benchmark::DoNotOptimize(to.data());
  };
  Compare(state, name, [&] { run(pool); }, {OursOnOneThread([&] { run(onePool); })});
}

// ------------------------------------------------------------------ registration

// The quick set: every filter at every depth once (small frame, default lens, one thread),
// every filter with the other two lenses, and the default filter on two threads and on the
// large frame (8-bit there on one thread too, so both sizes show the two-thread scaling),
// all on the widest path; the default filter at 8 bits also on the others.
bool InQuickSet(const FrameCase& c) {
  const bool defaultFilter = c.filter.type == kDefaultFilter;
  const bool eightBit = c.depth == Depth::k8;
  if (c.path.features != WidestPath().features) return defaultFilter && eightBit;
  if (Large(c.size)) {
    if (c.threads == 1) return defaultFilter && eightBit;
    return defaultFilter && (c.lens == Lens::kDefault || eightBit);
  }
  if (c.threads == 1) return c.lens == Lens::kDefault || eightBit;
  return defaultFilter && eightBit;
}

template <typename... Args>
void Add(const std::string& name, Args&&... args) {
  benchmark::RegisterBenchmark(name.c_str(), std::forward<Args>(args)..., name)
      ->Unit(benchmark::kMillisecond)
      ->UseManualTime()
      ->Iterations(1);  // Compare runs its own rounds
}

// The machine's rows, run first and again last, so that a reader sees what the machine
// allowed on either side of the others.
void AddMachineRows(const std::string& suffix) {
  Add("Machine/latency/threads:2" + suffix, BM_Machine, MachineWork::kLatency);
  Add("Machine/throughput/threads:2" + suffix, BM_Machine, MachineWork::kThroughput);
  Add("Machine/memory/threads:2" + suffix, BM_MachineMemory);
}

void Register(bool all) {
  AddMachineRows("");
  for (Lens lens : kLenses) {
    for (Size size : kSizes) {
      for (const Path& path : kPaths) {
        if (!PathAvailable(path) || path.features == kCpuFeatureSse41) continue;
        Add(std::string("Map/") + LensName(lens) + "/" + SizeName(size) + "/" + path.name, BM_Map,
            lens, size, path);
      }
    }
  }
  for (Size size : kSizes) {
    for (Depth depth : kDepths) {
      for (const Filter& filter : kFilters) {
        if (filter.type == FilterType::BuiltIn)
          continue;  // the host's sampler: only whole frames have it
        if (!all && Large(size) && (filter.type != kDefaultFilter || depth != Depth::k8)) {
          continue;
        }
        for (const Path& path : kPaths) {
          for (int32_t threads : {1, 2}) {
            // Two threads for the widest and the narrowest path: the scaling, not every path
            // again, unless everything is asked for.
            if (!all && threads == 2 && path.features != 0 &&
                path.features != WidestPath().features) {
              continue;
            }
            Add(std::string("Resample/") + SizeName(size) + "/" + DepthName(depth) + "/" +
                    filter.name + "/" + path.name + "/threads:" + std::to_string(threads),
                BM_Resample, size, depth, filter, path, threads);
          }
        }
      }
    }
  }
  for (Lens lens : kLenses) {
    for (Size size : kSizes) {
      for (Depth depth : kDepths) {
        for (const Filter& filter : kFilters) {
          for (int32_t threads : {1, 2}) {
            for (const Path& path : kPaths) {
              if (!PathAvailable(path) || path.features == kCpuFeatureSse41) continue;
              const FrameCase c{lens, size, depth, filter, threads, path};
              if (!all && !InQuickSet(c)) continue;
              Add(std::string("Frame/") + LensName(lens) + "/" + SizeName(size) + "/" +
                      DepthName(depth) + "/" + filter.name + "/" + path.name +
                      "/threads:" + std::to_string(threads),
                  BM_Frame, c);
            }
          }
        }
      }
    }
  }
  AddMachineRows("/after");
}

void PrintComparisons() {
  const auto scaling = [](const Comparison& c) { return c.scaling; };
  if (!baseline::Available()) std::printf("\nBuilt without OpenCV: no ratios against it.\n");
  if (std::any_of(comparisons.begin(), comparisons.end(),
                  [&](const Comparison& c) { return !scaling(c); })) {
    std::printf(
        "\nours / OpenCV: best of each benchmark's rounds, the two timed turn"
        " about; below 1, ours is faster.\nwall: elapsed time; cpu: processor time of"
        " all threads, the steadier one on a busy machine.\n");
    std::printf("%-46s %-44s %9s %9s %6s %9s %9s %6s\n", "benchmark", "OpenCV", "ours ms", "cv ms",
                "wall", "ours cpu", "cv cpu", "cpu");
    for (const Comparison& c : comparisons) {
      if (scaling(c)) continue;
      std::printf("%-46s %-44s %9.1f %9.1f %6.2f %9.1f %9.1f %6.2f\n", c.name.c_str(),
                  c.baseline.c_str(), c.ours.wall * 1e3, c.theirs.wall * 1e3,
                  c.ours.wall / c.theirs.wall, c.ours.cpu * 1e3, c.theirs.cpu * 1e3,
                  c.ours.cpu / c.theirs.cpu);
    }
  }
  if (std::any_of(comparisons.begin(), comparisons.end(), scaling)) {
    std::printf(
        "\nScaling: the same work on 1 thread and on the benchmark's threads, timed turn"
        " about;\nwall: 1-thread time / threaded time, best rounds (2 on two threads is"
        " perfect); median: the same\nof each round on its own, the median; cpu: threaded /"
        " 1-thread processor time.\n");
    std::printf("%-46s %9s %9s %6s %6s %9s %9s %6s\n", "benchmark", "1 thr ms", "ms", "wall",
                "median", "1 thr cpu", "cpu", "cpu");
    for (const Comparison& c : comparisons) {
      if (!scaling(c)) continue;
      std::printf("%-46s %9.1f %9.1f %6.2f %6.2f %9.1f %9.1f %6.2f\n", c.name.c_str(),
                  c.theirs.wall * 1e3, c.ours.wall * 1e3, c.theirs.wall / c.ours.wall,
                  c.medianRatio, c.theirs.cpu * 1e3, c.ours.cpu * 1e3, c.ours.cpu / c.theirs.cpu);
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  const char* which = std::getenv("VTAFX_BENCH_FRAMES");
  Register(which && std::string(which) == "all");
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  PrintComparisons();
  return 0;
}
