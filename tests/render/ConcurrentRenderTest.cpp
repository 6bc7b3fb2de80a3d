// One instance rendered by eight threads at once, frame after frame, with the controls changed
// between frames through the effect's user-changed-parameter command where the control is
// supervised. Every frame must equal the same controls rendered alone on a fresh instance on
// one iterate thread: nothing of one frame, of the command sent between frames, or of how rows
// were spread over threads may show in another. Under ThreadSanitizer this is also the race
// check of pre-render, render and the commands sent between them.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

#include "Harness.h"
#include "Image.h"
#include "support/LoadedEffect.h"

namespace {

using harness::EffectInstance;
using harness::RenderResult;

constexpr int32_t kWidth = 61, kHeight = 37;

// One frame's controls: model, mode and filter by popup number, one coefficient by name.
struct Controls {
  double model, mode, filter;
  const char* coefficient;
  double value;
};

// Applies `c` as the user does: one control at a time, each with its user-changed-parameter
// command where the effect asked for one.
std::unique_ptr<EffectInstance> Apply(std::unique_ptr<EffectInstance> instance, const Controls& c) {
  if (!instance) instance = std::make_unique<EffectInstance>(LoadedEffect());
  instance->SetLayerSize(kWidth, kHeight);
  const std::pair<const char*, double> changes[] = {{"Lens Model", c.model},
                                                    {"Distort Mode", c.mode},
                                                    {"Filter Type", c.filter},
                                                    {c.coefficient, c.value}};
  for (const auto& [name, value] : changes) {
    const harness::CommandRecord record = instance->ChangeParam(instance->FindParam(name), {value});
    EXPECT_TRUE(!record.sent || (record.result == PF_Err_NONE && record.Balanced())) << name;
  }
  return instance;
}

RenderResult Render(const EffectInstance& instance, const harness::Image& layer, int32_t threads) {
  harness::RenderRequest request(&layer);
  request.options.iterateThreads = threads;
  return instance.Render(request);
}

TEST(ConcurrentRender, EightRenderersWithTheControlsChangedBetweenFrames) {
  // Every lens family, mode and filter turns up; consecutive frames differ in all of them.
  const Controls frames[] = {{4, 1, 4, "R4 C2", -0.08},  {1, 2, 3, "DistortionX1000", 40},
                             {9, 3, 6, "FISH C2", 0.05}, {6, 2, 5, "A6M C02", 0.03},
                             {2, 1, 2, "MOD C2", -0.1},  {8, 2, 1, "A6 CX02", 0.02}};
  harness::Image layer = harness::MakeImage(kWidth, kHeight, harness::Depth::k16);
  for (size_t i = 0; i < layer.pixels.size(); i += 2) {
    const uint16_t v = static_cast<uint16_t>((i * 2654435761u) % 32769u);
    std::memcpy(&layer.pixels[i], &v, 2);
  }
  std::unique_ptr<EffectInstance> shared;
  for (const Controls& c : frames) {
    const RenderResult expected = Render(*Apply(nullptr, c), layer, 1);
    ASSERT_EQ(expected.err, PF_Err_NONE);
    shared = Apply(std::move(shared), c);
    std::vector<RenderResult> results(8);
    std::vector<std::thread> renderers;
    for (size_t r = 0; r < results.size(); ++r) {
      renderers.emplace_back(
          [&, r] { results[r] = Render(*shared, layer, int32_t(r % 3 * 7 + 1)); });
    }
    for (std::thread& t : renderers) t.join();
    for (const RenderResult& got : results) {
      EXPECT_TRUE(got.err == PF_Err_NONE && got.preRender.Balanced() && got.render.Balanced() &&
                  got.disposals == 1)
          << c.coefficient;
      EXPECT_TRUE(got.output.pixels == expected.output.pixels &&
                  got.output.originX == expected.output.originX &&
                  got.output.originY == expected.output.originY)
          << c.coefficient;
    }
  }
}

}  // namespace
