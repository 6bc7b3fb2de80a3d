// Every entry of "Lens Model" rendered end to end through the built module, in each depth
// and in both directions, compared with golden frames. "Nearest" moves whole pixels to where
// the lens maps them; float "BiLinear" blends neighbours by the fraction of each position, so
// those frames depend on every bit of the mapping and tie the module's pre-render, frame
// transforms and row callbacks to the lens code.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "Harness.h"
#include "Image.h"
#include "support/GoldenValues.h"
#include "support/LoadedEffect.h"

namespace {

using harness::Depth;
using harness::EffectInstance;
using harness::Image;

const double kGolden[] = {
#include "ModelRenderGolden.inc"
};

// A small frame of roughly 16:9, so the model frame is not square.
constexpr int32_t kWidth = 60, kHeight = 34;

struct Slider {
  const char* name;
  double value;
};

const std::vector<Slider> kRadial4 = {{"R4 C2", 0.07},  {"R4 U2", 0.004}, {"R4 V2", -0.003},
                                      {"R4 C4", 0.012}, {"R4 U4", 0.001}, {"R4 V4", -0.002}};
const std::vector<Slider> kMerged6 = {
    {"A6M C02", 0.05},          {"A6M C22", 0.012},   {"A6M C04", 0.008},  {"A6M C24", -0.002},
    {"A6M C44", 0.001},         {"A6M C06", -0.0015}, {"A6M C26", 0.0004}, {"A6M C46", 0.0002},
    {"A6M C66", -0.0001},       {"A6M HSCL", 1.01},   {"A6M VSCL", 0.985}, {"A6M ROT", 2.0},
    {"Anamorphic Squeeze", 2.0}};
const std::vector<Slider> kFull6 = {
    {"A6 CX02", 0.06},    {"A6 CX22", 0.012},         {"A6 CX04", 0.008},  {"A6 CX24", -0.002},
    {"A6 CX44", 0.001},   {"A6 CX06", -0.0015},       {"A6 CX26", 0.0004}, {"A6 CX46", 0.0002},
    {"A6 CX66", -0.0001}, {"A6 CY02", 0.05},          {"A6 CY22", -0.01},  {"A6 CY04", 0.006},
    {"A6 CY24", 0.003},   {"A6 CY44", -0.0015},       {"A6 CY06", 0.001},  {"A6 CY26", -0.0003},
    {"A6 CY46", 0.0001},  {"A6 CY66", 0.00005},       {"A6 HSCL", 1.01},   {"A6 VSCL", 0.985},
    {"A6 ROT", -3.5},     {"Anamorphic Squeeze", 2.0}};
// Angle terms make the distort direction iterate; the angle factor acts on the
// stereographic and equisolid projections only.
const std::vector<Slider> kFisheye = {{"FISH C2", 0.03},   {"FISH C4", -0.006},
                                      {"FISH C6", 0.0008}, {"FISH C8", -0.00005},
                                      {"FISH Scale", 1.1}, {"FISH Angle Factor", 0.9}};

const std::vector<Slider> kClassic = {{"DistortionX1000", 60.0},
                                      {"CubicX1000", -8.0},
                                      {"QuarticX1000", 3.0},
                                      {"Eccentricity", 0.95},
                                      {"Vertical Scale", 1.02}};
const std::vector<Slider> kSquash = {
    {"MOD C2", 0.08}, {"MOD C3", -0.01}, {"MOD C4", 0.006}, {"MOD ECC", 0.97}, {"MOD VSCL", 1.03}};
// The end of a slider's range: every pixel maps to the centre, without dividing by the scale.
const std::vector<Slider> kFlatFisheye = {{"FISH Scale", 0.0}};

// Realistic sliders of each "Lens Model" entry, then edge cases.
const struct {
  int32_t popup;
  const std::vector<Slider>& sliders;
} kCases[] = {{1, kClassic},  {2, kSquash},   {3, kRadial4},    {4, kRadial4}, {5, kMerged6},
              {6, kMerged6},  {7, kFull6},    {8, kFull6},      {9, kFisheye}, {10, kFisheye},
              {11, kFisheye}, {12, kFisheye}, {9, kFlatFisheye}};

// Distinct pixels in the depth's range (floats also outside 0..1), alpha never 0.
Image Pattern(Depth depth) {
  Image image = harness::MakeImage(kWidth, kHeight, depth);
  uint32_t state = 2463534242U;
  const size_t bytes = static_cast<size_t>(harness::PixelBytes(depth)) / 4;
  for (int32_t i = 0; i < kWidth * kHeight * 4; ++i) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    const bool alpha = i % 4 == 0;
    const uint16_t v16 = static_cast<uint16_t>(alpha ? 1 + state % 32768 : state % 32769);
    const float vf = alpha ? 0.001f + static_cast<float>(state % 1000) / 1000.0f
                           : static_cast<float>(static_cast<int32_t>(state % 1400) - 200) / 1000.0f;
    const uint8_t v8 = static_cast<uint8_t>(alpha ? 1 + state % 255 : state);
    const void* v = depth == Depth::k8    ? static_cast<const void*>(&v8)
                    : depth == Depth::k16 ? static_cast<const void*>(&v16)
                                          : static_cast<const void*>(&vf);
    std::memcpy(&image.pixels[size_t(i) * bytes], v, bytes);
  }
  return image;
}

// One fingerprint per entry and mode over its four frames (extents and pixels); the top 53
// bits fit a double exactly.
TEST(EveryLensModel, RendersTheGoldenFrames) {
  GoldenValues golden;
  const struct {
    Depth depth;
    double filter;  // "Nearest" 2, "BiLinear" 3
  } looks[] = {{Depth::k8, 2.0}, {Depth::k16, 2.0}, {Depth::kFloat, 2.0}, {Depth::kFloat, 3.0}};
  for (const auto& c : kCases) {
    for (const double mode : {1.0, 2.0}) {  // "Remove WF2", "Apply WF2"
      const std::string what =
          "Lens Model " + std::to_string(c.popup) + " mode " + std::to_string(int(mode));
      uint64_t hash = Fnv1a(nullptr, 0);
      for (const auto& look : looks) {
        EffectInstance instance(LoadedEffect());
        instance.SetLayerSize(kWidth, kHeight);
        EXPECT_TRUE(instance.SetValue(instance.FindParam("Lens Model"), {double(c.popup)}));
        EXPECT_TRUE(instance.SetValue(instance.FindParam("Distort Mode"), {mode}));
        EXPECT_TRUE(instance.SetValue(instance.FindParam("Filter Type"), {look.filter}));
        for (const Slider& s : c.sliders) {
          EXPECT_TRUE(instance.SetValue(instance.FindParam(s.name), {s.value})) << s.name;
        }
        const Image layer = Pattern(look.depth);
        harness::RenderRequest request;
        request.layer = &layer;
        request.outputFill = 0xA5;  // every pixel must be written
        const harness::RenderResult frame = instance.Render(request);
        EXPECT_EQ(frame.err, PF_Err_NONE) << what;
        EXPECT_TRUE(frame.preRender.Balanced() && frame.render.Balanced()) << what;
        EXPECT_EQ(frame.disposals, 1) << what;
        EXPECT_TRUE(frame.inputIntact && frame.outputPaddingIntact) << what;
        const int32_t extent[] = {frame.output.originX, frame.output.originY, frame.output.width,
                                  frame.output.height};
        hash = Fnv1a(extent, sizeof extent, hash);
        hash = Fnv1a(frame.output.pixels.data(), frame.output.pixels.size(), hash);
      }
      golden.Add(what, static_cast<double>(hash >> 11));
    }
  }
  golden.Expect(kGolden, sizeof kGolden / sizeof kGolden[0]);
}

}  // namespace
