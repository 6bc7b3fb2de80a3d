#include "Lens/LensModel.h"

#include <cmath>

#include "Lens/LensModelTable.h"
#include "Lens/ModelFamilies.h"

namespace {

// Exact comparisons: NaN equals nothing, so a NaN coefficient makes the model count as
// non-identity, and mapping it then shows the NaN instead of hiding it.
int32_t IsIdentityParams(const LensParams& p) {
  const LensModelEntry* entry = LensModelOfKind(p.kind);
  if (!entry) return 1;  // unknown kinds map nothing, so they must leave points where they are
  if (entry->family == ModelFamily::Classic) {
    return p.quadratic == 0.0 && p.cubic == 0.0 && p.quartic == 0.0 && p.hCenter == 0.0 &&
           p.vCenter == 0.0 && p.vScale == 1.0;
  }
  const CoefLayout& layout = LayoutOf(entry->family);
  if (layout.neutralSlots == 0) return 0;
  for (int32_t i = 0; i < layout.neutralSlots; ++i) {
    if (!(p.coef[i] == layout.neutral[i])) return 0;
  }
  return 1;
}

void ReleaseTables(LensModel& model) {
  ReleaseRadialTable(model.radialTable);
  ReleaseRadialTable(model.negativeRadialTable);
  ResetRadialTable(model.radialTable);
  ResetRadialTable(model.negativeRadialTable);
}

}  // namespace

LensModel::LensModel()
    : params(),
      aspect(1.0),
      isIdentity(1),
      simpleForm(0),
      negativeBranch(0),
      radialTable(),
      negativeRadialTable(),
      distortFn(nullptr),
      undistortFn(nullptr),
      toModelX(0.0),
      toModelY(0.0),
      fromModelX(0.0),
      fromModelY(0.0),
      polyX(),
      polyY(),
      cosRot(1.0),
      sinRot(0.0) {
  ResetLensParams(params);
  params.kind = ModelKind::None;
  ResetRadialTable(radialTable);
  ResetRadialTable(negativeRadialTable);
}

LensModel::~LensModel() {
  ReleaseRadialTable(radialTable);
  ReleaseRadialTable(negativeRadialTable);
}

void ResetLensParams(LensParams& params) {
  params.quadratic = 0.0;
  params.cubic = 0.0;
  params.quartic = 0.0;
  params.hCenter = 0.0;
  params.vCenter = 0.0;
  params.eccentricity = 1.0;
  params.invVScale = 1.0;
  params.vScale = 1.0;
  params.kind = kModelClassic;
  params.squeeze = 1.0;
}

void SetModelFrame(LensModel& model) {
  const double d = std::sqrt(model.aspect * model.aspect + 1.0);
  model.toModelX = model.aspect / d;
  model.toModelY = -1.0 / d;
  model.fromModelX = d / model.aspect;
  model.fromModelY = -d;
}

void SetParameters(LensModel& model, const LensParams& params, double aspect) {
  model.params = params;
  model.aspect = aspect;
  model.isIdentity = IsIdentityParams(params);
  model.simpleForm = 0;
  if (params.kind == kModelClassic) {
    model.simpleForm = params.cubic == 0.0 && params.quartic == 0.0 && params.eccentricity == 1.0 &&
                       params.vScale == 1.0;
  }
  model.negativeBranch = 0;
  model.distortFn = nullptr;
  model.undistortFn = nullptr;
  // Tables of an earlier set-up go first: a table build allocates without looking at
  // what the record held.
  ReleaseTables(model);
  try {
    PrepareKind(model);
  } catch (...) {
    // Leave nothing half-built behind: the record stays safe to destroy.
    ReleaseTables(model);
    model.distortFn = nullptr;
    model.undistortFn = nullptr;
    throw;
  }
}

void PrepareKind(LensModel& model) {
  const LensModelEntry* entry = LensModelOfKind(model.params.kind);
  if (!entry) return;
  switch (entry->family) {
    case ModelFamily::Classic: PrepareClassicKind(model); break;
    case ModelFamily::RadialSquash:
    case ModelFamily::Radial4:
      SetModelFrame(model);
      PrepareRadialKind(model);
      break;
    case ModelFamily::MergedAnamorphic:
    case ModelFamily::Anamorphic:
      SetModelFrame(model);
      PrepareAnamorphicKind(model);
      break;
    case ModelFamily::Fisheye:
      SetModelFrame(model);
      PrepareFisheyeKind(model);
      break;
  }
}

Point2 Distort(const LensModel& model, Point2 in, double radiusScale, int32_t* valid) {
  if (model.isIdentity || model.distortFn == nullptr) {
    if (valid) {
      *valid = 1;
    }
    return in;
  }
  return model.distortFn(model, in, radiusScale, valid);
}

Point2 Undistort(const LensModel& model, Point2 in, double radiusScale, int32_t* valid) {
  if (model.isIdentity || model.undistortFn == nullptr) {
    if (valid) {
      *valid = 1;
    }
    return in;
  }
  return model.undistortFn(model, in, radiusScale, valid);
}
