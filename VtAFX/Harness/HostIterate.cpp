// The iterate suites: the pixel function runs over the rows of an area on the scope's
// row pool. A row is one unit of work, so with a one-column area (as the effect uses it)
// each pixel-function call is a whole row on some worker thread.
#include <algorithm>
#include <atomic>
#include <vector>

#include "HostScope.h"
#include "HostSuiteTables.h"
#include "RowPool.h"

namespace harness {
namespace {

template <typename Pixel>
Pixel* PixelIn(const PF_EffectWorld& w, A_long x, A_long y) {
  return reinterpret_cast<Pixel*>(reinterpret_cast<uint8_t*>(w.data) +
                                  size_t(y) * size_t(w.rowbytes) + size_t(x) * sizeof(Pixel));
}

// The first error in row order wins: the pool runs every row above a failed one and, once it
// failed, starts none below it, so the result does not depend on the number of threads. An abort
// request stops the iteration between rows with PF_Interrupt_CANCEL, unless a row failed first.
template <typename Pixel, Depth kDepth, int32_t kCall>
PF_Err Iterate(PF_InData* in_data, A_long progress_base, A_long progress_final, PF_EffectWorld* src,
               const PF_Rect* area, void* refcon,
               PF_Err (*pix_fn)(void*, A_long, A_long, Pixel*, Pixel*), PF_EffectWorld* dst) {
  CallScope* scope = CurrentScope();
  if (scope == nullptr || in_data != &scope->inData) return PF_Err_BAD_CALLBACK_PARAM;
  scope->iterateCalls.fetch_add(1);
  {
    IterateCall call;
    call.call = CallName(kCall);
    call.progressBase = progress_base;
    call.progressFinal = progress_final;
    call.withSource = src != nullptr;
    call.withArea = area != nullptr;
    if (area != nullptr) call.area = *area;
    call.refcon = refcon;
    call.intoOutput = scope->output != nullptr && dst == &scope->output->world;
    std::lock_guard<std::mutex> hold(scope->logLock);
    scope->iterations.push_back(call);
  }
  if (PF_Err err = scope->Count(kCall)) return err;
  World* out = scope->FindWorld(dst);
  World* in = src != nullptr ? scope->FindWorld(src) : nullptr;
  if (pix_fn == nullptr || out == nullptr || out->depth != kDepth) return PF_Err_BAD_CALLBACK_PARAM;
  if (src != nullptr && (in == nullptr || in->depth != kDepth)) return PF_Err_BAD_CALLBACK_PARAM;

  const PF_EffectWorld& o = out->world;
  PF_Rect r = area != nullptr ? *area : PF_Rect{0, 0, o.width, o.height};
  r.left = std::max<A_long>(r.left, 0);
  r.top = std::max<A_long>(r.top, 0);
  r.right = std::min<A_long>(r.right, o.width);
  r.bottom = std::min<A_long>(r.bottom, o.height);
  if (r.right <= r.left || r.bottom <= r.top) return PF_Err_NONE;

  const int32_t rows = r.bottom - r.top;
  std::vector<PF_Err> rowErrors(size_t(rows), PF_Err_NONE);
  std::atomic<bool> cancelled{false};
  scope->pool->Run(rows, [&](int32_t i) {
    ScopeBinding binding(scope);
    if (scope->AbortRequested()) {
      cancelled.store(true);
      return false;
    }
    const A_long y = r.top + i;
    for (A_long x = r.left; x < r.right; ++x) {
      Pixel* inPixel = nullptr;
      if (in != nullptr && x < in->world.width && y < in->world.height) {
        inPixel = PixelIn<Pixel>(in->world, x, y);
      }
      scope->callbackCalls.fetch_add(1, std::memory_order_relaxed);
      const PF_Err err = pix_fn(refcon, x, y, inPixel, PixelIn<Pixel>(o, x, y));
      if (err != PF_Err_NONE) {
        rowErrors[size_t(i)] = err;
        return false;
      }
    }
    scope->rowsIterated.fetch_add(1, std::memory_order_relaxed);
    return true;
  });
  for (PF_Err err : rowErrors) {
    if (err != PF_Err_NONE) return err;
  }
  return cancelled.load() ? PF_Err(PF_Interrupt_CANCEL) : PF_Err(PF_Err_NONE);
}

// The origin and look-up-table forms are not offered by this host.
template <typename Fn>
PF_Err NotOffered(PF_InData*, A_long, A_long, PF_EffectWorld*, const PF_Rect*, const PF_Point*,
                  void*, Fn, PF_EffectWorld*) {
  return PF_Err_INVALID_CALLBACK;
}

}  // namespace

const PF_Iterate8Suite1& Iterate8Suite() {
  static const PF_Iterate8Suite1 suite = {Iterate<PF_Pixel8, Depth::k8, kCallIterate8>,
                                          NotOffered<PF_IteratePixel8Func>, nullptr,
                                          NotOffered<PF_IteratePixel8Func>, nullptr};
  return suite;
}

const PF_Iterate16Suite1& Iterate16Suite() {
  static const PF_Iterate16Suite1 suite = {Iterate<PF_Pixel16, Depth::k16, kCallIterate16>,
                                           NotOffered<PF_IteratePixel16Func>,
                                           NotOffered<PF_IteratePixel16Func>};
  return suite;
}

const PF_IterateFloatSuite1& IterateFloatSuite() {
  static const PF_IterateFloatSuite1 suite = {
      Iterate<PF_PixelFloat, Depth::kFloat, kCallIterateFloat>,
      NotOffered<PF_IteratePixelFloatFunc>, NotOffered<PF_IteratePixelFloatFunc>};
  return suite;
}

}  // namespace harness
