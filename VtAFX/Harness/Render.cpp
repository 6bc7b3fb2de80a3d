// One frame as the host renders it: smart pre-render, smart render when pre-render
// succeeded, then the disposal of the pre-render data through the effect's own function.
#include <atomic>
#include <cstring>

#include "HostScope.h"
#include "RowPool.h"

namespace harness {
namespace {

short BitDepth(Depth depth) { return short(depth); }

// True when `world` still holds exactly the part of `layer` it was filled from. Layer
// checkouts lie inside the layer, so every world pixel has its layer pixel.
bool MatchesLayer(const World& world, const Image& layer, RowPool* pool) {
  const PF_EffectWorld& w = world.world;
  if (w.origin_x < 0 || w.origin_y < 0 || int64_t(w.origin_x) + w.width > layer.width ||
      int64_t(w.origin_y) + w.height > layer.height) {
    return false;
  }
  const size_t pixel = size_t(PixelBytes(world.depth));
  const size_t row = size_t(w.width) * pixel;
  if (row == 0) return true;
  std::atomic<bool> same{true};
  ShareRows(pool, w.height, [&](int32_t y) {
    const uint8_t* from =
        layer.pixels.data() +
        (size_t(y + w.origin_y) * size_t(layer.width) + size_t(w.origin_x)) * pixel;
    if (std::memcmp(world.bytes.get() + size_t(y) * size_t(w.rowbytes), from, row) != 0) {
      same.store(false, std::memory_order_relaxed);
    }
  });
  return same.load();
}

}  // namespace

RenderResult EffectInstance::Render(const RenderRequest& request) const {
  RenderResult result;
  Render(request, result);
  return result;
}

void EffectInstance::Render(const RenderRequest& request, RenderResult& result) const {
  if (request.layer == nullptr) throw std::invalid_argument("Render needs a layer");
  const Image& layer = *request.layer;
  Image storage = std::move(result.output);
  result = RenderResult{};
  CallScope scope(*host_, request.options);
  scope.instance = this;
  scope.layer = &layer;
  scope.layerWidth = layer.width;
  scope.layerHeight = layer.height;
  scope.rowPadding = request.rowPadding;
  scope.outputFill = request.outputFill;
  FillInData(scope, request.time, timeStep_, timeScale_);

  PF_PreRenderInput preIn{};
  preIn.output_request.rect = request.requestRect;
  preIn.output_request.channel_mask = PF_ChannelMask_ARGB;
  preIn.bitdepth = BitDepth(layer.depth);
  PF_PreRenderOutput preOut{};
  PF_PreRenderCallbacks preCb = PreRenderCallbacks();
  PF_PreRenderExtra preExtra{&preIn, &preOut, &preCb};
  result.preRender = host_->Run(PF_Cmd_SMART_PRE_RENDER, scope, nullptr, &preExtra);
  result.preRenderOutput = preOut;
  result.checkouts = scope.layerCheckouts;
  result.err = result.preRender.result;
  if (preOut.delete_pre_render_data_func != nullptr) {
    host_->totals_.preRenderDataHanded.fetch_add(1);
  }

  if (result.err == PF_Err_NONE) {
    scope.outputRect = preOut.result_rect;
    std::memset(&scope.outData, 0, sizeof scope.outData);
    PF_SmartRenderInput renderIn{};
    renderIn.output_request = preIn.output_request;
    renderIn.bitdepth = preIn.bitdepth;
    renderIn.pre_render_data = preOut.pre_render_data;
    PF_SmartRenderCallbacks renderCb = SmartRenderCallbacks();
    PF_SmartRenderExtra renderExtra{&renderIn, &renderCb};
    result.render = host_->Run(PF_Cmd_SMART_RENDER, scope, nullptr, &renderExtra);
    result.err = result.render.result;
  }

  if (preOut.delete_pre_render_data_func != nullptr) {
    ScopeBinding binding(&scope);
    preOut.delete_pre_render_data_func(preOut.pre_render_data);
    result.disposals = 1;
    host_->totals_.preRenderDataDisposed.fetch_add(1);
  }

  if (scope.output != nullptr) {
    result.outputCheckedOut = true;
    result.output = std::move(storage);
    CopyWorldToImage(*scope.output, result.output, scope.pool);
    result.outputPaddingIntact = PaddingIntact(*scope.output, PaddingByte());
  }
  for (const auto& handed : scope.layerPixels) {
    if (!MatchesLayer(*handed.second, layer, scope.pool) ||
        !PaddingIntact(*handed.second, PaddingByte())) {
      result.inputIntact = false;
    }
  }
  result.iterateCalls = scope.iterateCalls.load();
  result.rowsIterated = scope.rowsIterated.load();
  result.callbackCalls = scope.callbackCalls.load();
  result.iterations = scope.iterations;
  result.effectRef = scope.inData.effect_ref;
  result.samples = std::move(scope.samples);
  host_->totals_.framesRendered.fetch_add(1);
}

}  // namespace harness
