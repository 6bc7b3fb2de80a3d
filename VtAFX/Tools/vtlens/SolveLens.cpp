#include "SolveLens.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "ToolError.h"

namespace {

// Where the lens puts an undistorted pixel, without the render's roundings to float: what a
// "Remove" render samples for it, or, through an "Apply WF2" context's derived halves (the
// exact inverses of the conversions that render uses), where that render shows it.
bool MapUndistortedPixel(const RenderContext& context, double xu, double yu, double& xd,
                         double& yd) {
  const FrameTransform& from = context.undistortedFrame;
  const FrameTransform& to = context.distortedFrame;
  const Point2 normalised{(xu * from.toNormScale[0] + from.toNormOffset[0]) * context.invZoom,
                          (yu * from.toNormScale[1] + from.toNormOffset[1]) * context.invZoom};
  int32_t valid = 0;
  const Point2 mapped = Distort(context.model, normalised, 1.0, &valid);
  xd = mapped.x * to.toPixelScale[0] + to.toPixelOffset[0];
  yd = mapped.y * to.toPixelScale[1] + to.toPixelOffset[1];
  return valid == 1 && std::isfinite(xd) && std::isfinite(yd);
}

void SetControl(harness::EffectInstance& instance, int index, harness::ParamValue value) {
  std::string error;
  if (!instance.SetValue(index, value, &error))
    throw ToolError("control " + std::to_string(index) + ": " + error);
}

}  // namespace

struct SolveLens::Cached {
  std::vector<double> key;
  RenderContextPtr context;
};

SolveLens::SolveLens(EffectSession& session, const ControlSettings& settings, int width, int height,
                     long frame)
    : session_(session), width_(width), height_(height) {
  instance_ = NewInstance(session, settings, width, height);
  time_ = FrameTime(*instance_, frame);
  const Control& mode = FindControl(session.controls, "Distort Mode");
  const size_t choice = static_cast<size_t>(instance_->ValueAt(mode.index, time_).x);
  applies_ =
      choice >= 1 && choice <= mode.choices.size() && mode.choices[choice - 1] == "Apply WF2";
  if (applies_) {
    RenderContextPtr context = SetUpGeometry(*instance_, time_, width_, height_);
    for (int axis = 0; axis < 2; ++axis)
      shift_[axis] = 0.5 * (static_cast<double>(context->undistortedSize[axis]) -
                            context->distortedSize[axis]);
  }
}

SolveLens::~SolveLens() = default;

std::vector<FreeParameter> SolveLens::ResolveFree(const std::vector<std::string>& names) {
  std::vector<FreeParameter> free;
  auto add = [&](const Control& c) {
    if (c.kind == ControlKind::Point) {
      const double inf = std::numeric_limits<double>::infinity();
      free.push_back({c.index, 0, c.name + " x", -inf, inf});
      free.push_back({c.index, 1, c.name + " y", -inf, inf});
    } else if (c.kind == ControlKind::Float) {
      free.push_back({c.index, 0, c.name, c.validMin, c.validMax});
    } else {
      throw UsageError("--free \"" + c.name + "\": only sliders and points can be solved for");
    }
  };
  for (const std::string& name : names) add(FindControl(session_.controls, name));
  if (!names.empty()) return free;

  // Which sliders are the chosen model's distortion coefficients is a fact of the effect's
  // own set-up: ask it. From a lens with every zero-default slider at 0, each is set on its
  // own; those that move a point are the coefficients (rotations and the sliders of other
  // models move nothing there).
  std::vector<const Control*> candidates;
  for (const Control& c : session_.controls)
    if (c.kind == ControlKind::Float && c.floatDefault == 0 && c.validMax > 0)
      candidates.push_back(&c);
  harness::EffectInstance& probe = *instance_;
  std::vector<harness::ParamValue> saved;
  for (const Control* c : candidates) {
    saved.push_back(probe.ValueAt(c->index, time_));
    SetControl(probe, c->index, {0, 0});
  }
  const double samples[][2] = {{0.8, 0.7}, {0.2, 0.35}, {0.65, 0.1}};
  auto mapSamples = [&](std::vector<double>& out) {
    RenderContextPtr context = SetUpGeometry(probe, time_, width_, height_);
    out.clear();
    for (const auto& s : samples) {
      double x = 0, y = 0;
      MapUndistortedPixel(*context, s[0] * width_, s[1] * height_, x, y);
      out.push_back(x);
      out.push_back(y);
    }
  };
  std::vector<double> base, moved;
  mapSamples(base);
  for (const Control* c : candidates) {
    SetControl(probe, c->index, {std::min(0.01, c->validMax), 0});
    mapSamples(moved);
    SetControl(probe, c->index, {0, 0});
    bool moves = false;
    for (size_t i = 0; i < base.size(); ++i)
      moves = moves || !(std::fabs(moved[i] - base[i]) <= 1e-9);
    if (moves) add(*c);
  }
  // Back to what the settings give at the solve's frame, the only time it evaluates.
  for (size_t i = 0; i < candidates.size(); ++i) SetControl(probe, candidates[i]->index, saved[i]);
  return free;
}

void SolveLens::SetFree(const std::vector<FreeParameter>& free) {
  free_ = free;
  cache_.clear();
  // Central differences visit two trial values per parameter around each point's base.
  cache_.resize(2 * free.size() + 4);
  nextSlot_ = 0;
}

std::vector<double> SolveLens::StartValues() const {
  std::vector<double> values;
  for (const FreeParameter& p : free_) {
    harness::ParamValue v = instance_->ValueAt(p.controlIndex, time_, width_, height_);
    values.push_back(p.axis == 0 ? v.x : v.y);
  }
  return values;
}

const RenderContext& SolveLens::ContextFor(const double* values) {
  for (const auto& slot : cache_)
    if (slot && std::equal(slot->key.begin(), slot->key.end(), values)) return *slot->context;
  for (size_t i = 0; i < free_.size(); ++i) {
    const FreeParameter& p = free_[i];
    harness::ParamValue v = instance_->ValueAt(p.controlIndex, time_, width_, height_);
    (p.axis == 0 ? v.x : v.y) = values[i];
    SetControl(*instance_, p.controlIndex, v);
  }
  auto slot = std::make_unique<Cached>();
  slot->key.assign(values, values + free_.size());
  slot->context = SetUpGeometry(*instance_, time_, width_, height_);
  if (cache_.empty()) cache_.resize(1);
  std::unique_ptr<Cached>& target = cache_[nextSlot_];
  nextSlot_ = (nextSlot_ + 1) % cache_.size();
  target = std::move(slot);
  return *target->context;
}

bool SolveLens::Distort(const double* values, double xu, double yu, double& xd, double& yd) {
  const bool mapped =
      MapUndistortedPixel(ContextFor(values), xu + shift_[0], yu + shift_[1], xd, yd);
  xd -= shift_[0];
  yd -= shift_[1];
  return mapped;
}

std::string SolveLens::ModelName() const {
  const Control& model = FindControl(session_.controls, "Lens Model");
  const size_t choice = static_cast<size_t>(instance_->ValueAt(model.index, time_).x);
  return choice >= 1 && choice <= model.choices.size() ? model.choices[choice - 1]
                                                       : std::to_string(choice);
}
