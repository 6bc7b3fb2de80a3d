// Every entry of "Lens Model" rendered end to end through the built module, in each depth
// and in both directions. With "Nearest" every output pixel must be exactly the input pixel
// at the position that the static library's LensModel maps it to (or transparent where the
// model cannot map it, or the position lies outside the input); with "BiLinear" in float the
// blend of its neighbours, which depends on every bit of that position. So each frame ties
// the module's pre-render, frame transforms and row callbacks to the lens code.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "Harness.h"
#include "Image.h"
#include "support/LoadedEffect.h"
#include "Lens/LensModel.h"

namespace {

using harness::Depth;
using harness::EffectInstance;
using harness::Image;
using harness::RenderRequest;
using harness::RenderResult;

// A small frame of roughly 16:9, so the model frame is not square.
constexpr int32_t kWidth = 60, kHeight = 34;

struct Slider {
  const char* name;
  double value;
};

// A "Lens Model" entry with realistic coefficients: the popup position, the lens kind
// that position stands for, and the sliders that differ from their defaults.
struct ModelCase {
  int32_t popup;
  ModelKind kind;
  std::vector<Slider> sliders;
};

const std::vector<Slider> kRadial4 = {{"R4 C2", 0.07},  {"R4 U2", 0.004}, {"R4 V2", -0.003},
                                      {"R4 C4", 0.012}, {"R4 U4", 0.001}, {"R4 V4", -0.002}};
const std::vector<Slider> kMerged6 = {
    {"A6M C02", 0.05},  {"A6M C22", 0.012},   {"A6M C04", 0.008},
    {"A6M C24", -0.002}, {"A6M C44", 0.001},  {"A6M C06", -0.0015},
    {"A6M C26", 0.0004}, {"A6M C46", 0.0002}, {"A6M C66", -0.0001},
    {"A6M HSCL", 1.01},  {"A6M VSCL", 0.985}, {"A6M ROT", 2.0},
    {"Anamorphic Squeeze", 2.0}};
const std::vector<Slider> kFull6 = {
    {"A6 CX02", 0.06},   {"A6 CX22", 0.012},  {"A6 CX04", 0.008},  {"A6 CX24", -0.002},
    {"A6 CX44", 0.001},  {"A6 CX06", -0.0015}, {"A6 CX26", 0.0004}, {"A6 CX46", 0.0002},
    {"A6 CX66", -0.0001}, {"A6 CY02", 0.05},   {"A6 CY22", -0.01},  {"A6 CY04", 0.006},
    {"A6 CY24", 0.003},  {"A6 CY44", -0.0015}, {"A6 CY06", 0.001},  {"A6 CY26", -0.0003},
    {"A6 CY46", 0.0001}, {"A6 CY66", 0.00005}, {"A6 HSCL", 1.01},   {"A6 VSCL", 0.985},
    {"A6 ROT", -3.5},    {"Anamorphic Squeeze", 2.0}};
// Angle terms make the distort direction iterate; the angle factor acts on the
// stereographic and equisolid projections only.
const std::vector<Slider> kFisheye = {{"FISH C2", 0.03},   {"FISH C4", -0.006},
                                      {"FISH C6", 0.0008}, {"FISH C8", -0.00005},
                                      {"FISH Scale", 1.1}, {"FISH Angle Factor", 0.9}};

const ModelCase kModels[] = {
    {1, kModelClassic,
     {{"DistortionX1000", 60.0},
      {"CubicX1000", -8.0},
      {"QuarticX1000", 3.0},
      {"Eccentricity", 0.95},
      {"Vertical Scale", 1.02}}},
    {2, kModelRadialSquash,
     {{"MOD C2", 0.08},
      {"MOD C3", -0.01},
      {"MOD C4", 0.006},
      {"MOD ECC", 0.97},
      {"MOD VSCL", 1.03}}},
    {3, kModelRadial4, kRadial4},
    {4, kModelStdRadial4, kRadial4},
    {5, kModelAnamorphicMerged6, kMerged6},
    {6, kModelStdAnamorphicMerged6, kMerged6},
    {7, kModelAnamorphic6, kFull6},
    {8, kModelStdAnamorphic6, kFull6},
    {9, kModelFisheyeStereographic, kFisheye},
    {10, kModelFisheyeEquidistant, kFisheye},
    {11, kModelFisheyeEquisolid, kFisheye},
    {12, kModelFisheyeOrthographic, kFisheye},
};

// The lens inputs as the parameters give them for `model`, read from the instance by
// parameter position the way pre-render lays them out.
LensParams ExpectedLensParams(const EffectInstance& instance, const ModelCase& model) {
  const auto p = [&](PF_ParamIndex index) { return instance.ValueAt(index, 0).x; };
  constexpr double kRadiansPerDegree = 0.017453292519943295;
  LensParams lens;
  ResetLensParams(lens);
  for (double& c : lens.coef) c = 0.0;
  lens.kind = model.kind;
  lens.squeeze = p(5);
  switch (model.popup) {
    case 1:
      lens.quadratic = p(11) * 0.001;
      lens.cubic = p(12) * 0.001;
      lens.quartic = p(13) * 0.001;
      lens.eccentricity = p(14);
      lens.vScale = p(15);
      break;
    case 2:
      for (int i = 0; i < 5; ++i) lens.coef[i] = p(18 + i);
      break;
    case 3:
    case 4:
      for (int i = 0; i < 6; ++i) lens.coef[i] = p(25 + i);
      break;
    case 5:
    case 6:
      for (int i = 0; i < 9; ++i) lens.coef[i] = p(33 + i);
      lens.coef[11] = p(42);
      lens.coef[12] = p(43);
      lens.coef[13] = p(44) * kRadiansPerDegree;
      break;
    case 7:
    case 8:
      for (int i = 0; i < 18; ++i) lens.coef[i] = p(47 + i);
      lens.coef[20] = p(65);
      lens.coef[21] = p(66);
      lens.coef[22] = p(67) * kRadiansPerDegree;
      break;
    default:
      for (int i = 0; i < 6; ++i) lens.coef[i] = p(70 + i);
      break;
  }
  return lens;
}

// One axis of the two conversions a render uses when both image sizes are the layer's
// and the lens centre is its middle: output pixel to normalised, normalised to input
// pixel. `f` rounds to single precision, as the effect does with the sizes it is given.
struct Axis {
  double toNormScale, toNormOffset, toPixelScale, toPixelOffset;
  int32_t extent;  // output pixels: the distorted frame's reach past normalised 1
};

double f(double v) { return static_cast<double>(static_cast<float>(v)); }

Axis AxisOf(bool applyMode, int32_t size) {
  const double centre = 0.5 * size;
  const double scale = f(2.0 / size);
  if (!applyMode) {
    // Output undistorted, offset -d/u = -1 moved onto the pixel centre; input distorted,
    // half the undistorted size per unit, centred on the lens centre.
    const double halfSize = static_cast<double>(0.5f * static_cast<float>(size));
    const double pixelOffset = f(centre) - 0.5;
    return {scale, -1.0 + 0.5 * scale, halfSize, pixelOffset,
            static_cast<int32_t>(pixelOffset + halfSize + 1.5)};
  }
  // Output distorted about the lens centre (the sizes being equal, no shift between them);
  // input undistorted about its own middle. The output's reach comes from the inverse of
  // the rounded scale, which may lie a hair below size / 2.
  const double offset = f((-2.0 / size) * centre) + 0.5 * scale;
  const double outputScale = 1.0 / scale;
  return {scale, offset, f(0.5 * size), f(0.5 * size) - 0.5,
          static_cast<int32_t>(-offset * outputScale + outputScale + 1.5)};
}

// The position in the input that output pixel (x, y) takes its colour from, as the lens
// model maps it; a pixel the model cannot map (or maps to no finite position) is sent
// far outside, where every filter gives transparent.
struct Source {
  float x, y;
  bool valid;  // what the lens model reported
};

Source ExpectedSource(const LensModel& model, bool applyMode, int32_t x, int32_t y) {
  const Axis ax = AxisOf(applyMode, kWidth), ay = AxisOf(applyMode, kHeight);
  const Point2 n = {static_cast<double>(static_cast<float>(x)) * ax.toNormScale + ax.toNormOffset,
                    static_cast<double>(static_cast<float>(y)) * ay.toNormScale + ay.toNormOffset};
  int32_t valid = -1;
  // Zoom 1: the zoom factor and its reciprocal change nothing.
  const Point2 m = applyMode ? Undistort(model, n, 1.0, &valid) : Distort(model, n, 1.0, &valid);
  constexpr float kFar = 268435456.0f;
  Source source{kFar, kFar, valid == 1};
  if (source.valid) {
    source.x = static_cast<float>(f(m.x) * ax.toPixelScale + ax.toPixelOffset);
    source.y = static_cast<float>(f(m.y) * ay.toPixelScale + ay.toPixelOffset);
  }
  if (!std::isfinite(source.x) || !std::isfinite(source.y)) source.x = source.y = kFar;
  return source;
}

float Clamped(float v, int32_t size) {
  const float last = static_cast<float>(size - 1);
  return v < 0.0f ? 0.0f : (v > last ? last : v);
}

// "Nearest": the input pixel the position rounds to (ties to even), the edge pixel one
// beyond the border, nothing (false) farther out.
bool NearestPixel(Source s, int32_t& x, int32_t& y) {
  const float rx = std::nearbyint(s.x), ry = std::nearbyint(s.y);
  x = static_cast<int32_t>(Clamped(rx, kWidth));
  y = static_cast<int32_t>(Clamped(ry, kHeight));
  return rx >= -1.0f && rx <= static_cast<float>(kWidth) && ry >= -1.0f &&
         ry <= static_cast<float>(kHeight);
}

float Channel(const Image& image, int32_t x, int32_t y, int32_t c) {
  float v;
  std::memcpy(&v, &image.pixels[((size_t(y) * image.width + x) * 4 + c) * 4], 4);
  return v;
}

// "BiLinear" of a float image: the four neighbours blended as (b - a) t + a in single
// precision, so the result depends on every bit of the position's fraction; 0 left of the
// first pixel centre, above the first row's, and beyond one pixel past the last.
void BilinearFloat(const Image& layer, Source s, float out[4]) {
  const float x0 = std::floor(s.x), y0 = std::floor(s.y);
  const float fx = s.x - x0, fy = s.y - y0;
  const int32_t left = static_cast<int32_t>(Clamped(x0, kWidth));
  const int32_t right = static_cast<int32_t>(Clamped(x0 + 1.0f, kWidth));
  const int32_t top = static_cast<int32_t>(Clamped(y0, kHeight));
  const int32_t bottom = static_cast<int32_t>(Clamped(y0 + 1.0f, kHeight));
  const float inside = x0 >= 0.0f && x0 <= static_cast<float>(kWidth - 1) && y0 >= 0.0f &&
                               y0 <= static_cast<float>(kHeight - 1)
                           ? 1.0f
                           : 0.0f;
  for (int32_t c = 0; c < 4; ++c) {
    const float p00 = Channel(layer, left, top, c), p10 = Channel(layer, right, top, c);
    const float p01 = Channel(layer, left, bottom, c), p11 = Channel(layer, right, bottom, c);
    const float upper = (p10 - p00) * fx + p00;
    const float lower = (p11 - p01) * fx + p01;
    out[c] = ((lower - upper) * fy + upper) * inside;
  }
}

// Distinct pixels in the depth's range (floats also outside 0..1), alpha never 0.
Image Pattern(Depth depth) {
  Image image = harness::MakeImage(kWidth, kHeight, depth);
  uint32_t state = 2463534242U;
  const int32_t channels = kWidth * kHeight * 4;
  for (int32_t i = 0; i < channels; ++i) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    const bool alpha = i % 4 == 0;
    if (depth == Depth::k8) {
      image.pixels[i] = static_cast<uint8_t>(alpha ? 1 + state % 255 : state);
    } else if (depth == Depth::k16) {
      const uint16_t v = static_cast<uint16_t>(alpha ? 1 + state % 32768 : state % 32769);
      std::memcpy(&image.pixels[size_t(i) * 2], &v, 2);
    } else {
      const int32_t spread = static_cast<int32_t>(state % 1400) - 200;
      const float v = alpha ? 0.001f + static_cast<float>(state % 1000) / 1000.0f
                            : static_cast<float>(spread) / 1000.0f;
      std::memcpy(&image.pixels[size_t(i) * 4], &v, 4);
    }
  }
  return image;
}

// Pixel (x, y) of `image` equals pixel (sx, sy) of `source`; channels compared as values,
// so a float -0 matches 0.
bool SamePixel(const Image& image, int32_t x, int32_t y, const Image* source, int32_t sx,
               int32_t sy) {
  const size_t bytes = static_cast<size_t>(harness::PixelBytes(image.depth));
  const uint8_t* a = &image.pixels[(size_t(y) * image.width + x) * bytes];
  const uint8_t zero[16] = {};
  const uint8_t* b = source ? &source->pixels[(size_t(sy) * source->width + sx) * bytes] : zero;
  if (image.depth != Depth::kFloat) return std::memcmp(a, b, bytes) == 0;
  for (int c = 0; c < 4; ++c) {
    float va, vb;
    std::memcpy(&va, a + c * 4, 4);
    std::memcpy(&vb, b + c * 4, 4);
    if (!(va == vb)) return false;
  }
  return true;
}

// Sets up an instance for `model` in "Remove WF2" or "Apply WF2" with `filter`, renders
// one frame of `layer` and checks that it succeeded, released what it took and covers the
// distorted frame's extent.
RenderResult RenderModel(const ModelCase& model, bool applyMode, double filter,
                         const Image& layer, LensModel& lens) {
  EffectInstance instance(LoadedEffect());
  instance.SetLayerSize(kWidth, kHeight);
  EXPECT_TRUE(instance.SetValue(instance.FindParam("Lens Model"), {double(model.popup)}));
  EXPECT_TRUE(instance.SetValue(instance.FindParam("Distort Mode"), {applyMode ? 2.0 : 1.0}));
  EXPECT_TRUE(instance.SetValue(instance.FindParam("Filter Type"), {filter}));
  for (const Slider& s : model.sliders) {
    const PF_ParamIndex index = instance.FindParam(s.name);
    EXPECT_GT(index, 0) << s.name;
    EXPECT_TRUE(instance.SetValue(index, {s.value})) << s.name;
    EXPECT_EQ(instance.ValueAt(index, 0).x, s.value) << s.name;  // inside its range
  }
  SetParameters(lens, ExpectedLensParams(instance, model),
                static_cast<double>(kWidth) / static_cast<double>(kHeight));
  EXPECT_EQ(lens.isIdentity, 0);

  RenderRequest request;
  request.layer = &layer;
  request.outputFill = 0xA5;  // every pixel must be written
  RenderResult frame = instance.Render(request);
  EXPECT_EQ(frame.err, PF_Err_NONE);
  EXPECT_TRUE(frame.preRender.Balanced());
  EXPECT_TRUE(frame.render.Balanced());
  EXPECT_EQ(frame.disposals, 1);
  EXPECT_TRUE(frame.inputIntact);
  EXPECT_TRUE(frame.outputPaddingIntact);
  EXPECT_EQ(frame.output.originX, 0);
  EXPECT_EQ(frame.output.originY, 0);
  EXPECT_EQ(frame.output.width, AxisOf(applyMode, kWidth).extent);
  EXPECT_EQ(frame.output.height, AxisOf(applyMode, kHeight).extent);
  return frame;
}

// Counts a pixel that differs from what it should be; reports the first few.
void CountMismatch(int32_t& mismatches, int32_t x, int32_t y, const std::string& expected) {
  if (++mismatches <= 3) {
    ADD_FAILURE() << "pixel (" << x << ", " << y << ") should be " << expected;
  }
}

TEST(EveryLensModel, RendersInEachDepthAsTheLensCodeMapsIt) {
  for (const ModelCase& model : kModels) {
    int32_t transparent = 0;  // over both directions: some pixel must fall outside
    for (const bool applyMode : {false, true}) {
      for (const Depth depth : {Depth::k8, Depth::k16, Depth::kFloat}) {
        SCOPED_TRACE("Lens Model " + std::to_string(model.popup) +
                     (applyMode ? ", Apply WF2" : ", Remove WF2") + ", depth " +
                     std::to_string(int(depth)));
        const Image layer = Pattern(depth);
        LensModel lens;
        const RenderResult frame = RenderModel(model, applyMode, 2.0, layer, lens);  // "Nearest"
        ASSERT_EQ(frame.err, PF_Err_NONE);
        ASSERT_EQ(frame.output.width, AxisOf(applyMode, kWidth).extent);
        ASSERT_EQ(frame.output.height, AxisOf(applyMode, kHeight).extent);

        int32_t mismatches = 0, moved = 0, invalid = 0;
        for (int32_t y = 0; y < frame.output.height; ++y) {
          for (int32_t x = 0; x < frame.output.width; ++x) {
            const Source source = ExpectedSource(lens, applyMode, x, y);
            invalid += !source.valid;
            int32_t sx, sy;
            const bool inside = NearestPixel(source, sx, sy);
            transparent += !inside;
            if (!SamePixel(frame.output, x, y, inside ? &layer : nullptr, sx, sy)) {
              CountMismatch(mismatches, x, y,
                            inside ? "input pixel (" + std::to_string(sx) + ", " +
                                         std::to_string(sy) + ")"
                                   : std::string("transparent"));
            }
            if (x < kWidth && y < kHeight && !SamePixel(frame.output, x, y, &layer, x, y)) {
              ++moved;
            }
          }
        }
        EXPECT_EQ(mismatches, 0);
        // The lens moves most of the image by at least half a pixel.
        EXPECT_GT(moved, kWidth * kHeight / 4) << invalid << " invalid";
      }

      // Float "BiLinear" ties the frame to every bit of the mapped positions.
      SCOPED_TRACE("Lens Model " + std::to_string(model.popup) +
                   (applyMode ? ", Apply WF2" : ", Remove WF2") + ", float BiLinear");
      const Image layer = Pattern(Depth::kFloat);
      LensModel lens;
      const RenderResult frame = RenderModel(model, applyMode, 3.0, layer, lens);
      ASSERT_EQ(frame.err, PF_Err_NONE);
      ASSERT_EQ(frame.output.width, AxisOf(applyMode, kWidth).extent);
      ASSERT_EQ(frame.output.height, AxisOf(applyMode, kHeight).extent);
      int32_t mismatches = 0;
      for (int32_t y = 0; y < frame.output.height; ++y) {
        for (int32_t x = 0; x < frame.output.width; ++x) {
          float expected[4];
          BilinearFloat(layer, ExpectedSource(lens, applyMode, x, y), expected);
          for (int32_t c = 0; c < 4; ++c) {
            if (!(Channel(frame.output, x, y, c) == expected[c])) {
              CountMismatch(mismatches, x, y, std::to_string(expected[c]) + " in channel " +
                                                  std::to_string(c));
              break;
            }
          }
        }
      }
      EXPECT_EQ(mismatches, 0);
    }
    EXPECT_GT(transparent, 0) << "Lens Model " << model.popup;
  }
}

}  // namespace
