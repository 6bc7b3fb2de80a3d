// The lens model record: one camera-lens distortion model of one of twelve kinds, set up
// once per frame and then mapped through, read-only, from any number of render threads.
//
// Positions are normalised: measured from the optical centre, x in half image widths and
// y in half image heights. `Distort` takes an undistorted position to the distorted image,
// `Undistort` the reverse. Every mapping returns a point and, when asked, a validity flag
// (1 when the point can be trusted); trouble never shows any other way.
#pragma once

#include <cstdint>

#include "Numerics/RadialTable.h"

// The lens model kinds. The "Lens Model" popup lists them in another order (see
// LensModelTable.h). Stored projects carry the popup position, not these numbers, but the
// numbers are the lens library's own, so they stay as they are.
enum class ModelKind : int32_t {
  None = -1,  // no model chosen: the identity
  Classic = 1,
  Radial4 = 2,
  Anamorphic6 = 3,
  RadialSquash = 4,
  AnamorphicMerged6 = 5,
  StdRadial4 = 6,
  StdAnamorphic6 = 7,
  StdAnamorphicMerged6 = 8,
  FisheyeStereographic = 9,
  FisheyeEquidistant = 10,
  FisheyeEquisolid = 11,
  FisheyeOrthographic = 12,
};
// Short names for the kinds.
constexpr ModelKind kModelClassic = ModelKind::Classic;
constexpr ModelKind kModelRadial4 = ModelKind::Radial4;
constexpr ModelKind kModelAnamorphic6 = ModelKind::Anamorphic6;
constexpr ModelKind kModelRadialSquash = ModelKind::RadialSquash;
constexpr ModelKind kModelAnamorphicMerged6 = ModelKind::AnamorphicMerged6;
constexpr ModelKind kModelStdRadial4 = ModelKind::StdRadial4;
constexpr ModelKind kModelStdAnamorphic6 = ModelKind::StdAnamorphic6;
constexpr ModelKind kModelStdAnamorphicMerged6 = ModelKind::StdAnamorphicMerged6;
constexpr ModelKind kModelFisheyeStereographic = ModelKind::FisheyeStereographic;
constexpr ModelKind kModelFisheyeEquidistant = ModelKind::FisheyeEquidistant;
constexpr ModelKind kModelFisheyeEquisolid = ModelKind::FisheyeEquisolid;
constexpr ModelKind kModelFisheyeOrthographic = ModelKind::FisheyeOrthographic;

// Slots of `LensParams::coef`.
constexpr int32_t kLensCoefCount = 23;

// A point of two doubles.
struct Point2 {
  double x;
  double y;
};

// The lens inputs. Field order is fixed; see `ResetLensParams` for the defaults.
//
// `coef` by kind (a kind ignores slots not listed for it):
//   4 radial+squash:        0 C2, 1 C3, 2 C4, 3 ECC, 4 VSCL, 5 HCTR, 6 VCTR
//   2, 6 radial 4th-order:  0 C2, 1 U2, 2 V2, 3 C4, 4 U4, 5 V4, 6 HCTR, 7 VCTR
//   5, 8 merged anamorphic: 0..8 C02 C22 C04 C24 C44 C06 C26 C46 C66, 9 HCTR, 10 VCTR,
//                           11 HSCL, 12 VSCL, 13 ROT (radians)
//   3, 7 anamorphic:        0..8 CX02..CX66, 9..17 CY02..CY66 (same order), 18 HCTR,
//                           19 VCTR, 20 HSCL, 21 VSCL, 22 ROT (radians)
//   9..12 fisheye:          0 C2, 1 C4, 2 C6, 3 C8, 4 Scale, 5 AngFac, 6 HCTR, 7 VCTR
// HCTR and VCTR offset the distorted image's centre, in normalised units.
struct LensParams {
  double quadratic;     // classic r^2 coefficient
  double cubic;         // classic r^3 coefficient
  double quartic;       // classic r^4 coefficient
  double hCenter;       // classic horizontal offset of the distorted centre
  double vCenter;       // classic vertical offset of the distorted centre
  double eccentricity;  // classic weight of the vertical term in the squared radius
  double invVScale;     // 1 / vScale, written by the classic kind's set-up
  double vScale;        // classic vertical scale
  ModelKind kind;
  double coef[kLensCoefCount];
  double squeeze;  // anamorphic squeeze (kinds 3, 5, 7, 8)
};

struct LensModel;

// One direction of a kind's mapping. Takes the set-up model, a normalised point and the
// radius scale (only the fisheye kinds read it; callers pass 1.0); writes 1 or 0 to
// `valid` when it is not null and returns the mapped point, also when it is not valid.
typedef Point2 (*LensMappingFn)(const LensModel& model, Point2 in, double radiusScale,
                                int32_t* valid);

// A set-up lens model. Construct, `SetParameters`, map any number of times (concurrently),
// destroy. The record owns the classic kind's two tables, so it cannot be copied.
struct LensModel {
  LensParams params;                // copy of the inputs (the classic kind fills invVScale)
  double aspect;                    // width x pixel aspect / height of the undistorted image
  int32_t isIdentity;               // maps every point to itself; both entry points bypass
  int32_t simpleForm;               // classic: quadratic term only; fisheye: no angle terms
  int32_t negativeBranch;           // classic: negative eccentricity, second table in use
  RadialTable radialTable;          // classic: inverse for non-negative squared radius
  RadialTable negativeRadialTable;  // classic: inverse for negative squared radius
  LensMappingFn distortFn;          // undistorted to distorted; null when nothing installed
  LensMappingFn undistortFn;        // distorted to undistorted; null when nothing installed
  double toModelX;                  // normalised x to the isotropic model frame
  double toModelY;                  // normalised y to the model frame (flips y)
  double fromModelX;                // model frame back to normalised x
  double fromModelY;                // model frame back to normalised y
  double polyX[9];  // anamorphic x factor in monomials (merged kinds: the one factor)
  double polyY[9];  // anamorphic y factor in monomials (kinds 3 and 7)
  double cosRot;    // cosine of the anamorphic rotation
  double sinRot;    // sine of the anamorphic rotation

  // An empty model: tables reset (owning nothing), no functions installed, kind -1.
  LensModel();
  // Releases both tables.
  ~LensModel();
  LensModel(const LensModel&) = delete;
  LensModel& operator=(const LensModel&) = delete;
};

// Sets the fields with a default to it: classic coefficients and centre 0, eccentricity,
// vScale and squeeze 1, kind 1. `coef` is left as it is: whoever picks a kind writes every
// slot that kind reads.
void ResetLensParams(LensParams& params);

// Sets `model` up for `params` and the undistorted image's `aspect`: copies both, decides
// whether the model is the identity, and runs `PrepareKind`. May be called again on the
// same record; tables of an earlier set-up are released first. If building a classic
// table throws (allocation), both tables are left empty and the exception propagates.
void SetParameters(LensModel& model, const LensParams& params, double aspect);

// Installs `distortFn` and `undistortFn` for `model.params.kind` and precomputes what
// they read. A kind outside 1 to 12 installs nothing. Run by `SetParameters`.
void PrepareKind(LensModel& model);

// Undistorted normalised position to distorted. The identity (and a kind with nothing
// installed) returns `in` with validity 1.
Point2 Distort(const LensModel& model, Point2 in, double radiusScale, int32_t* valid);

// Distorted normalised position to undistorted. The identity (and a kind with nothing
// installed) returns `in` with validity 1.
Point2 Undistort(const LensModel& model, Point2 in, double radiusScale, int32_t* valid);
