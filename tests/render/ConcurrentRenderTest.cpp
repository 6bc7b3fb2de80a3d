// One instance rendered by eight threads at once, frame after frame, while a ninth thread
// plays the user and changes the instance's controls between frames, through the effect's
// user-changed-parameter command where the control is supervised. Every frame must equal
// the same controls rendered alone on a fresh instance on one iterate thread: nothing of
// one frame, of the command sent between frames, or of how rows were spread over threads
// may show in another. Under ThreadSanitizer this is also the race check of pre-render,
// render and the commands sent between them.
#include <gtest/gtest.h>

#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "Harness.h"
#include "Image.h"
#include "support/LoadedEffect.h"

namespace {

using harness::EffectInstance;
using harness::Image;
using harness::RenderRequest;
using harness::RenderResult;

constexpr int32_t kWidth = 61, kHeight = 37;
constexpr int kRenderers = 8;
constexpr int32_t kThreads[] = {2, 16, 1};  // iterate threads of each renderer

// One frame's controls: model, mode and filter by popup number, one coefficient by name.
struct Controls {
  double model, mode, filter;
  const char* coefficient;
  double value;
};

// Every lens family, mode and filter turns up; consecutive frames differ in all of them.
const Controls kFrames[] = {
    {4, 1, 4, "R4 C2", -0.08},         // Std. Radial 4th-order, Remove WF2, Lanczos-2
    {1, 2, 3, "DistortionX1000", 40},  // Classic, Apply WF2, BiLinear
    {9, 3, 6, "FISH C2", 0.05},        // Fisheye, Stereographic, Remove WF1, Mitchell-Netravali
    {6, 2, 5, "A6M C02", 0.03},        // Std. Anamorphic, Merged, Apply WF2, Lanczos-3
    {2, 1, 2, "MOD C2", -0.1},         // Radial+Squash, Remove WF2, Nearest
    {8, 2, 1, "A6 CX02", 0.02},        // Std. Anamorphic 6th-order, Apply WF2, Built-in
};

Image Layer() {
  Image image = harness::MakeImage(kWidth, kHeight, harness::Depth::k16);
  for (size_t i = 0; i < image.pixels.size(); i += 2) {
    const uint16_t v = static_cast<uint16_t>((i * 2654435761u) % 32769u);
    std::memcpy(&image.pixels[i], &v, 2);
  }
  return image;
}

// Applies `c` as the user does: popups and the coefficient one by one, each with its
// user-changed-parameter command where the effect asked for one.
void Apply(EffectInstance& instance, const Controls& c) {
  const std::pair<const char*, double> changes[] = {{"Lens Model", c.model},
                                                    {"Distort Mode", c.mode},
                                                    {"Filter Type", c.filter},
                                                    {c.coefficient, c.value}};
  for (const auto& [name, value] : changes) {
    const PF_ParamIndex index = instance.FindParam(name);
    ASSERT_GT(index, 0) << name;
    const harness::CommandRecord record = instance.ChangeParam(index, {value});
    EXPECT_TRUE(!record.sent || (record.result == PF_Err_NONE && record.Balanced())) << name;
  }
}

std::unique_ptr<EffectInstance> NewInstance() {
  auto instance = std::make_unique<EffectInstance>(LoadedEffect());
  instance->SetLayerSize(kWidth, kHeight);
  return instance;
}

RenderResult RenderAlone(const EffectInstance& instance, const Image& layer, int32_t threads) {
  RenderRequest request(&layer);
  request.options.iterateThreads = threads;
  return instance.Render(request);
}

TEST(ConcurrentRender, EightRenderersWhileTheUserChangesControlsBetweenFrames) {
  const Image layer = Layer();
  std::vector<RenderResult> expected;
  for (const Controls& c : kFrames) {
    auto alone = NewInstance();
    Apply(*alone, c);
    expected.push_back(RenderAlone(*alone, layer, 1));
    ASSERT_EQ(expected.back().err, PF_Err_NONE);
  }

  // The user's thread and the renderers take turns by frame: the host renders a frame
  // from the controls as they stood when it started.
  auto shared = NewInstance();
  std::mutex mutex;
  std::condition_variable turn;
  int frame = -1;    // the frame the renderers may render; -1 before the first
  int finished = 0;  // renderers done with `frame`
  std::vector<std::vector<RenderResult>> results(std::size(kFrames),
                                                 std::vector<RenderResult>(kRenderers));

  std::vector<std::thread> renderers;
  for (int r = 0; r < kRenderers; ++r) {
    renderers.emplace_back([&, r] {
      for (int f = 0; f < int(std::size(kFrames)); ++f) {
        {
          std::unique_lock<std::mutex> lock(mutex);
          turn.wait(lock, [&] { return frame == f; });
        }
        results[size_t(f)][size_t(r)] = RenderAlone(*shared, layer, kThreads[r % 3]);
        std::lock_guard<std::mutex> lock(mutex);
        if (++finished == kRenderers) turn.notify_all();
      }
    });
  }
  std::thread user([&] {
    for (int f = 0; f < int(std::size(kFrames)); ++f) {
      Apply(*shared, kFrames[f]);
      std::unique_lock<std::mutex> lock(mutex);
      finished = 0;
      frame = f;
      turn.notify_all();
      turn.wait(lock, [&] { return finished == kRenderers; });
    }
  });
  user.join();
  for (std::thread& t : renderers) t.join();

  for (size_t f = 0; f < std::size(kFrames); ++f) {
    for (const RenderResult& got : results[f]) {
      EXPECT_EQ(got.err, PF_Err_NONE) << "frame " << f;
      EXPECT_TRUE(got.preRender.Balanced() && got.render.Balanced()) << "frame " << f;
      EXPECT_EQ(got.disposals, 1) << "frame " << f;
      EXPECT_TRUE(got.output.pixels == expected[f].output.pixels &&
                  got.output.originX == expected[f].output.originX &&
                  got.output.originY == expected[f].output.originY)
          << "frame " << f;
    }
  }
}

}  // namespace
