// Parameter values per instance and time, the controls' interface state, and the
// user-changed-parameter command.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "HostScope.h"

namespace harness {
namespace {

bool Refuse(std::string* error, const std::string& why) {
  if (error != nullptr) *error = why;
  return false;
}

// 16.16 fixed point of `v`, rounded to nearest and held inside the 32-bit range.
PF_Fixed ToFixed(double v) {
  const double f = std::nearbyint(v * 65536.0);
  if (!(f > -2147483648.0)) return INT32_MIN;  // also NaN
  if (f >= 2147483647.0) return INT32_MAX;
  return PF_Fixed(f);
}

ParamValue Lerp(const ParamValue& a, const ParamValue& b, double t) {
  return ParamValue{a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t};
}

}  // namespace

EffectInstance::EffectInstance(EffectHost& host) : host_(&host) {
  const std::vector<ParamDecl>& params = host.Params();
  slots_.resize(params.size());
  ui_.reserve(params.size());
  for (const ParamDecl& p : params) ui_.push_back(p.def);
}

void EffectInstance::SetLayerSize(A_long width, A_long height) {
  layerWidth_ = std::max<A_long>(width, 0);
  layerHeight_ = std::max<A_long>(height, 0);
}

void EffectInstance::SetTimeBase(A_long timeStep, A_u_long timeScale) {
  if (timeStep > 0) timeStep_ = timeStep;
  if (timeScale > 0) timeScale_ = timeScale;
}

bool EffectInstance::CheckValue(PF_ParamIndex index, ParamValue& value, std::string* error) const {
  if (index < 0 || size_t(index) >= slots_.size()) {
    return Refuse(error, "no parameter " + std::to_string(index));
  }
  const PF_ParamDef& def = host_->Params()[size_t(index)].def;
  if (!std::isfinite(value.x) || !std::isfinite(value.y)) {
    return Refuse(error, std::string("\"") + def.name + "\" needs a finite value");
  }
  switch (def.param_type) {
    case PF_Param_POPUP:
      if (value.x != std::floor(value.x) || value.x < 1 || value.x > def.u.pd.num_choices) {
        return Refuse(error, std::string("\"") + def.name + "\" takes a choice from 1 to " +
                                 std::to_string(def.u.pd.num_choices));
      }
      value.y = 0;
      return true;
    case PF_Param_FLOAT_SLIDER:
      value.x =
          std::min(std::max(value.x, double(def.u.fs_d.valid_min)), double(def.u.fs_d.valid_max));
      value.y = 0;
      return true;
    case PF_Param_POINT: return true;
    default: return Refuse(error, "parameter " + std::to_string(index) + " holds no value");
  }
}

bool EffectInstance::SetValue(PF_ParamIndex index, ParamValue value, std::string* error) {
  if (!CheckValue(index, value, error)) return false;
  Slot& slot = slots_[size_t(index)];
  slot.set = true;
  slot.value = value;
  slot.keys.clear();
  return true;
}

bool EffectInstance::SetKeyframe(PF_ParamIndex index, A_long time, ParamValue value,
                                 std::string* error) {
  if (!CheckValue(index, value, error)) return false;
  const PF_ParamDef& def = host_->Params()[size_t(index)].def;
  if (def.flags & PF_ParamFlag_CANNOT_TIME_VARY) {
    return Refuse(error, std::string("\"") + def.name + "\" cannot vary in time");
  }
  Slot& slot = slots_[size_t(index)];
  const double at = double(time);
  auto it = std::lower_bound(slot.keys.begin(), slot.keys.end(), at,
                             [](const Key& k, double t) { return k.time < t; });
  if (it != slot.keys.end() && it->time == at) {
    it->value = value;
  } else {
    slot.keys.insert(it, Key{at, value});
  }
  return true;
}

size_t EffectInstance::KeyframeCount(PF_ParamIndex index) const {
  return index >= 0 && size_t(index) < slots_.size() ? slots_[size_t(index)].keys.size() : 0;
}

ParamValue EffectInstance::ValueAt(PF_ParamIndex index, A_long time) const {
  return ValueAt(index, time, layerWidth_, layerHeight_);
}

ParamValue EffectInstance::ValueAt(PF_ParamIndex index, A_long time, A_long layerWidth,
                                   A_long layerHeight) const {
  return ValueAtUnits(index, double(time), layerWidth, layerHeight);
}

ParamValue EffectInstance::ValueAtUnits(PF_ParamIndex index, double t, A_long layerWidth,
                                        A_long layerHeight) const {
  if (index < 0 || size_t(index) >= slots_.size()) return ParamValue{};
  const Slot& slot = slots_[size_t(index)];
  const PF_ParamDef& def = host_->Params()[size_t(index)].def;
  if (!slot.keys.empty()) {
    auto next = std::lower_bound(slot.keys.begin(), slot.keys.end(), t,
                                 [](const Key& k, double s) { return k.time < s; });
    if (next == slot.keys.begin()) return next->value;
    if (next == slot.keys.end()) return slot.keys.back().value;
    if (next->time == t) return next->value;
    auto prev = next - 1;
    // Popups and parameters that cannot interpolate hold each key until the next.
    if (def.param_type == PF_Param_POPUP || (def.flags & PF_ParamFlag_CANNOT_INTERP)) {
      return prev->value;
    }
    return Lerp(prev->value, next->value, (t - prev->time) / (next->time - prev->time));
  }
  if (slot.set) return slot.value;
  switch (def.param_type) {
    case PF_Param_POPUP: return ParamValue{double(def.u.pd.value), 0};
    case PF_Param_FLOAT_SLIDER: return ParamValue{def.u.fs_d.value, 0};
    case PF_Param_POINT:
      // Defaults are percent of the layer (16.16); the host turns them into layer pixels.
      return ParamValue{def.u.td.x_dephault / 65536.0 * layerWidth / 100.0,
                        def.u.td.y_dephault / 65536.0 * layerHeight / 100.0};
    default: return ParamValue{};
  }
}

A_FloatPoint EffectInstance::FloatingPointValue(PF_ParamIndex index, A_long time, A_long layerWidth,
                                                A_long layerHeight) const {
  const ParamValue v = ValueAt(index, time, layerWidth, layerHeight);
  return A_FloatPoint{v.x, v.y};
}

void EffectInstance::SetGroupCollapsed(PF_ParamIndex index, bool collapsed) {
  if (index < 0 || size_t(index) >= ui_.size()) return;
  PF_ParamDef& def = ui_[size_t(index)];
  if (def.param_type != PF_Param_GROUP_START) return;
  def.flags = collapsed ? (def.flags | PF_ParamFlag_COLLAPSE_TWIRLY)
                        : (def.flags & ~PF_ParamFlag_COLLAPSE_TWIRLY);
}

void EffectInstance::FillParamDef(PF_ParamIndex index, A_long time, A_long layerWidth,
                                  A_long layerHeight, PF_ParamDef& def) const {
  FillParamDefAtUnits(index, double(time), layerWidth, layerHeight, def);
}

void EffectInstance::FillParamDefAtUnits(PF_ParamIndex index, double time, A_long layerWidth,
                                         A_long layerHeight, PF_ParamDef& def) const {
  std::memset(&def, 0, sizeof def);
  if (index < 0 || size_t(index) >= ui_.size()) return;
  def = ui_[size_t(index)];
  const ParamValue v = ValueAtUnits(index, time, layerWidth, layerHeight);
  switch (def.param_type) {
    case PF_Param_POPUP: def.u.pd.value = PF_ParamValue(v.x); break;
    case PF_Param_FLOAT_SLIDER: def.u.fs_d.value = v.x; break;
    case PF_Param_POINT:
      def.u.td.x_value = ToFixed(v.x);
      def.u.td.y_value = ToFixed(v.y);
      break;
    case PF_Param_LAYER:
      def.u.ld.width = layerWidth;
      def.u.ld.height = layerHeight;
      break;
    default: break;
  }
}

CommandRecord EffectInstance::ChangeParam(PF_ParamIndex index, ParamValue value,
                                          const CallOptions& options) {
  CommandRecord record;
  record.cmd = PF_Cmd_USER_CHANGED_PARAM;
  if (!SetValue(index, value)) {
    record.result = PF_Err_BAD_CALLBACK_PARAM;
    return record;
  }
  if (!(host_->Params()[size_t(index)].def.flags & PF_ParamFlag_SUPERVISE)) return record;
  return UserChangedParam(index, options);
}

CommandRecord EffectInstance::UserChangedParam(PF_ParamIndex index, const CallOptions& options) {
  CallScope scope(*host_, options);
  scope.instance = this;
  scope.changingInstance = this;
  scope.layerWidth = layerWidth_;
  scope.layerHeight = layerHeight_;
  FillInData(scope, 0, timeStep_, timeScale_);
  std::vector<PF_ParamDef> defs(ui_.size());
  std::vector<PF_ParamDef*> pointers(ui_.size());
  for (size_t i = 0; i < ui_.size(); ++i) {
    FillParamDef(PF_ParamIndex(i), 0, layerWidth_, layerHeight_, defs[i]);
    pointers[i] = &defs[i];
  }
  PF_UserChangedParamExtra extra{index};
  return host_->Run(PF_Cmd_USER_CHANGED_PARAM, scope, pointers.data(), &extra);
}

}  // namespace harness
