#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>

#include "FakeEffectModule.h"
#include "Harness.h"

using namespace harness;

namespace {

const Depth kDepths[] = {Depth::k8, Depth::k16, Depth::kFloat};

// Channel c (0 alpha .. 3 blue) of layer pixel (x, y), per depth.
double Pattern(Depth d, int32_t x, int32_t y, int32_t c) {
  switch (d) {
    case Depth::k8: return (x * 7 + y * 13 + c * 29 + 1) % 256;
    case Depth::k16: return (x * 977 + y * 131 + c * 7919) % 32769;
    case Depth::kFloat: return double(float(x) * 0.25f + float(y) * 2.0f + float(c) * 0.5f - 1.0f);
  }
  return 0;
}

template <typename Pixel, typename Channel>
void SetPixel(Image& image, int32_t x, int32_t y, const double v[4]) {
  Pixel* p = PixelAt<Pixel>(image, x, y);
  p->alpha = Channel(v[0]);
  p->red = Channel(v[1]);
  p->green = Channel(v[2]);
  p->blue = Channel(v[3]);
}

Image MakeLayer(int32_t w, int32_t h, Depth d) {
  Image image = MakeImage(w, h, d);
  for (int32_t y = 0; y < h; ++y) {
    for (int32_t x = 0; x < w; ++x) {
      const double v[4] = {Pattern(d, x, y, 0), Pattern(d, x, y, 1), Pattern(d, x, y, 2),
                           Pattern(d, x, y, 3)};
      if (d == Depth::k8) SetPixel<PF_Pixel8, A_u_char>(image, x, y, v);
      if (d == Depth::k16) SetPixel<PF_Pixel16, A_u_short>(image, x, y, v);
      if (d == Depth::kFloat) SetPixel<PF_PixelFloat, float>(image, x, y, v);
    }
  }
  return image;
}

// Channel c of output pixel (x, y), widened to double.
double Channel(const Image& image, int32_t x, int32_t y, int32_t c) {
  switch (image.depth) {
    case Depth::k8: {
      const PF_Pixel8* p = PixelAt<PF_Pixel8>(image, x, y);
      const A_u_char v[4] = {p->alpha, p->red, p->green, p->blue};
      return v[c];
    }
    case Depth::k16: {
      const PF_Pixel16* p = PixelAt<PF_Pixel16>(image, x, y);
      const A_u_short v[4] = {p->alpha, p->red, p->green, p->blue};
      return v[c];
    }
    case Depth::kFloat: {
      const PF_PixelFloat* p = PixelAt<PF_PixelFloat>(image, x, y);
      const float v[4] = {p->alpha, p->red, p->green, p->blue};
      return double(v[c]);
    }
  }
  return 0;
}

double LayerOrZero(Depth d, int32_t w, int32_t h, int32_t x, int32_t y, int32_t c) {
  return x >= 0 && y >= 0 && x < w && y < h ? Pattern(d, x, y, c) : 0.0;
}

struct Fake {
  std::unique_ptr<EffectHost> host;
  std::unique_ptr<EffectInstance> instance;
};

Fake LoadFake(int32_t threads = 0) {
  Fake f;
  std::string error;
  f.host = EffectHost::Load(FakeModulePath(), error, HostOptions{threads});
  EXPECT_TRUE(f.host != nullptr) << error;
  if (f.host != nullptr) {
    f.host->GlobalSetup();
    f.host->ParamsSetup();
    f.instance.reset(new EffectInstance(*f.host));
  }
  return f;
}

TEST(HarnessRender, CopiesThroughPaddedWorldsInEveryDepth) {
  Fake f = LoadFake();
  ASSERT_TRUE(f.host);
  ASSERT_TRUE(f.instance->SetValue(2, {2}));  // grow by 2
  for (Depth d : kDepths) {
    const Image layer = MakeLayer(13, 7, d);
    const RenderResult r = f.instance->Render({&layer, 0});
    ASSERT_EQ(r.err, 0);
    EXPECT_TRUE(r.preRender.Balanced());
    EXPECT_TRUE(r.render.Balanced());
    EXPECT_EQ(r.disposals, 1);
    EXPECT_TRUE(r.outputPaddingIntact);
    EXPECT_TRUE(r.inputIntact);
    EXPECT_EQ(r.iterateCalls, 1);
    EXPECT_EQ(r.rowsIterated, 11);
    EXPECT_EQ(r.callbackCalls, 11);
    ASSERT_EQ(r.checkouts.size(), 2u);
    EXPECT_EQ(r.checkouts[0].result.ref_width, 13);
    EXPECT_EQ(r.checkouts[0].result.ref_height, 7);
    EXPECT_EQ(r.checkouts[0].result.result_rect.right, 0);
    EXPECT_EQ(r.checkouts[1].result.result_rect.right, 13);
    EXPECT_EQ(r.checkouts[1].result.max_result_rect.bottom, 7);
    ASSERT_EQ(r.output.width, 17);
    ASSERT_EQ(r.output.height, 11);
    EXPECT_EQ(r.output.originX, -2);
    EXPECT_EQ(r.output.originY, -2);
    EXPECT_EQ(r.output.depth, d);
    for (int32_t y = 0; y < 11; ++y) {
      for (int32_t x = 0; x < 17; ++x) {
        for (int32_t c = 0; c < 4; ++c) {
          ASSERT_EQ(Channel(r.output, x, y, c), LayerOrZero(d, 13, 7, x - 2, y - 2, c))
              << int(d) << " " << x << "," << y << "," << c;
        }
      }
    }
  }
}

TEST(HarnessRender, TheRequestLimitsTheOutputWorld) {
  Fake f = LoadFake();
  ASSERT_TRUE(f.host);
  ASSERT_TRUE(f.instance->SetValue(2, {4}));
  const Image layer = MakeLayer(10, 10, Depth::k8);
  RenderRequest request{&layer, 0};
  request.requestRect = PF_LRect{-1, 3, 5, 30};
  const RenderResult r = f.instance->Render(request);
  ASSERT_EQ(r.err, 0);
  EXPECT_EQ(r.output.originX, -1);
  EXPECT_EQ(r.output.originY, 3);
  EXPECT_EQ(r.output.width, 6);
  EXPECT_EQ(r.output.height, 11);
  EXPECT_EQ(r.preRenderOutput.max_result_rect.right, 14);
  EXPECT_EQ(Channel(r.output, 1, 0, 2), Pattern(Depth::k8, 0, 3, 2));

  // An empty request: a world without pixels, still rendered and disposed of.
  request.requestRect = PF_LRect{5, 0, 5, 10};
  const RenderResult empty = f.instance->Render(request);
  EXPECT_EQ(empty.err, 0);
  EXPECT_TRUE(empty.outputCheckedOut);
  EXPECT_EQ(empty.output.width, 0);
  EXPECT_EQ(empty.output.height, 10);
  EXPECT_EQ(empty.iterateCalls, 1);
  EXPECT_EQ(empty.rowsIterated, 0);  // the area holds no pixel
  EXPECT_EQ(empty.disposals, 1);
}

TEST(HarnessRender, BuiltInSamplersAreBilinearWithTransparentEdges) {
  Fake f = LoadFake();
  ASSERT_TRUE(f.host);
  ASSERT_TRUE(f.instance->SetValue(1, {2}));  // sample half a pixel right
  ASSERT_TRUE(f.instance->SetValue(2, {1}));
  for (Depth d : kDepths) {
    const Image layer = MakeLayer(6, 4, d);
    const RenderResult r = f.instance->Render({&layer, 0});
    ASSERT_EQ(r.err, 0);
    EXPECT_EQ(r.render.Calls(d == Depth::k8    ? "subpixel_sample"
                             : d == Depth::k16 ? "subpixel_sample16"
                                               : "subpixel_sample_float"),
              8 * 6);
    for (int32_t y = 0; y < 6; ++y) {
      for (int32_t x = 0; x < 8; ++x) {
        for (int32_t c = 0; c < 4; ++c) {
          const double a = LayerOrZero(d, 6, 4, x - 1, y - 1, c);
          const double b = LayerOrZero(d, 6, 4, x, y - 1, c);
          const double expected =
              d == Depth::kFloat ? double(float(a) * 0.5f + float(b) * 0.5f)
                                 : double((int64_t(a) + int64_t(b) + 1) / 2);
          ASSERT_EQ(Channel(r.output, x, y, c), expected) << int(d) << " " << x << "," << y;
        }
      }
    }
  }
}

TEST(HarnessRender, RefusesWorldsOverTheHostsLimit) {
  Fake f = LoadFake();
  ASSERT_TRUE(f.host);
  const Image layer = MakeLayer(100, 1, Depth::k8);
  ASSERT_TRUE(f.instance->SetValue(2, {14950}));  // 29,999 pixels wide: allowed
  RenderRequest request{&layer, 0};
  request.requestRect = PF_LRect{-20000, 0, 20000, 1};
  RenderResult r = f.instance->Render(request);
  EXPECT_EQ(r.err, 0);
  EXPECT_EQ(r.output.width, 30000);
  ASSERT_TRUE(f.instance->SetValue(2, {14951}));
  r = f.instance->Render(request);
  EXPECT_EQ(r.err, PF_Err_OUT_OF_MEMORY);
  EXPECT_FALSE(r.outputCheckedOut);
  EXPECT_EQ(r.disposals, 1);
  EXPECT_TRUE(r.render.Balanced());
}

TEST(HarnessRender, FaultsReachEveryCallOfAFrame) {
  Fake f = LoadFake();
  ASSERT_TRUE(f.host);
  ASSERT_TRUE(f.instance->SetValue(2, {1}));
  const Image layer = MakeLayer(9, 5, Depth::k8);
  const struct {
    const char* call;
    int32_t occurrence;
    PF_Err injected, result;
    int32_t disposals;
    bool rendered;
  } cases[] = {
      {"checkout_param", 1, 11, 11, 0, false},
      {"checkin_param", 2, 12, 12, 0, false},
      {"checkout_layer", 1, 13, 13, 1, false},
      {"checkout_layer", 2, 14, 14, 1, false},
      {"checkout_layer_pixels", 1, 15, 15, 1, true},
      {"checkout_output", 1, 16, 16, 1, true},
      {"AcquireSuite:PF World Suite", 1, 17, 516, 1, true},
      {"AcquireSuite:PF Sampling16 Suite", 1, 17, 516, 1, true},
      {"PF_GetPixelFormat", 1, 18, 18, 1, true},
      {"AcquireSuite:PF Iterate8 Suite", 1, 17, 516, 1, true},
      {"iterate8", 1, 19, 19, 1, true},
      {"get_pixel_data8", 4, 20, 20, 1, true},
      {"ReleaseSuite:PF World Suite", 1, 21, 0, 1, true},
  };
  for (const auto& c : cases) {
    RenderRequest request{&layer, 0};
    request.options.faults = {{c.call, c.occurrence, c.injected}};
    const RenderResult r = f.instance->Render(request);
    EXPECT_EQ(r.err, c.result) << c.call;
    EXPECT_EQ(r.disposals, c.disposals) << c.call;
    EXPECT_EQ(r.render.sent, c.rendered) << c.call;
    EXPECT_TRUE(r.preRender.Balanced()) << c.call;
    EXPECT_TRUE(r.render.Balanced()) << c.call;
    EXPECT_TRUE(r.outputPaddingIntact) << c.call;
    EXPECT_TRUE(r.inputIntact) << c.call;
  }
}

TEST(HarnessRender, TheFirstFailingRowDecidesWhateverTheThreads) {
  Fake f = LoadFake();
  ASSERT_TRUE(f.host);
  ASSERT_TRUE(f.instance->SetValue(1, {3}));  // rows 5 and below fail with 42 + row
  const Image layer = MakeLayer(4, 40, Depth::kFloat);
  for (int32_t threads : {1, 2, 16}) {
    RenderRequest request{&layer, 0};
    request.options.iterateThreads = threads;
    const RenderResult r = f.instance->Render(request);
    EXPECT_EQ(r.err, 47) << threads;
    EXPECT_GE(r.rowsIterated, 5) << threads;
    for (int32_t y = 0; y < 5; ++y) {
      EXPECT_EQ(Channel(r.output, 3, y, 1), Pattern(Depth::kFloat, 3, y, 1)) << threads;
    }
  }
}

TEST(HarnessRender, AbortStopsTheIteration) {
  Fake f = LoadFake();
  ASSERT_TRUE(f.host);
  const Image layer = MakeLayer(4, 20, Depth::k16);
  RenderRequest request{&layer, 0};
  request.options.iterateThreads = 1;
  request.options.abortAfterRows = 3;
  RenderResult r = f.instance->Render(request);
  EXPECT_EQ(r.err, PF_Interrupt_CANCEL);
  EXPECT_EQ(r.rowsIterated, 3);
  EXPECT_EQ(r.disposals, 1);
  std::atomic<bool> cancel{true};
  request.options.abortAfterRows = -1;
  request.options.abort = &cancel;
  r = f.instance->Render(request);
  EXPECT_EQ(r.err, PF_Interrupt_CANCEL);
  EXPECT_EQ(r.rowsIterated, 0);
}

TEST(HarnessRender, FramesRenderAtOnceOnSeveralThreads) {
  Fake f = LoadFake(16);
  ASSERT_TRUE(f.host);
  ASSERT_TRUE(f.instance->SetKeyframe(2, 0, {0}));
  ASSERT_TRUE(f.instance->SetKeyframe(2, 10, {10}));
  ASSERT_TRUE(f.instance->SetValue(1, {2}));
  const Image layer = MakeLayer(31, 17, Depth::k16);
  std::vector<RenderResult> serial;
  for (A_long t = 0; t < 8; ++t) {
    RenderRequest request{&layer, t};
    request.options.iterateThreads = 1;
    serial.push_back(f.instance->Render(request));
    ASSERT_EQ(serial.back().err, 0);
    ASSERT_EQ(serial.back().output.width, 31 + 2 * t);
  }
  std::vector<RenderResult> parallel(8);
  std::vector<std::thread> threads;
  for (A_long t = 0; t < 8; ++t) {
    threads.emplace_back([&, t] { parallel[size_t(t)] = f.instance->Render({&layer, t}); });
  }
  for (std::thread& t : threads) t.join();
  for (size_t t = 0; t < 8; ++t) {
    EXPECT_EQ(parallel[t].err, 0);
    EXPECT_EQ(parallel[t].output.pixels, serial[t].output.pixels) << t;
    EXPECT_TRUE(parallel[t].render.Balanced());
  }
  EXPECT_EQ(f.host->Totals().framesRendered.load(), 16);
  EXPECT_EQ(f.host->Totals().preRenderDataDisposed.load(), 16);
  EXPECT_EQ(f.host->Totals().suitesAcquired.load(), f.host->Totals().suitesReleased.load());
}

}  // namespace
