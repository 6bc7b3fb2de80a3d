// The mapping of output positions and the row callbacks, driven directly from the static
// library with a minimal host of our own: worlds in memory, the two pixel-data callbacks and
// a recording subpixel sampler. End-to-end rendering through the harness is tested apart.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <vector>

#include "Host/ParamIndices.h"
#include "Host/RenderContext.h"
#include "Host/RenderSetUp.h"
#include "Resampling/CpuFeatures.h"
#include "Resampling/FilterKernelTables.h"
#include "Host/RowCallbacks.h"

namespace {

constexpr int32_t kMin = std::numeric_limits<int32_t>::min();

struct ContextDeleter {
  void operator()(RenderContext* context) const { DisposeRenderContext(context); }
};
using ContextPtr = std::unique_ptr<RenderContext, ContextDeleter>;

// A world in memory with padded rows and a guard of sentinel bytes after the last row.
struct TestWorld {
  std::vector<uint8_t> bytes;
  PF_EffectWorld world{};
};

constexpr uint8_t kSentinel = 0xA5;
constexpr int32_t kPadPixels = 3;
constexpr size_t kGuardBytes = 256;

template <typename Pixel>
TestWorld MakeWorld(int32_t width, int32_t height, int32_t originX, int32_t originY) {
  TestWorld w;
  const int32_t rowBytes = (width + kPadPixels) * static_cast<int32_t>(sizeof(Pixel));
  w.bytes.assign(static_cast<size_t>(rowBytes) * static_cast<size_t>(height) + kGuardBytes,
                 kSentinel);
  w.world.data = reinterpret_cast<PF_PixelPtr>(w.bytes.data());
  w.world.rowbytes = rowBytes;
  w.world.width = width;
  w.world.height = height;
  w.world.origin_x = originX;
  w.world.origin_y = originY;
  return w;
}

template <typename Pixel>
Pixel* Row(TestWorld& w, int32_t y) {
  return reinterpret_cast<Pixel*>(w.bytes.data() + static_cast<size_t>(w.world.rowbytes) * y);
}

// A deterministic pattern of whole numbers (floats get some out-of-range values too).
uint32_t Hash(uint32_t v) {
  v ^= v >> 16;
  v *= 0x7feb352dU;
  v ^= v >> 15;
  v *= 0x846ca68bU;
  v ^= v >> 16;
  return v;
}

void SetChannel(PF_Pixel8& p, int c, uint32_t h) {
  A_u_char* ch[4] = {&p.alpha, &p.red, &p.green, &p.blue};
  *ch[c] = static_cast<A_u_char>(h % 256U);
}
void SetChannel(PF_Pixel16& p, int c, uint32_t h) {
  A_u_short* ch[4] = {&p.alpha, &p.red, &p.green, &p.blue};
  *ch[c] = static_cast<A_u_short>(h % 32769U);
}
void SetChannel(PF_PixelFloat& p, int c, uint32_t h) {
  PF_FpShort* ch[4] = {&p.alpha, &p.red, &p.green, &p.blue};
  *ch[c] = static_cast<float>(static_cast<int32_t>(h % 1700U) - 200) / 1000.0f;
}

template <typename Pixel>
void FillPattern(TestWorld& w) {
  for (int32_t y = 0; y < w.world.height; ++y) {
    Pixel* row = Row<Pixel>(w, y);
    for (int32_t x = 0; x < w.world.width; ++x) {
      for (int c = 0; c < 4; ++c) {
        SetChannel(row[x], c, Hash(static_cast<uint32_t>((y * 7919 + x) * 4 + c)));
      }
    }
  }
}

// ------------------------------------------------------------------ the minimal host

int32_t gPixelDataCalls = 0;
PF_Err gPixelDataError = PF_Err_NONE;

template <typename Pixel>
PF_Err GetPixelData(PF_EffectWorld* world, PF_PixelPtr, Pixel** base) {
  ++gPixelDataCalls;
  if (gPixelDataError) return gPixelDataError;
  *base = reinterpret_cast<Pixel*>(world->data);
  return PF_Err_NONE;
}

struct SampleCall {
  PF_Fixed x;
  PF_Fixed y;
};
std::vector<SampleCall> gSampleCalls;

template <typename Pixel>
PF_Err RecordSample(PF_ProgPtr, PF_Fixed x, PF_Fixed y, const PF_SampPB* params, Pixel* out) {
  gSampleCalls.push_back({x, y});
  EXPECT_NE(params->src, nullptr);
  *out = Pixel{};
  return PF_Err_INTERNAL_STRUCT_DAMAGED;  // ignored by the callback
}

struct MiniHost {
  PF_UtilCallbacks utils{};
  PF_PixelDataSuite1 pixelData{};
  PF_InData inData{};
  MiniHost() {
    utils.get_pixel_data8 = GetPixelData<PF_Pixel8>;
    utils.get_pixel_data16 = GetPixelData<PF_Pixel16>;
    pixelData.get_pixel_data8 = GetPixelData<PF_Pixel8>;
    pixelData.get_pixel_data16 = GetPixelData<PF_Pixel16>;
    pixelData.get_pixel_data_float = GetPixelData<PF_PixelFloat>;
    inData.utils = &utils;
    gPixelDataCalls = 0;
    gPixelDataError = PF_Err_NONE;
    gSampleCalls.clear();
  }
};

double Sine(double v) { return std::sin(v); }

// Parameter values of a frame: the defaults, a layer of `width` x `height`, both sizes the
// layer's and the centre in its middle, unless the test changes them.
struct FrameValues {
  RenderParameterValues values{};
  std::vector<double> sliders = std::vector<double>(kParamCount, 0.0);
  FrameValues(int32_t width, int32_t height) {
    values.lensModelChoice = 4;  // "Std. Radial 4th-order"
    values.distortMode = 1;
    values.filterType = 2;
    values.pixelAspect = 1.0;
    values.squeeze = 1.0;
    values.zoom = 1.0;
    values.distortedSize[0] = values.undistortedSize[0] = width;
    values.distortedSize[1] = values.undistortedSize[1] = height;
    values.lensCenter[0] = 0.5 * width;
    values.lensCenter[1] = 0.5 * height;
  }
  void Realistic() {
    sliders[kParamRadial4First] = -0.05;     // "R4 C2"
    sliders[kParamRadial4First + 3] = 0.01;  // "R4 C4"
  }
};

ContextPtr MakeContext(const FrameValues& frame) {
  ContextPtr context(CreateRenderContext());
  EXPECT_EQ(SetUpRenderContextFromValues(frame.values, frame.sliders.data(), *context), 0);
  BuildFilterKernelTables(Sine);
  GetFilterKernelTables(&context->kernelLanczos2, &context->kernelLanczos3,
                        &context->kernelMitchell);
  return context;
}

template <typename Pixel>
PF_Err CallRow(void* refcon, A_long y, Pixel* out);
template <>
PF_Err CallRow<PF_Pixel8>(void* refcon, A_long y, PF_Pixel8* out) {
  return DistortRow8(refcon, 12345, y, out, out);  // column and input pixel are ignored
}
template <>
PF_Err CallRow<PF_Pixel16>(void* refcon, A_long y, PF_Pixel16* out) {
  return DistortRow16(refcon, -7, y, nullptr, out);
}
template <>
PF_Err CallRow<PF_PixelFloat>(void* refcon, A_long y, PF_PixelFloat* out) {
  return DistortRowFloat(refcon, 0, y, nullptr, out);
}

// Renders every row of an output world covering the context's output extent.
template <typename Pixel>
TestWorld RenderWithContext(RenderContext& context, MiniHost& host, TestWorld& input) {
  const PF_LRect r = context.outputRect;
  TestWorld output = MakeWorld<Pixel>(r.right - r.left, r.bottom - r.top, r.left, r.top);
  context.inData = &host.inData;
  context.inputWorld = &input.world;
  context.outputWorld = &output.world;
  context.pixelDataSuite = &host.pixelData;
  context.samplingParams = PF_SampPB{};
  context.samplingParams.src = &input.world;
  context.subpixelSample8 = RecordSample<PF_Pixel8>;
  context.subpixelSample16 = RecordSample<PF_Pixel16>;
  context.subpixelSampleFloat = RecordSample<PF_PixelFloat>;
  for (int32_t y = 0; y < output.world.height; ++y) {
    EXPECT_EQ(CallRow<Pixel>(&context, y, Row<Pixel>(output, y)), PF_Err_NONE);
  }
  return output;
}

// Bytes outside the pixels (row padding and the guard) still hold the sentinel.
template <typename Pixel>
bool OnlyPixelsWritten(const TestWorld& w) {
  const size_t pixelBytes = static_cast<size_t>(w.world.width) * sizeof(Pixel);
  const size_t rowBytes = static_cast<size_t>(w.world.rowbytes);
  for (size_t i = 0; i < w.bytes.size(); ++i) {
    const bool inPixels = i < rowBytes * static_cast<size_t>(w.world.height) &&
                          i % rowBytes < pixelBytes;
    if (!inPixels && w.bytes[i] != kSentinel) return false;
  }
  return true;
}

template <typename Pixel>
std::vector<uint8_t> PixelBytes(const TestWorld& w) {
  std::vector<uint8_t> bytes;
  const size_t pixelBytes = static_cast<size_t>(w.world.width) * sizeof(Pixel);
  for (int32_t y = 0; y < w.world.height; ++y) {
    const uint8_t* row = w.bytes.data() + static_cast<size_t>(w.world.rowbytes) * y;
    bytes.insert(bytes.end(), row, row + pixelBytes);
  }
  return bytes;
}

// ------------------------------------------------------------------ MapRunToSource

PointPacket& Positions(PointPacket& p, std::initializer_list<float> xs, float y) {
  int32_t k = 0;
  for (float x : xs) {
    p.x[k] = x;
    p.y[k] = y;
    ++k;
  }
  p.x.count = p.y.count = k;
  return p;
}

// With power-of-two sizes every frame value is exact: output x = 767.5 lies at normalised
// 0.5 and x = 639.5 at 0.25, so with zoom 2 the first must reach the lens model exactly as
// the second does with zoom 1.
TEST(MapRunToSource, ZoomTwoHalvesTheNormalisedPositionBeforeDistort) {
  FrameValues frame(1024, 512);
  frame.Realistic();
  ContextPtr plain = MakeContext(frame);
  frame.values.zoom = 2.0;
  ContextPtr zoomed = MakeContext(frame);

  // Normalised x 0.5 and -0.25, y 0.5; halved: x 0.25 and -0.125, y 0.25.
  PointPacket out, half, a, b;
  MapRunToSource(*zoomed, Positions(out, {767.5f, 383.5f}, 383.5f), a);
  MapRunToSource(*plain, Positions(half, {639.5f, 447.5f}, 319.5f), b);
  ASSERT_EQ(a.x.count, 2);
  for (int32_t k = 0; k < 2; ++k) {
    EXPECT_EQ(a.x[k], b.x[k]) << k;
    EXPECT_EQ(a.y[k], b.y[k]) << k;
  }
  EXPECT_NE(b.x[0], 639.5f);  // the lens did act
}

// "Apply WF2" with the identity lens: source = zoom * n * uw / 2 + uw / 2 - 0.5, with n the
// normalised output position, worked out by hand for a 1024 x 512 frame centred at
// (512, 256), at positions where every step is exact.
TEST(MapRunToSource, ApplyMultipliesTheUndistortedResultByTheZoom) {
  FrameValues frame(1024, 512);
  frame.values.distortMode = 2;
  frame.values.zoom = 2.0;
  ContextPtr context = MakeContext(frame);
  PointPacket out, src;
  // x = 767.5: n = (2/1024)(767.5 + 0.5 - 512) = 0.5 -> 2 * 0.5 * 512 + 511.5 = 1023.5.
  // x = 383.5: n = -0.25 -> -0.5 * 512 + 511.5 = 255.5. y = 319.5: n = 0.25 -> 383.5.
  MapRunToSource(*context, Positions(out, {767.5f, 383.5f}, 319.5f), src);
  EXPECT_EQ(src.x[0], 1023.5f);
  EXPECT_EQ(src.x[1], 255.5f);
  EXPECT_EQ(src.y[0], 383.5f);
  EXPECT_EQ(src.y.count, 2);
}

// A radial lens folds back where 1 + C2 r^2 turns negative; positions there cannot be
// mapped and take the marker in both axes.
TEST(MapRunToSource, UnmappablePositionsTakeTheMarker) {
  FrameValues frame(64, 64);
  frame.values.lensModelChoice = 3;  // "Radial 4th-order": Distort is the closed form
  frame.sliders[kParamRadial4First] = -1.5;
  ContextPtr context = MakeContext(frame);
  PointPacket out, src;
  // The centre maps to itself; the far corner lies well past the fold.
  MapRunToSource(*context, Positions(out, {31.5f, 250.0f}, 31.5f), src);
  EXPECT_EQ(src.x[0], 31.5f);
  EXPECT_EQ(src.y[0], 31.5f);
  EXPECT_EQ(src.x[1], kUnmappedPosition);
  EXPECT_EQ(src.y[1], kUnmappedPosition);
}

// ------------------------------------------------------------------ ToHostFixed

TEST(ToHostFixed, RoundsToNearestEvenAndMarksWhatDoesNotFit) {
  struct Case {
    float position;
    PF_Fixed expected;
  };
  const Case cases[] = {
      {1.5f, 98304},
      {-2.25f, -147456},
      {0.5f / 65536.0f, 0},          // half a unit: ties to even
      {1.5f / 65536.0f, 2},
      {-0.5f / 65536.0f, 0},
      {32767.99609375f, 2147483392},  // the largest float position that fits
      {32768.0f, kMin},
      {-32768.0f, kMin},              // exactly -2^31 fits
      {1.0e9f, kMin},
      {kUnmappedPosition, kMin},
      {std::numeric_limits<float>::quiet_NaN(), kMin},
      {std::numeric_limits<float>::infinity(), kMin},
  };
  for (const Case& c : cases) EXPECT_EQ(ToHostFixed(c.position), c.expected) << c.position;
}

// ------------------------------------------------------------------ row callbacks

template <typename Pixel>
std::vector<uint8_t> RenderPattern(FrameValues frame, int32_t width, int32_t height) {
  MiniHost host;
  TestWorld input = MakeWorld<Pixel>(width, height, 0, 0);
  FillPattern<Pixel>(input);
  ContextPtr context = MakeContext(frame);
  TestWorld output = RenderWithContext<Pixel>(*context, host, input);
  EXPECT_TRUE(OnlyPixelsWritten<Pixel>(output));
  return PixelBytes<Pixel>(output);
}

// The SSE2 paths against the wider ones (samplers and lens lanes), every table-driven
// filter, every depth.
template <typename Pixel>
void ExpectSameOnBothCpuPaths() {
  const uint32_t detected = QueryCpuFeatures();
  for (int32_t filter = 2; filter <= 6; ++filter) {
    FrameValues frame(150, 90);  // 150 = 2 * 64 + 22
    frame.Realistic();
    frame.values.undistortedSize[0] = 158;
    frame.values.undistortedSize[1] = 95;
    frame.values.filterType = filter;
    OverrideCpuFeatures(0);
    const std::vector<uint8_t> sse2 = RenderPattern<Pixel>(frame, 150, 90);
    // SSE4.1 alone, and the widest target the processor has.
    for (uint32_t path : {kCpuFeatureSse41, detected}) {
      OverrideCpuFeatures(path);
      EXPECT_EQ(RenderPattern<Pixel>(frame, 150, 90), sse2) << "filter " << filter << " path " << path;
    }
  }
  OverrideCpuFeatures(detected);
}

TEST(RowCallbacks, BothCpuPathsRenderTheSameBits) {
  ExpectSameOnBothCpuPaths<PF_Pixel8>();
  ExpectSameOnBothCpuPaths<PF_Pixel16>();
  ExpectSameOnBothCpuPaths<PF_PixelFloat>();
}

// "Built-in" hands the host sampler each pixel's position in 16.16 fixed point, in the
// input buffer's grid: with the identity lens and both frames the same, output pixel
// (x, y) samples layer position (x, y), which the input origin moves.
TEST(RowCallbacks, BuiltInPassesFixedPointPositionsInTheInputGrid) {
  FrameValues frame(70, 3);
  frame.values.filterType = 1;
  MiniHost host;
  TestWorld input = MakeWorld<PF_Pixel8>(70, 3, -2, 1);
  ContextPtr context = MakeContext(frame);
  TestWorld output = RenderWithContext<PF_Pixel8>(*context, host, input);
  EXPECT_EQ(gPixelDataCalls, 0);  // the host sampler reads the world itself
  ASSERT_EQ(gSampleCalls.size(), 71U * 4U);  // the extent reaches one pixel past each side
  const PF_LRect r = context->outputRect;
  for (int32_t y = 0; y < 4; ++y) {
    for (int32_t x = 0; x < 71; ++x) {
      const SampleCall& call = gSampleCalls[static_cast<size_t>(y * 71 + x)];
      EXPECT_EQ(call.x, (r.left + x + 2) * 65536);
      EXPECT_EQ(call.y, (r.top + y - 1) * 65536);
    }
  }
  EXPECT_TRUE(OnlyPixelsWritten<PF_Pixel8>(output));
}

TEST(RowCallbacks, BuiltInGivesUnmappablePixelsTheFarOutsidePosition) {
  FrameValues frame(64, 64);
  frame.values.lensModelChoice = 3;
  frame.values.filterType = 1;
  frame.sliders[kParamRadial4First] = -1.5;
  MiniHost host;
  TestWorld input = MakeWorld<PF_PixelFloat>(64, 64, 0, 0);
  ContextPtr context = MakeContext(frame);
  RenderWithContext<PF_PixelFloat>(*context, host, input);
  // Row 0's corner pixel lies past the fold.
  ASSERT_FALSE(gSampleCalls.empty());
  EXPECT_EQ(gSampleCalls[0].x, kMin);
  EXPECT_EQ(gSampleCalls[0].y, kMin);
}

// Row offsets past 2^31 bytes cannot be formed by the samplers; such an input is refused
// before anything is read (its rows here are never touched: the buffer is small).
TEST(RowCallbacks, InputBeyondThirtyTwoBitOffsetsIsRefused) {
  FrameValues frame(16, 3);
  MiniHost host;
  TestWorld input = MakeWorld<PF_Pixel8>(16, 3, 0, 0);
  input.world.rowbytes = 1 << 30;
  ContextPtr context = MakeContext(frame);
  TestWorld output = MakeWorld<PF_Pixel8>(17, 4, 0, 0);
  context->inData = &host.inData;
  context->inputWorld = &input.world;
  context->outputWorld = &output.world;
  EXPECT_EQ(DistortRow8(context.get(), 0, 1, nullptr, Row<PF_Pixel8>(output, 1)),
            PF_Err_OUT_OF_MEMORY);
  EXPECT_TRUE(std::all_of(output.bytes.begin(), output.bytes.end(),
                          [](uint8_t b) { return b == kSentinel; }));
}

TEST(RowCallbacks, WidthZeroWritesNothingButStillAsksForThePixels) {
  for (PF_Err failure : {PF_Err_NONE, PF_Err_BAD_CALLBACK_PARAM}) {
    FrameValues frame(10, 10);
    MiniHost host;
    TestWorld input = MakeWorld<PF_PixelFloat>(10, 10, 0, 0);
    ContextPtr context = MakeContext(frame);
    TestWorld output = MakeWorld<PF_PixelFloat>(0, 1, 0, 0);
    context->inData = &host.inData;
    context->pixelDataSuite = &host.pixelData;
    context->inputWorld = &input.world;
    context->outputWorld = &output.world;
    gPixelDataError = failure;
    EXPECT_EQ(DistortRowFloat(context.get(), 0, 0, nullptr, Row<PF_PixelFloat>(output, 0)),
              failure);
    EXPECT_EQ(gPixelDataCalls, 1);
    EXPECT_TRUE(OnlyPixelsWritten<PF_PixelFloat>(output));
  }
}

// A frame whose positions are not numbers (a NaN lens centre) renders transparent rows
// with every table-driven filter, reading and writing nothing it should not.
TEST(RowCallbacks, PositionsThatAreNotNumbersRenderTransparent) {
  for (int32_t filter = 2; filter <= 6; ++filter) {
    FrameValues frame(40, 8);
    frame.values.filterType = filter;
    frame.values.lensCenter[0] = std::numeric_limits<double>::quiet_NaN();
    MiniHost host;
    TestWorld input = MakeWorld<PF_Pixel8>(40, 8, 0, 0);
    FillPattern<PF_Pixel8>(input);
    ContextPtr context = MakeContext(frame);
    context->outputRect = PF_LRect{0, 0, 40, 8};  // the NaN frame's own extent is empty
    TestWorld output = RenderWithContext<PF_Pixel8>(*context, host, input);
    for (uint8_t b : PixelBytes<PF_Pixel8>(output)) ASSERT_EQ(b, 0) << "filter " << filter;
    EXPECT_TRUE(OnlyPixelsWritten<PF_Pixel8>(output));
  }
}

}  // namespace
