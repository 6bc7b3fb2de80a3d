// The lens as the solver sees it: the effect's own set-up and mapping (its render set-up,
// frame transforms and the real lens model's Distort, linked from the effect's static
// library) evaluated for trial values of the controls being solved for. Everything the
// solver knows about the effect passes through here.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "EffectSession.h"
#include "LensGeometry.h"

// One number the solve may change: a slider, or one axis of a point control.
struct FreeParameter {
  int controlIndex = 0;
  int axis = 0;      // 0 the slider's value or a point's x, 1 a point's y
  std::string name;  // as reported: the control's name, a point's with " x" / " y"
  double lower = 0;  // the control's valid range; points are unbounded
  double upper = 0;
};

class SolveLens {
 public:
  // A lens carrying `settings` at `frame` on a layer of `width` x `height`. The correspondences
  // are always measured in a "Remove" render's pixels ("Apply WF2" is that render's inverse).
  // An "Apply WF2" setting is still evaluated through that render's own frames, shifted by
  // ApplyShift: the two modes round their frame scales to float differently, and an ST map
  // of an "Apply WF2" render must solve back to its coefficients to the last few digits.
  SolveLens(EffectSession& session, const ControlSettings& settings, int width, int height,
            long frame);
  ~SolveLens();
  SolveLens(const SolveLens&) = delete;
  SolveLens& operator=(const SolveLens&) = delete;

  // The free parameters named in `names` (controls by name or index; a point gives both
  // axes), or, when empty, the lens model's distortion coefficients: the sliders that
  // default to 0 and, set alone, move a point. Throws a usage error for a control without
  // a number.
  std::vector<FreeParameter> ResolveFree(const std::vector<std::string>& names);

  // Fixes which parameters later calls vary. Values are in that order.
  void SetFree(const std::vector<FreeParameter>& free);
  // The current values of the free parameters: the settings', else the effect's defaults.
  std::vector<double> StartValues() const;

  // An undistorted position to the distorted one for `values`, in layer pixels with pixel
  // centres at whole numbers, in double throughout (no rounding to the render's floats, so
  // that numeric derivatives see a smooth function). False where the lens cannot map.
  bool Distort(const double* values, double xu, double yu, double& xd, double& yd);

  // How far an "Apply WF2" render's pixels lie from the "Remove WF2" render's, per axis:
  // half the difference of the undistorted and distorted sizes the settings give (0 for
  // the "Remove" modes). A whole or half number, so shifting there and back is exact.
  double ApplyShift(int axis) const { return shift_[axis]; }

  // The name of the chosen lens model, the "Lens Model" popup's entry.
  std::string ModelName() const;
  // True when the settings chose "Apply WF2".
  bool AppliesDistortion() const { return applies_; }

 private:
  struct Cached;
  const RenderContext& ContextFor(const double* values);

  EffectSession& session_;
  std::unique_ptr<harness::EffectInstance> instance_;
  int width_, height_;
  bool applies_ = false;
  double shift_[2] = {0, 0};
  A_long time_;
  std::vector<FreeParameter> free_;
  std::vector<std::unique_ptr<Cached>> cache_;
  size_t nextSlot_ = 0;
};
