// vtlens render: images and sequences through the effect module, as the host renders them.
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <mutex>
#include <thread>
#include <unistd.h>

#include "Arguments.h"
#include "Commands.h"
#include "EffectSession.h"
#include "ImageFile.h"
#include "Progress.h"
#include "Sequence.h"
#include "ToolError.h"

namespace {

constexpr int32_t kMaxExtentSide = 30000;  // the host's largest world

struct RenderJob {
  std::string input, output;
  FramePattern inputPattern, outputPattern;
  std::vector<long> frames;
  bool timed = false;  // frames name times (sequences, or --frames with a still)
  ReadOptions read;
  int rowThreads = 1;
};

struct FrameStats {
  int32_t layerWidth = 0, layerHeight = 0, depth = 0;
  PF_LRect extent{};
};

std::string DepthName(int depth) {
  return depth == kDepthFloat ? "float" : std::to_string(depth) + "-bit";
}

std::string RectText(const PF_LRect& r) {
  return std::to_string(int64_t(r.right) - r.left) + "x" +
         std::to_string(int64_t(r.bottom) - r.top) + " at (" + std::to_string(r.left) + ", " +
         std::to_string(r.top) + ")";
}

FrameStats RenderSequenceFrame(const harness::EffectInstance& instance, const RenderJob& job,
                               long frame) {
  std::string inPath = FramePath(job.input, job.inputPattern, frame);
  std::string outPath = FramePath(job.output, job.outputPattern, frame);
  std::string where = job.timed ? "frame " + std::to_string(frame) + ": " : "";
  ImageFileInfo info;
  Image layer = ReadImageFile(inPath, job.read, &info);
  harness::Image hostLayer = ToHarnessImage(layer);
  harness::RenderRequest request;
  request.layer = &hostLayer;
  request.time = job.timed ? FrameTime(instance, frame) : 0;
  request.options.iterateThreads = job.rowThreads;
  harness::RenderResult result = instance.Render(request);
  const PF_LRect& extent = result.preRenderOutput.max_result_rect;
  int64_t w = int64_t(extent.right) - extent.left, h = int64_t(extent.bottom) - extent.top;
  if (result.err == 0 && (w <= 0 || h <= 0 || w > kMaxExtentSide || h > kMaxExtentSide))
    throw ToolError(where + "the output extent " + RectText(extent) +
                    " is not one the host accepts (1 to 30000 pixels a side)");
  if (result.err != 0) {
    if (w <= 0 || h <= 0 || w > kMaxExtentSide || h > kMaxExtentSide)
      throw ToolError(where + "the host refused the output extent " + RectText(extent) +
                      " (1 to 30000 pixels a side)");
    throw ToolError(where + "the effect failed to render \"" + inPath + "\" (error " +
                    std::to_string(result.err) + ")");
  }
  Image out = FromHarnessImage(result.output);
  WriteOptions options;
  options.rawChannels = job.read.rawChannels;
  options.halfFloat = info.isHalf;
  options.unassociatedAlpha = info.unassociatedAlpha;
  options.sourceFormat = info.format;
  options.displayX = info.displayX;
  options.displayY = info.displayY;
  options.displayWidth = info.displayWidth;
  options.displayHeight = info.displayHeight;
  WriteImageFile(outPath, out, options);
  return FrameStats{layer.width, layer.height, layer.depth, extent};
}

}  // namespace

int RunRender(const std::vector<std::string>& args) {
  ParsedArguments parsed = ParseArguments(args, RenderOptionDefs());
  if (parsed.positional.size() != 2) throw UsageError("render takes INPUT and OUTPUT");

  RenderJob job;
  job.input = parsed.positional[0];
  job.output = parsed.positional[1];
  job.inputPattern = FindFramePattern(job.input);
  job.outputPattern = FindFramePattern(job.output);
  job.read.rawChannels = HasOption(parsed, "raw-channels");
  if (HasOption(parsed, "depth")) {
    std::string depth = OptionValue(parsed, "depth");
    if (depth != "8" && depth != "16" && depth != "32")
      throw UsageError("--depth takes 8, 16 or 32, not " + Echo(depth));
    job.read.depth = std::stoi(depth);
  }
  int threads = ParseThreads(parsed);

  if (job.inputPattern.isSequence != job.outputPattern.isSequence)
    throw UsageError(
        "INPUT and OUTPUT must both be sequences (#### or %04d) or both single images");
  if (job.inputPattern.isSequence && !HasOption(parsed, "frames"))
    throw UsageError("a sequence needs --frames, e.g. --frames 1001-1100");
  if (HasOption(parsed, "frames")) {
    job.frames = ParseFrames(OptionValue(parsed, "frames"));
    if (!job.inputPattern.isSequence && job.frames.size() != 1)
      throw UsageError("--frames " + Echo(OptionValue(parsed, "frames")) +
                       " needs a sequence: put #### or %04d in INPUT and OUTPUT");
    job.timed = true;
  } else {
    job.frames.push_back(0);
  }
  // A rerun after an interruption (a farm task requeued, a killed render) resumes where it
  // stopped: outputs are only ever put in place complete, so one that exists is finished.
  if (HasOption(parsed, "skip-existing")) {
    size_t all = job.frames.size();
    job.frames.erase(
        std::remove_if(job.frames.begin(), job.frames.end(),
                       [&](long f) {
                         return access(FramePath(job.output, job.outputPattern, f).c_str(), F_OK) ==
                                0;
                       }),
        job.frames.end());
    if (job.frames.size() < all)
      std::fprintf(stderr, "vtlens: %zu of %zu frames already exist, rendering %zu\n",
                   all - job.frames.size(), all, job.frames.size());
    if (job.frames.empty()) return 0;
  }

  std::string firstOutput = FramePath(job.output, job.outputPattern, job.frames.front());
  CheckWritableFormat(firstOutput);
  // Every frame's, not only the first: a folder in the way would otherwise surface only
  // when that frame's finished picture cannot be put in place.
  for (long f : job.frames) CheckOutputFolder(FramePath(job.output, job.outputPattern, f));
  std::vector<long> missing = MissingFrames(
      job.input, job.inputPattern, job.inputPattern.isSequence ? job.frames : std::vector<long>{0});
  if (!missing.empty() && job.inputPattern.isSequence)
    throw ToolError("\"" + job.input + "\": " + std::to_string(missing.size()) + " of " +
                    std::to_string(job.frames.size()) +
                    " frames are missing: " + DescribeFrames(missing));
  if (!missing.empty()) throw ToolError("cannot read \"" + job.input + "\": no such file");

  EffectSession session = OpenEffect(OptionValue(parsed, "module"));
  ControlSettings settings;
  ApplyEffectOptions(parsed, session.controls, settings);
  auto instanceOwner = NewInstance(session, settings);
  const harness::EffectInstance& instance = *instanceOwner;

  int workers = std::min<int>(threads, static_cast<int>(job.frames.size()));
  job.rowThreads = std::max(1, threads / workers);
  Progress progress;
  StartProgress(progress, "rendering", static_cast<long>(job.frames.size()), stderr);
  std::atomic<size_t> next{0};
  std::atomic<bool> failed{false};
  std::mutex resultMutex;
  std::string firstError;
  int firstStatus = kExitFailure;
  FrameStats stats;
  auto work = [&] {
    while (!failed) {
      size_t i = next++;
      if (i >= job.frames.size()) return;
      try {
        FrameStats s = RenderSequenceFrame(instance, job, job.frames[i]);
        std::lock_guard<std::mutex> lock(resultMutex);
        if (i == 0) stats = s;
      } catch (const ToolError& e) {
        std::lock_guard<std::mutex> lock(resultMutex);
        if (!failed.exchange(true)) {
          firstError = e.what();
          firstStatus = e.status;
        }
        return;
      } catch (const std::exception& e) {
        std::lock_guard<std::mutex> lock(resultMutex);
        if (!failed.exchange(true)) firstError = e.what();
        return;
      }
      AdvanceProgress(progress);
    }
  };
  std::vector<std::thread> pool;
  for (int t = 1; t < workers; ++t) pool.emplace_back(work);
  work();
  for (std::thread& t : pool) t.join();
  double seconds = FinishProgress(progress);
  if (failed) throw ToolError(firstError, firstStatus);

  std::string what =
      job.frames.size() == 1 ? "1 frame" : std::to_string(job.frames.size()) + " frames";
  std::fprintf(stderr,
               "vtlens: rendered %s, layer %dx%d %s, output extent %s, in %.2f s (%.1f frames/s, "
               "%d threads)\n",
               what.c_str(), stats.layerWidth, stats.layerHeight, DepthName(stats.depth).c_str(),
               RectText(stats.extent).c_str(), seconds,
               seconds > 0 ? static_cast<double>(job.frames.size()) / seconds : 0.0, threads);
  return 0;
}
