// vtlens demo: the whole round trip on a chart made in memory, so a newcomer sees the
// effect work without any footage: distort the chart as a lens would, remove the
// distortion again, and measure what the two resamplings lost.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "Arguments.h"
#include "Commands.h"
#include "EffectSession.h"
#include "ImageFile.h"
#include "Progress.h"
#include "StMap.h"
#include "TestChart.h"
#include "ToolError.h"

namespace {

constexpr int32_t kChartWidth = 1920;
constexpr int32_t kChartHeight = 1080;
constexpr int kDifferenceGain = 8;

// The demo's lens: the effect's default model with a moderate barrel distortion.
const char* const kDemoLens[] = {"Lens Model=Std. Radial 4th-order", "R4 C2=-0.1", "R4 C4=0.02",
                                 "Filter Type=Lanczos-2"};

struct RoundTripError {
  long pixels = 0;     // chart pixels inside the valid area
  double meanAbs = 0;  // mean absolute channel difference, 0..255
  int maxAbs = 0;
};

std::unique_ptr<harness::EffectInstance> DemoInstance(EffectSession& session, const char* mode) {
  ControlSettings settings;
  for (const char* assignment : kDemoLens) ApplyAssignment(settings, session.controls, assignment);
  ApplyAssignment(settings, session.controls, std::string("Distort Mode=") + mode);
  return NewInstance(session, settings, kChartWidth, kChartHeight);
}

harness::RenderResult RenderWith(EffectSession& session, const char* mode, const Image& layer) {
  harness::Image hostLayer = ToHarnessImage(layer);
  harness::RenderRequest request;
  request.layer = &hostLayer;
  harness::RenderResult result = DemoInstance(session, mode)->Render(request);
  if (result.err != 0)
    throw ToolError(std::string("the effect failed to render \"") + mode + "\" (error " +
                    std::to_string(result.err) + ")");
  return result;
}

// Compares `restored` (placed by its origin) with `chart` where restored is fully opaque,
// and draws the amplified difference.
RoundTripError CompareRoundTrip(const Image& chart, const Image& restored, Image& difference) {
  RoundTripError e;
  double sum = 0;
  for (int32_t y = 0; y < chart.height; ++y) {
    for (int32_t x = 0; x < chart.width; ++x) {
      int32_t rx = x - restored.originX, ry = y - restored.originY;
      size_t d = ChannelIndex(difference, x, y, 0);
      difference.pixels8[d] = 255;
      if (rx < 0 || ry < 0 || rx >= restored.width || ry >= restored.height) continue;
      if (restored.pixels8[ChannelIndex(restored, rx, ry, 0)] != 255) continue;
      ++e.pixels;
      for (int c = 1; c < 4; ++c) {
        int diff = std::abs(int(restored.pixels8[ChannelIndex(restored, rx, ry, c)]) -
                            int(chart.pixels8[ChannelIndex(chart, x, y, c)]));
        sum += diff;
        e.maxAbs = std::max(e.maxAbs, diff);
        difference.pixels8[d + static_cast<size_t>(c)] =
            static_cast<uint8_t>(std::min(255, diff * kDifferenceGain));
      }
    }
  }
  e.meanAbs = e.pixels ? sum / (3.0 * static_cast<double>(e.pixels)) : 0;
  return e;
}

void Step(const char* what, std::chrono::steady_clock::time_point& start) {
  std::printf("  %-48s %6.2f s\n", what, SecondsSince(start));
  std::fflush(stdout);
  start = std::chrono::steady_clock::now();
}

}  // namespace

int RunDemo(const std::vector<std::string>& args) {
  ParsedArguments parsed = ParseArguments(
      args,
      {{"out", true, "DIR", "the folder for the pictures (default vtlens-demo)"}, kModuleOption});
  if (!parsed.positional.empty())
    throw UsageError("demo takes no file names; give the folder with --out");
  std::string dir = OptionValue(parsed, "out", "vtlens-demo");
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  if (ec) throw ToolError("cannot create the folder \"" + dir + "\": " + ec.message());
  auto path = [&](const char* name) { return dir + "/" + name; };
  CheckOutputFolder(path("chart.png"));

  auto total = std::chrono::steady_clock::now();
  auto start = total;
  std::printf(
      "vtlens demo: a %dx%d test chart, distorted with \"Apply WF2\" and restored with \"Remove "
      "WF2\"\n",
      kChartWidth, kChartHeight);
  std::printf("  lens:");
  for (const char* assignment : kDemoLens) std::printf(" %s;", assignment);
  std::printf(" other controls at their defaults\n");
  Image chart = MakeTestChart(kChartWidth, kChartHeight, kDepth8);
  Step("drew the chart", start);
  EffectSession session = OpenEffect(OptionValue(parsed, "module"));
  Step("loaded the effect module", start);

  harness::RenderResult applied = RenderWith(session, "Apply WF2", chart);
  Image distorted = FromHarnessImage(applied.output);
  Step("applied the distortion (Apply WF2)", start);
  // The restore takes the distorted picture as its layer, as a plate would come in.
  Image plate = distorted;
  plate.originX = 0;
  plate.originY = 0;
  harness::RenderResult removed = RenderWith(session, "Remove WF2", plate);
  Image restored = FromHarnessImage(removed.output);
  Step("removed it again (Remove WF2)", start);

  Image difference = MakeImage(kChartWidth, kChartHeight, kDepth8);
  RoundTripError error = CompareRoundTrip(chart, restored, difference);
  Step("compared the restored chart with the original", start);

  RenderContextPtr context =
      SetUpGeometry(*DemoInstance(session, "Apply WF2"), 0, kChartWidth, kChartHeight);
  Image stmap = MakeStMap(*context, kChartWidth, kChartHeight,
                          static_cast<int>(std::max(1u, std::thread::hardware_concurrency())));
  Step("computed the ST map of the distortion", start);

  WriteImageFile(path("chart.png"), chart, WriteOptions{});
  WriteImageFile(path("distorted.png"), distorted, WriteOptions{});
  WriteImageFile(path("restored.png"), restored, WriteOptions{});
  WriteImageFile(path("difference.png"), difference, WriteOptions{});
  WriteOptions exr;
  exr.displayWidth = kChartWidth;
  exr.displayHeight = kChartHeight;
  WriteImageFile(path("stmap.exr"), stmap, exr);
  Step("wrote the pictures", start);

  double share = 100.0 * static_cast<double>(error.pixels) / (double(kChartWidth) * kChartHeight);
  std::printf(
      "round trip inside the valid area (%.1f %% of the chart): mean error %.2f, largest %d (of "
      "255)\n",
      share, error.meanAbs, error.maxAbs);
  std::printf(
      "pictures in %s/: chart.png distorted.png restored.png difference.png (x%d) stmap.exr\n",
      dir.c_str(), kDifferenceGain);
  std::printf("done in %.2f s\n", SecondsSince(total));
  return 0;
}
