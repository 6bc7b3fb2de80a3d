#include "Lens/LensModel.h"

#include <cmath>

#include "Lens/ModelFamilies.h"

namespace {

// True when coef[first..last] are all exactly 0. NaN is not 0, so a NaN coefficient makes
// the model count as non-identity: mapping it then shows the NaN instead of hiding it.
bool CoefsZero(const LensParams& params, int first, int last) {
  for (int i = first; i <= last; ++i) {
    if (!(params.coef[i] == 0.0)) {
      return false;
    }
  }
  return true;
}

int32_t IsIdentityParams(const LensParams& p) {
  const double* c = p.coef;
  switch (p.kind) {
    case kModelClassic:
      return p.quadratic == 0.0 && p.cubic == 0.0 && p.quartic == 0.0 && p.hCenter == 0.0 &&
             p.vCenter == 0.0 && p.vScale == 1.0;
    case kModelRadial4:
    case kModelStdRadial4:
      return CoefsZero(p, 0, 7);
    case kModelAnamorphic6:
    case kModelStdAnamorphic6:
      return CoefsZero(p, 0, 19) && c[20] == 1.0 && c[21] == 1.0 && c[22] == 0.0;
    case kModelRadialSquash:
      return CoefsZero(p, 0, 2) && c[3] == 1.0 && c[4] == 1.0 && c[5] == 0.0 && c[6] == 0.0;
    case kModelAnamorphicMerged6:
    case kModelStdAnamorphicMerged6:
      return CoefsZero(p, 0, 10) && c[11] == 1.0 && c[12] == 1.0 && c[13] == 0.0;
    case kModelFisheyeStereographic:
    case kModelFisheyeEquidistant:
    case kModelFisheyeEquisolid:
    case kModelFisheyeOrthographic:
      // Even with neutral coefficients a fisheye maps a fisheye image to a rectilinear one.
      return 0;
    default:
      return 1;  // unknown kinds map nothing, so they must leave points where they are
  }
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
  params.kind = -1;
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
  const ModelKind kind = model.params.kind;
  if (kind < kModelClassic || kind > kModelFisheyeOrthographic) {
    return;
  }
  if (kind != kModelClassic) {
    SetModelFrame(model);
  }
  switch (kind) {
    case kModelClassic:
      PrepareClassicKind(model);
      break;
    case kModelRadial4:
    case kModelRadialSquash:
    case kModelStdRadial4:
      PrepareRadialKind(model);
      break;
    case kModelAnamorphic6:
    case kModelAnamorphicMerged6:
    case kModelStdAnamorphic6:
    case kModelStdAnamorphicMerged6:
      PrepareAnamorphicKind(model);
      break;
    default:
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
