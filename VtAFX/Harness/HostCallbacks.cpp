// The host's callbacks: parameters (in_data->inter), the utility table with its ANSI block,
// the layer and output checkouts of smart pre-render and smart render, and the effect
// suites other than iterate and sampling. Every call is counted and can be made to fail
// (CallOptions::faults); a failing call changes nothing.
#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <limits>

#include "HostScope.h"
#include "HostSine.h"
#include "HostSuiteTables.h"

namespace harness {
namespace {

// The scope behind an effect_ref; null when the reference is not the running command's.
CallScope* ScopeFor(PF_ProgPtr effect_ref) {
  CallScope* scope = CurrentScope();
  return scope != nullptr && ScopeOf(effect_ref) == scope ? scope : nullptr;
}

// ------------------------------------------------------------------ parameters

PF_Err CheckoutParam(PF_ProgPtr effect_ref, PF_ParamIndex index, A_long what_time, A_long time_step,
                     A_u_long time_scale, PF_ParamDef* param) {
  CallScope* scope = ScopeFor(effect_ref);
  if (scope == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
  if (PF_Err err = scope->Count(kCallCheckoutParam)) return err;
  if (param == nullptr || time_scale == 0 || time_step < 0) return PF_Err_BAD_CALLBACK_PARAM;
  if (index < 0 || size_t(index) >= scope->host.Params().size()) return PF_Err_INVALID_INDEX;
  const ParamValue value = scope->FillCheckout(index, what_time, time_scale, *param);
  scope->checkedOut.push_back({param, value});
  scope->paramCheckouts.fetch_add(1);
  return PF_Err_NONE;
}

// A failing check-in still ends the checkout: the effect did its part.
PF_Err CheckinParam(PF_ProgPtr effect_ref, PF_ParamDef* param) {
  CallScope* scope = ScopeFor(effect_ref);
  if (scope == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
  const PF_Err err = scope->Count(kCallCheckinParam);
  auto& list = scope->checkedOut;
  auto it = std::find_if(list.begin(), list.end(),
                         [&](const CheckedOutParam& c) { return c.def == param; });
  if (it != list.end()) {
    list.erase(it);
    scope->paramCheckins.fetch_add(1);
  } else {
    scope->strayCheckins.fetch_add(1);
  }
  return err;
}

PF_Err AddParam(PF_ProgPtr effect_ref, PF_ParamIndex index, PF_ParamDefPtr def) {
  CallScope* scope = ScopeFor(effect_ref);
  if (scope == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
  if (PF_Err err = scope->Count(kCallAddParam)) return err;
  std::vector<ParamDecl>& params = scope->DeclaredParams();
  if (scope->cmd != PF_Cmd_PARAMS_SETUP || def == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
  if (index != -1 && size_t(index) != params.size()) return PF_Err_INVALID_INDEX;
  if (std::memchr(def->name, 0, sizeof def->name) == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
  ParamDecl decl;
  decl.def = *def;
  if (def->param_type == PF_Param_POPUP) {
    if (def->u.pd.u.namesptr == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
    decl.popupNames = def->u.pd.u.namesptr;
  }
  params.push_back(std::move(decl));
  return PF_Err_NONE;
}

PF_Err Abort(PF_ProgPtr effect_ref) {
  CallScope* scope = ScopeFor(effect_ref);
  if (scope == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
  if (PF_Err err = scope->Count(kCallAbort)) return err;
  return scope->AbortRequested() ? PF_Err(PF_Interrupt_CANCEL) : PF_Err(PF_Err_NONE);
}

PF_Err Progress(PF_ProgPtr effect_ref, A_long, A_long) {
  CallScope* scope = ScopeFor(effect_ref);
  if (scope == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
  if (PF_Err err = scope->Count(kCallProgress)) return err;
  return scope->AbortRequested() ? PF_Err(PF_Interrupt_CANCEL) : PF_Err(PF_Err_NONE);
}

// ------------------------------------------------------------------ ANSI

bool Fails(int32_t call) {
  CallScope* scope = CurrentScope();
  return scope != nullptr && scope->Count(call) != PF_Err_NONE;
}

// The host's sprintf knows no buffer size; when the buffer is the command's return_msg we
// know it and keep the text inside it.
int AnsiSprintf(A_char* buffer, const A_char* format, ...) {
  if (Fails(kCallSprintf) || buffer == nullptr || format == nullptr) return -1;
  CallScope* scope = CurrentScope();
  va_list args;
  va_start(args, format);
  int n;
  if (scope != nullptr && buffer == scope->outData.return_msg) {
    n = std::vsnprintf(buffer, sizeof scope->outData.return_msg, format, args);
  } else {
    n = std::vsprintf(buffer, format, args);
  }
  va_end(args);
  return n;
}

A_char* AnsiStrcpy(A_char* dest, const A_char* src) {
  if (Fails(kCallStrcpy) || dest == nullptr || src == nullptr) return dest;
  return std::strcpy(dest, src);
}

A_FpLong AnsiSin(A_FpLong x) {
  if (Fails(kCallSin)) return std::numeric_limits<double>::quiet_NaN();
  return HostSine(x);
}

A_FpLong AnsiAtan(A_FpLong x) { return std::atan(x); }
A_FpLong AnsiAtan2(A_FpLong y, A_FpLong x) { return std::atan2(y, x); }
A_FpLong AnsiCeil(A_FpLong x) { return std::ceil(x); }
A_FpLong AnsiCos(A_FpLong x) { return std::cos(x); }
A_FpLong AnsiExp(A_FpLong x) { return std::exp(x); }
A_FpLong AnsiFabs(A_FpLong x) { return std::fabs(x); }
A_FpLong AnsiFloor(A_FpLong x) { return std::floor(x); }
A_FpLong AnsiFmod(A_FpLong x, A_FpLong y) { return std::fmod(x, y); }
A_FpLong AnsiHypot(A_FpLong x, A_FpLong y) { return std::hypot(x, y); }
A_FpLong AnsiLog(A_FpLong x) { return std::log(x); }
A_FpLong AnsiLog10(A_FpLong x) { return std::log10(x); }
A_FpLong AnsiPow(A_FpLong x, A_FpLong y) { return std::pow(x, y); }
A_FpLong AnsiSqrt(A_FpLong x) { return std::sqrt(x); }
A_FpLong AnsiTan(A_FpLong x) { return std::tan(x); }
A_FpLong AnsiAsin(A_FpLong x) { return std::asin(x); }
A_FpLong AnsiAcos(A_FpLong x) { return std::acos(x); }

// ------------------------------------------------------------------ pixel data

template <typename Pixel, Depth kDepth, int32_t kCall>
PF_Err GetPixelData(PF_EffectWorld* worldP, PF_PixelPtr pixelsP0, Pixel** pixPP) {
  CallScope* scope = CurrentScope();
  if (scope == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
  if (PF_Err err = scope->Count(kCall)) return err;
  if (pixPP == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
  *pixPP = nullptr;
  const World* world = scope->FindWorld(worldP);
  if (world == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
  if (world->depth == kDepth) {
    *pixPP = reinterpret_cast<Pixel*>(pixelsP0 != nullptr ? pixelsP0 : worldP->data);
  }
  return PF_Err_NONE;
}

// ------------------------------------------------------------------ layer checkouts

PF_Err CheckoutLayer(PF_ProgPtr effect_ref, PF_ParamIndex index, A_long checkout_idL,
                     const PF_RenderRequest* req, A_long what_time, A_long time_step,
                     A_u_long time_scale, PF_CheckoutResult* checkout_result) {
  CallScope* scope = ScopeFor(effect_ref);
  if (scope == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
  if (PF_Err err = scope->Count(kCallCheckoutLayer)) return err;
  if (scope->cmd != PF_Cmd_SMART_PRE_RENDER || scope->layer == nullptr) {
    return PF_Err_BAD_CALLBACK_PARAM;
  }
  if (index != 0) return PF_Err_INVALID_INDEX;
  if (req == nullptr || checkout_result == nullptr || checkout_idL < 0) {
    return PF_Err_BAD_CALLBACK_PARAM;
  }
  for (const LayerCheckout& c : scope->layerCheckouts) {
    if (c.id == checkout_idL) return PF_Err_BAD_CALLBACK_PARAM;
  }
  const A_long w = scope->layer->width, h = scope->layer->height;
  PF_CheckoutResult result{};
  PF_LRect r{std::max<A_long>(req->rect.left, 0), std::max<A_long>(req->rect.top, 0),
             std::min(req->rect.right, w), std::min(req->rect.bottom, h)};
  if (r.right <= r.left || r.bottom <= r.top) r = PF_LRect{0, 0, 0, 0};
  result.result_rect = r;
  result.max_result_rect = PF_LRect{0, 0, w, h};
  result.par = PF_RationalScale{1, 1};
  result.ref_width = w;
  result.ref_height = h;
  *checkout_result = result;
  LayerCheckout record;
  record.id = checkout_idL;
  record.index = index;
  record.request = *req;
  record.result = result;
  record.time = what_time;
  record.timeStep = time_step;
  record.timeScale = time_scale;
  scope->layerCheckouts.push_back(record);
  return PF_Err_NONE;
}

PF_Err GuidMixIn(PF_ProgPtr effect_ref, A_u_long, const void*) {
  CallScope* scope = ScopeFor(effect_ref);
  if (scope == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
  return scope->Count(kCallGuidMixIn);
}

const uint8_t kPaddingByte = 0xA5;

PF_Err CheckoutLayerPixels(PF_ProgPtr effect_ref, A_long checkout_idL, PF_EffectWorld** pixels) {
  CallScope* scope = ScopeFor(effect_ref);
  if (scope == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
  if (PF_Err err = scope->Count(kCallCheckoutLayerPixels)) return err;
  if (scope->cmd != PF_Cmd_SMART_RENDER || pixels == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
  for (const auto& handed : scope->layerPixels) {
    if (handed.first == checkout_idL) {
      *pixels = &handed.second->world;
      return PF_Err_NONE;
    }
  }
  for (const LayerCheckout& c : scope->layerCheckouts) {
    if (c.id != checkout_idL) continue;
    const PF_LRect& r = c.result.result_rect;
    std::unique_ptr<World> world =
        MakeWorldOver(*scope->layer, r.left, r.top, r.right - r.left, r.bottom - r.top,
                      scope->rowPadding, 0, kPaddingByte, scope->worldMemory, scope->pool);
    scope->layerPixels.emplace_back(checkout_idL, world.get());
    *pixels = &world->world;
    scope->worlds.push_back(std::move(world));
    return PF_Err_NONE;
  }
  return PF_Err_BAD_CALLBACK_PARAM;
}

PF_Err CheckinLayerPixels(PF_ProgPtr effect_ref, A_long) {
  CallScope* scope = ScopeFor(effect_ref);
  if (scope == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
  return scope->Count(kCallCheckinLayerPixels);
}

// The output covers the pre-render's result rectangle; a side longer than the host's
// largest world is refused as the host refuses it, for want of memory.
PF_Err CheckoutOutput(PF_ProgPtr effect_ref, PF_EffectWorld** output) {
  CallScope* scope = ScopeFor(effect_ref);
  if (scope == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
  if (PF_Err err = scope->Count(kCallCheckoutOutput)) return err;
  if (scope->cmd != PF_Cmd_SMART_RENDER || output == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
  if (scope->output == nullptr) {
    const PF_LRect& r = scope->outputRect;
    const int64_t w = std::max<int64_t>(int64_t(r.right) - r.left, 0);
    const int64_t h = std::max<int64_t>(int64_t(r.bottom) - r.top, 0);
    if (w > PF_MAX_WORLD_WIDTH || h > PF_MAX_WORLD_HEIGHT) return PF_Err_OUT_OF_MEMORY;
    std::unique_ptr<World> world =
        MakeWorld(int32_t(w), int32_t(h), scope->layer->depth, scope->rowPadding, scope->outputFill,
                  kPaddingByte, scope->worldMemory, scope->pool);
    world->world.origin_x = r.left;
    world->world.origin_y = r.top;
    scope->output = world.get();
    scope->worlds.push_back(std::move(world));
  }
  *output = &scope->output->world;
  return PF_Err_NONE;
}

// ------------------------------------------------------------------ param utils

// Applies what the host honours of an interface update to the instance's controls.
void ApplyUiUpdate(const PF_ParamDef& from, PF_ParamDef& to) {
  to.ui_flags = from.ui_flags;
  to.ui_width = from.ui_width;
  to.ui_height = from.ui_height;
  std::memcpy(to.name, from.name, sizeof to.name);
  to.name[sizeof to.name - 1] = 0;
  to.flags =
      (to.flags & ~PF_ParamFlag_COLLAPSE_TWIRLY) | (from.flags & PF_ParamFlag_COLLAPSE_TWIRLY);
  if (to.param_type == PF_Param_FLOAT_SLIDER) {
    to.u.fs_d.slider_min = from.u.fs_d.slider_min;
    to.u.fs_d.slider_max = from.u.fs_d.slider_max;
    to.u.fs_d.precision = from.u.fs_d.precision;
    to.u.fs_d.display_flags = from.u.fs_d.display_flags;
  }
}

PF_Err UpdateParamUI(PF_ProgPtr effect_ref, PF_ParamIndex param_index, const PF_ParamDef* defP) {
  CallScope* scope = ScopeFor(effect_ref);
  if (scope == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
  if (PF_Err err = scope->Count(kCallUpdateParamUI)) return err;
  if (scope->cmd != PF_Cmd_USER_CHANGED_PARAM && scope->cmd != PF_Cmd_UPDATE_PARAMS_UI) {
    return PF_Err_BAD_CALLBACK_PARAM;
  }
  if (defP == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
  if (param_index < 1 || size_t(param_index) >= scope->host.Params().size()) {
    return PF_Err_INVALID_INDEX;
  }
  if (defP->param_type != scope->host.Params()[size_t(param_index)].def.param_type) {
    return PF_Err_BAD_CALLBACK_PARAM;
  }
  scope->uiUpdates.push_back({param_index, *defP});
  if (scope->changingInstance != nullptr) {
    ApplyUiUpdate(*defP, scope->ControlOf(param_index));
  }
  return PF_Err_NONE;
}

PF_Err GetCurrentState(PF_ProgPtr, PF_ParamIndex, const A_Time*, const A_Time*, PF_State*) {
  return PF_Err_INVALID_CALLBACK;
}
PF_Err AreStatesIdentical(PF_ProgPtr, const PF_State*, const PF_State*, A_Boolean*) {
  return PF_Err_INVALID_CALLBACK;
}
PF_Err IsIdenticalCheckout(PF_ProgPtr, PF_ParamIndex, A_long, A_long, A_u_long, A_long, A_long,
                           A_u_long, PF_Boolean*) {
  return PF_Err_INVALID_CALLBACK;
}
PF_Err FindKeyframeTime(PF_ProgPtr, PF_ParamIndex, A_long, A_u_long, PF_TimeDir, PF_Boolean*,
                        PF_KeyIndex*, A_long*, A_u_long*) {
  return PF_Err_INVALID_CALLBACK;
}
PF_Err GetKeyframeCount(PF_ProgPtr, PF_ParamIndex, PF_KeyIndex*) { return PF_Err_INVALID_CALLBACK; }
PF_Err CheckoutKeyframe(PF_ProgPtr, PF_ParamIndex, PF_KeyIndex, A_long*, A_u_long*, PF_ParamDef*) {
  return PF_Err_INVALID_CALLBACK;
}
PF_Err CheckinKeyframe(PF_ProgPtr, PF_ParamDef*) { return PF_Err_INVALID_CALLBACK; }
PF_Err KeyIndexToTime(PF_ProgPtr, PF_ParamIndex, PF_KeyIndex, A_long*, A_u_long*) {
  return PF_Err_INVALID_CALLBACK;
}

// ------------------------------------------------------------------ points

// The host keeps a point's value at full precision: a checked-out definition is answered
// with the value it was filled from, anything else from its 16.16 fields.
PF_Err GetFloatingPointValue(PF_ProgPtr effect_ref, const PF_ParamDef* point_defP,
                             A_FloatPoint* fp_pointP) {
  CallScope* scope = ScopeFor(effect_ref);
  if (scope == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
  if (PF_Err err = scope->Count(kCallGetFloatingPointValue)) return err;
  if (point_defP == nullptr || fp_pointP == nullptr || point_defP->param_type != PF_Param_POINT) {
    return PF_Err_BAD_CALLBACK_PARAM;
  }
  for (const CheckedOutParam& c : scope->checkedOut) {
    if (c.def == point_defP) {
      fp_pointP->x = c.value.x;
      fp_pointP->y = c.value.y;
      return PF_Err_NONE;
    }
  }
  fp_pointP->x = point_defP->u.td.x_value / 65536.0;
  fp_pointP->y = point_defP->u.td.y_value / 65536.0;
  return PF_Err_NONE;
}

// ------------------------------------------------------------------ worlds

bool DepthOf(PF_PixelFormat format, Depth& depth) {
  for (Depth d : {Depth::k8, Depth::k16, Depth::kFloat}) {
    if (PixelFormatOf(d) == format) {
      depth = d;
      return true;
    }
  }
  return false;
}

PF_Err NewWorld(PF_ProgPtr effect_ref, A_long widthL, A_long heightL, PF_Boolean clear_pixB,
                PF_PixelFormat pixel_format, PF_EffectWorld* worldP) {
  CallScope* scope = ScopeFor(effect_ref);
  if (scope == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
  if (PF_Err err = scope->Count(kCallNewWorld)) return err;
  Depth depth;
  if (worldP == nullptr || widthL < 0 || heightL < 0 || !DepthOf(pixel_format, depth)) {
    return PF_Err_BAD_CALLBACK_PARAM;
  }
  if (widthL > PF_MAX_WORLD_WIDTH || heightL > PF_MAX_WORLD_HEIGHT) return PF_Err_OUT_OF_MEMORY;
  (void)clear_pixB;  // this host always clears
  std::unique_ptr<World> world = MakeWorld(widthL, heightL, depth, 0, 0, 0);
  *worldP = world->world;
  scope->worlds.push_back(std::move(world));
  scope->worldsCreated.fetch_add(1);
  return PF_Err_NONE;
}

PF_Err DisposeWorld(PF_ProgPtr effect_ref, PF_EffectWorld* worldP) {
  CallScope* scope = ScopeFor(effect_ref);
  if (scope == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
  if (PF_Err err = scope->Count(kCallDisposeWorld)) return err;
  World* world = scope->FindWorld(worldP);
  if (world == nullptr || &world->world == worldP) return PF_Err_BAD_CALLBACK_PARAM;
  auto& list = scope->worlds;
  list.erase(std::find_if(list.begin(), list.end(),
                          [&](const std::unique_ptr<World>& w) { return w.get() == world; }));
  std::memset(worldP, 0, sizeof *worldP);
  scope->worldsDisposed.fetch_add(1);
  return PF_Err_NONE;
}

PF_Err GetPixelFormat(const PF_EffectWorld* worldP, PF_PixelFormat* pixel_formatP) {
  CallScope* scope = CurrentScope();
  if (scope == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
  if (PF_Err err = scope->Count(kCallGetPixelFormat)) return err;
  if (pixel_formatP == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
  const World* world = scope->FindWorld(worldP);
  *pixel_formatP = world == nullptr                   ? PF_PixelFormat_INVALID
                   : scope->options.reportFormat != 0 ? scope->options.reportFormat
                                                      : PixelFormatOf(world->depth);
  return world != nullptr ? PF_Err_NONE : PF_Err_BAD_CALLBACK_PARAM;
}

PF_Err GetConstSequenceData(PF_ProgPtr effect_ref, PF_ConstHandle* sequence_data) {
  CallScope* scope = ScopeFor(effect_ref);
  if (scope == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
  if (PF_Err err = scope->Count(kCallGetConstSequenceData)) return err;
  if (sequence_data == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
  *sequence_data = nullptr;  // the effect keeps no sequence data
  return PF_Err_NONE;
}

}  // namespace

// ------------------------------------------------------------------ tables

PF_InteractCallbacks InteractCallbacks() {
  PF_InteractCallbacks inter{};
  inter.checkout_param = CheckoutParam;
  inter.checkin_param = CheckinParam;
  inter.add_param = AddParam;
  inter.abort = Abort;
  inter.progress = Progress;
  return inter;
}

const PF_ANSICallbacksSuite1& AnsiSuite() {
  static const PF_ANSICallbacksSuite1 suite = {
      AnsiAtan, AnsiAtan2,   AnsiCeil,   AnsiCos,   AnsiExp, AnsiFabs, AnsiFloor,
      AnsiFmod, AnsiHypot,   AnsiLog,    AnsiLog10, AnsiPow, AnsiSin,  AnsiSqrt,
      AnsiTan,  AnsiSprintf, AnsiStrcpy, AnsiAsin,  AnsiAcos};
  return suite;
}

_PF_UtilCallbacks* UtilCallbacks() {
  static _PF_UtilCallbacks utils = [] {
    _PF_UtilCallbacks u;
    std::memset(&u, 0, sizeof u);
    const PF_ANSICallbacksSuite1& a = AnsiSuite();
    static_assert(sizeof(PF_ANSICallbacksSuite1) <= sizeof(PF_ANSICallbacks),
                  "the ANSI block holds the suite's functions first");
    std::memcpy(&u.ansi, &a, sizeof a);
    u.subpixel_sample = Sampling8Suite().subpixel_sample;
    u.area_sample = Sampling8Suite().area_sample;
    u.subpixel_sample16 = Sampling16Suite().subpixel_sample16;
    u.area_sample16 = Sampling16Suite().area_sample16;
    u.iterate = Iterate8Suite().iterate;
    u.iterate16 = Iterate16Suite().iterate;
    u.get_pixel_data8 = PixelDataSuite().get_pixel_data8;
    u.get_pixel_data16 = PixelDataSuite().get_pixel_data16;
    return u;
  }();
  return &utils;
}

const PF_ParamUtilsSuite3& ParamUtilsSuite() {
  static const PF_ParamUtilsSuite3 suite = {
      UpdateParamUI,    GetCurrentState,  AreStatesIdentical, IsIdenticalCheckout, FindKeyframeTime,
      GetKeyframeCount, CheckoutKeyframe, CheckinKeyframe,    KeyIndexToTime};
  return suite;
}

const PF_PointParamSuite1& PointParamSuite() {
  static const PF_PointParamSuite1 suite = {GetFloatingPointValue};
  return suite;
}

const PF_WorldSuite2& WorldSuite() {
  static const PF_WorldSuite2 suite = {NewWorld, DisposeWorld, GetPixelFormat};
  return suite;
}

const PF_PixelDataSuite1& PixelDataSuite() {
  static const PF_PixelDataSuite1 suite = {
      GetPixelData<PF_Pixel8, Depth::k8, kCallGetPixelData8>,
      GetPixelData<PF_Pixel16, Depth::k16, kCallGetPixelData16>,
      GetPixelData<PF_PixelFloat, Depth::kFloat, kCallGetPixelDataFloat>};
  return suite;
}

const PF_EffectSequenceDataSuite1& SequenceDataSuite() {
  static const PF_EffectSequenceDataSuite1 suite = {GetConstSequenceData};
  return suite;
}

PF_PreRenderCallbacks PreRenderCallbacks() {
  return PF_PreRenderCallbacks{CheckoutLayer, GuidMixIn};
}

PF_SmartRenderCallbacks SmartRenderCallbacks() {
  return PF_SmartRenderCallbacks{CheckoutLayerPixels, CheckinLayerPixels, CheckoutOutput};
}

uint8_t PaddingByte() { return kPaddingByte; }

}  // namespace harness
