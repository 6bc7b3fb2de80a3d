// The sampling suites, which serve the effect's "Built-in" filter. This host's samplers:
//  - positions are 16.16 fixed point in the pixel grid of params->src, the centre of
//    pixel (i, j) lying at (i, j) exactly;
//  - nearest takes the pixel whose centre is nearest (halves go right and down);
//  - subpixel (and area, which this host treats alike) is bilinear over the four pixels
//    around the position, weighted by the 16-bit fractions f and 65536 - f;
//  - pixels outside the world count as transparent black (the host's zero edge
//    behaviour), so a position far outside gives 0 in every channel;
//  - 8- and 16-bit results are the exact weighted sums rounded to nearest (halves up);
//    float results are ((p00 (1-fx) + p10 fx) (1-fy) + (p01 (1-fx) + p11 fx) fy) in single
//    precision, evaluated in that order.
#include <cstdint>
#include <type_traits>

#include "HostScope.h"
#include "HostSuiteTables.h"

namespace harness {
namespace {

int64_t FloorDiv65536(int64_t v) {
  int64_t q = v / 65536;
  if (v % 65536 < 0) --q;
  return q;
}

template <typename Pixel>
const Pixel* PixelOrNull(const PF_EffectWorld& w, int64_t x, int64_t y) {
  if (x < 0 || y < 0 || x >= w.width || y >= w.height) return nullptr;
  return reinterpret_cast<const Pixel*>(reinterpret_cast<const uint8_t*>(w.data) +
                                        size_t(y) * size_t(w.rowbytes) + size_t(x) * sizeof(Pixel));
}

// Checks the call and finds the world to sample; null when the call is unusable. Records
// the call first when asked to, so that a call with the wrong reference shows too.
template <Depth kDepth>
const PF_EffectWorld* SourceFor(PF_ProgPtr effect_ref, PF_Fixed x, PF_Fixed y,
                                const PF_SampPB* params, const void* dst, int32_t call,
                                PF_Err& err) {
  CallScope* scope = CurrentScope();
  if (scope != nullptr && scope->options.recordSamples) {
    SampleCall record;
    record.call = CallName(call);
    record.effectRef = effect_ref;
    record.x = x;
    record.y = y;
    if (params != nullptr) record.params = *params;
    std::lock_guard<std::mutex> hold(scope->logLock);
    scope->samples.push_back(record);
  }
  if (scope == nullptr || ScopeOf(effect_ref) != scope) {
    err = PF_Err_BAD_CALLBACK_PARAM;
    return nullptr;
  }
  err = scope->Count(call);
  if (err != PF_Err_NONE) return nullptr;
  if (params == nullptr || params->src == nullptr || dst == nullptr) {
    err = PF_Err_BAD_CALLBACK_PARAM;
    return nullptr;
  }
  const World* world = scope->FindWorld(params->src);
  if (world == nullptr || world->depth != kDepth) {
    err = PF_Err_BAD_CALLBACK_PARAM;
    return nullptr;
  }
  return &world->world;
}

template <typename Pixel, Depth kDepth, int32_t kCall>
PF_Err Nearest(PF_ProgPtr effect_ref, PF_Fixed x, PF_Fixed y, const PF_SampPB* params, Pixel* dst) {
  PF_Err err = PF_Err_NONE;
  const PF_EffectWorld* w = SourceFor<kDepth>(effect_ref, x, y, params, dst, kCall, err);
  if (w == nullptr) return err;
  const Pixel* p =
      PixelOrNull<Pixel>(*w, FloorDiv65536(int64_t(x) + 32768), FloorDiv65536(int64_t(y) + 32768));
  *dst = p != nullptr ? *p : Pixel{};
  return PF_Err_NONE;
}

template <typename Channel>
Channel Blend(int64_t c00, int64_t c10, int64_t c01, int64_t c11, int64_t fx, int64_t fy) {
  const int64_t gx = 65536 - fx, gy = 65536 - fy;
  const int64_t sum = (c00 * gx + c10 * fx) * gy + (c01 * gx + c11 * fx) * fy;
  return Channel((sum + (int64_t(1) << 31)) >> 32);
}

inline float Blend(float c00, float c10, float c01, float c11, float fx, float fy) {
  return (c00 * (1.0f - fx) + c10 * fx) * (1.0f - fy) + (c01 * (1.0f - fx) + c11 * fx) * fy;
}

template <typename Pixel>
Pixel Bilinear(const PF_EffectWorld& w, PF_Fixed x, PF_Fixed y) {
  const int64_t xi = FloorDiv65536(x), yi = FloorDiv65536(y);
  const int64_t fx = int64_t(x) - xi * 65536, fy = int64_t(y) - yi * 65536;
  const Pixel zero{};
  const Pixel* p00 = PixelOrNull<Pixel>(w, xi, yi);
  const Pixel* p10 = PixelOrNull<Pixel>(w, xi + 1, yi);
  const Pixel* p01 = PixelOrNull<Pixel>(w, xi, yi + 1);
  const Pixel* p11 = PixelOrNull<Pixel>(w, xi + 1, yi + 1);
  const Pixel& a = p00 != nullptr ? *p00 : zero;
  const Pixel& b = p10 != nullptr ? *p10 : zero;
  const Pixel& c = p01 != nullptr ? *p01 : zero;
  const Pixel& d = p11 != nullptr ? *p11 : zero;
  Pixel out;
  using Channel = decltype(out.alpha);
  if constexpr (std::is_floating_point<Channel>::value) {
    const float wx = float(fx) / 65536.0f, wy = float(fy) / 65536.0f;
    out.alpha = Blend(a.alpha, b.alpha, c.alpha, d.alpha, wx, wy);
    out.red = Blend(a.red, b.red, c.red, d.red, wx, wy);
    out.green = Blend(a.green, b.green, c.green, d.green, wx, wy);
    out.blue = Blend(a.blue, b.blue, c.blue, d.blue, wx, wy);
  } else {
    out.alpha = Blend<Channel>(a.alpha, b.alpha, c.alpha, d.alpha, fx, fy);
    out.red = Blend<Channel>(a.red, b.red, c.red, d.red, fx, fy);
    out.green = Blend<Channel>(a.green, b.green, c.green, d.green, fx, fy);
    out.blue = Blend<Channel>(a.blue, b.blue, c.blue, d.blue, fx, fy);
  }
  return out;
}

template <typename Pixel, Depth kDepth, int32_t kCall>
PF_Err Subpixel(PF_ProgPtr effect_ref, PF_Fixed x, PF_Fixed y, const PF_SampPB* params,
                Pixel* dst) {
  PF_Err err = PF_Err_NONE;
  const PF_EffectWorld* w = SourceFor<kDepth>(effect_ref, x, y, params, dst, kCall, err);
  if (w == nullptr) return err;
  *dst = Bilinear<Pixel>(*w, x, y);
  return PF_Err_NONE;
}

}  // namespace

const PF_Sampling8Suite1& Sampling8Suite() {
  static const PF_Sampling8Suite1 suite = {Nearest<PF_Pixel8, Depth::k8, kCallNnSample8>,
                                           Subpixel<PF_Pixel8, Depth::k8, kCallSubpixelSample8>,
                                           Subpixel<PF_Pixel8, Depth::k8, kCallAreaSample8>};
  return suite;
}

const PF_Sampling16Suite1& Sampling16Suite() {
  static const PF_Sampling16Suite1 suite = {Nearest<PF_Pixel16, Depth::k16, kCallNnSample16>,
                                            Subpixel<PF_Pixel16, Depth::k16, kCallSubpixelSample16>,
                                            Subpixel<PF_Pixel16, Depth::k16, kCallAreaSample16>};
  return suite;
}

const PF_SamplingFloatSuite1& SamplingFloatSuite() {
  static const PF_SamplingFloatSuite1 suite = {
      Nearest<PF_PixelFloat, Depth::kFloat, kCallNnSampleFloat>,
      Subpixel<PF_PixelFloat, Depth::kFloat, kCallSubpixelSampleFloat>,
      Subpixel<PF_PixelFloat, Depth::kFloat, kCallAreaSampleFloat>};
  return suite;
}

}  // namespace harness
