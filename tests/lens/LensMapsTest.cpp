// Every lens kind mapped both ways: golden values at fixed points, values worked by hand,
// the validity at folds, and round trips over the image.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "LensTestSupport.h"
#include "support/GoldenValues.h"

namespace {

const double kRoot2 = std::sqrt(2.0);

const double kGolden[] = {
#include "LensMapsGolden.inc"
};

LensParams Classic(double k, double c, double q, double e, double vScale, double h, double v) {
  LensParams p = NeutralParams(kModelClassic);
  p.quadratic = k;
  p.cubic = c;
  p.quartic = q;
  p.eccentricity = e;
  p.vScale = vScale;
  p.hCenter = h;
  p.vCenter = v;
  return p;
}

LensParams Slots(ModelKind kind, std::vector<double> slots, double squeeze = 1.0) {
  LensParams p = NeutralParams(kind);
  for (size_t i = 0; i < slots.size(); ++i) p.coef[i] = slots[i];
  p.squeeze = squeeze;
  return p;
}

// Anamorphic slots: x factor 02..66, y factor 02..66, HCTR, VCTR, HSCL, VSCL, ROT.
const std::vector<double> kAnamorphic = {
    -0.06, 0.012,   0.008, -0.002,  0.001,  -0.0015, 0.0004, 0.0002, -0.0001, -0.05, -0.01, 0.006,
    0.003, -0.0015, 0.001, -0.0003, 0.0001, 0.00005, 0.012,  -0.008, 1.01,    0.985, 0.0349};
const std::vector<double> kAnamorphicStrong = {
    0.25, 0.08,   0.06,  -0.03, 0.02,   0.01,  -0.005, 0.004, 0.002, -0.2, 0.06, 0.04,
    0.02, -0.015, 0.008, 0.003, -0.002, 0.001, -0.03,  0.02,  0.92,  1.07, -0.21};
const std::vector<double> kMerged = {0.25,  0.08,  0.06,  -0.03, 0.02, 0.01, -0.005,
                                     0.004, 0.002, -0.03, 0.02,  0.92, 1.07, -0.21};
const std::vector<double> kRadial4 = {-0.08, 0.004, -0.003, 0.01, 0.001, -0.002, 0.01, -0.02};
const std::vector<double> kRadial4Strong = {0.35, 0.05, -0.04, 0.15, 0.02, -0.03, 0.05, -0.03};
const std::vector<double> kSquash = {-0.05, 0.01, 0.005, 0.9, 1.02, 0.01, 0.0};
const std::vector<double> kSquashStrong = {0.3, -0.1, 0.08, 1.3, 0.8, -0.02, 0.03};
const std::vector<double> kFisheye = {0.04, -0.012, 0.002, -0.0001, 0.95, 1.1, 0.01, -0.02};
const std::vector<double> kFisheyeStrong = {-0.1, 0.02, 0.0, 0.0, 0.9, 0.7, 0.0, 0.0};
const std::vector<double> kFisheyeSimple = {0.0, 0.0, 0.0, 0.0, 0.8, 0.9, 0.02, -0.01};

struct LensCase {
  const char* what;
  LensParams params;
  double aspect;
};

// Realistic and strong coefficients of every kind, each branch of a kind's set-up once.
std::vector<LensCase> Lenses() {
  std::vector<LensCase> lenses = {
      {"classic", Classic(-0.05, 0.01, 0.002, 0.95, 1.02, 0.01, -0.02), 16.0 / 9.0},
      {"classic negative eccentricity", Classic(0.1, 0.0, 0.01, -0.5, 1.0, 0.0, 0.02), 1.5},
      {"classic simple", Classic(-0.05, 0.0, 0.0, 1.0, 1.0, 0.0, 0.0), 1.0},
      {"radial 4", Slots(kModelRadial4, kRadial4), 16.0 / 9.0},
      {"radial 4 strong", Slots(kModelRadial4, kRadial4Strong), 0.75},
      {"std radial 4", Slots(kModelStdRadial4, kRadial4), 16.0 / 9.0},
      {"std radial 4 strong", Slots(kModelStdRadial4, kRadial4Strong), 2.39},
      {"squash", Slots(kModelRadialSquash, kSquash), 16.0 / 9.0},
      {"squash strong", Slots(kModelRadialSquash, kSquashStrong), 1.33},
      {"anamorphic", Slots(kModelAnamorphic6, kAnamorphic, 2.0), 16.0 / 9.0},
      {"anamorphic strong", Slots(kModelAnamorphic6, kAnamorphicStrong, 1.33), 1.2},
      {"std anamorphic", Slots(kModelStdAnamorphic6, kAnamorphic, 2.0), 16.0 / 9.0},
      {"std anamorphic strong", Slots(kModelStdAnamorphic6, kAnamorphicStrong, 1.33), 1.2},
      {"merged", Slots(kModelAnamorphicMerged6, kMerged, 2.0), 16.0 / 9.0},
      {"std merged", Slots(kModelStdAnamorphicMerged6, kMerged, 1.33), 1.6},
  };
  for (const ModelKind kind : {kModelFisheyeStereographic, kModelFisheyeEquidistant,
                               kModelFisheyeEquisolid, kModelFisheyeOrthographic}) {
    lenses.push_back({"fisheye", Slots(kind, kFisheye), 16.0 / 9.0});
    lenses.push_back({"fisheye strong", Slots(kind, kFisheyeStrong), 16.0 / 9.0});
    lenses.push_back({"fisheye simple", Slots(kind, kFisheyeSimple), 1.85});
  }
  return lenses;
}

TEST(LensMapsGolden, MatchesTheGoldenValues) {
  GoldenValues golden;
  for (const LensCase& lens : Lenses()) {
    LensModel model;
    SetParameters(model, lens.params, lens.aspect);
    for (const Point2 p : {Point2{0.3, -0.2}, Point2{-0.8, 0.6}, Point2{1.1, 1.3}}) {
      for (const bool distort : {true, false}) {
        // The fisheye kinds scale their rectilinear side by the radius scale.
        const double scale = lens.params.kind >= kModelFisheyeStereographic ? 1.5 : 1.0;
        int32_t valid = -1;
        const Point2 q =
            distort ? Distort(model, p, scale, &valid) : Undistort(model, p, scale, &valid);
        const std::string what = std::string(lens.what) + " kind " +
                                 std::to_string(static_cast<int>(lens.params.kind)) + " at " +
                                 std::to_string(p.x) + (distort ? " distort" : " undistort");
        golden.Add(what + " x", q.x);
        golden.Add(what + " y", q.y);
        golden.Add(what + " valid", valid);
      }
    }
  }
  golden.Expect(kGolden, sizeof kGolden / sizeof kGolden[0]);
}

TEST(LensMaps, ValuesWorkedByHand) {
  const double kDiagonal = 1.1107207345395915;  // pi sqrt(2) / 4: a ray 45 degrees off axis
  const LensParams equidistant = Slots(kModelFisheyeEquidistant, {0, 0, 0, 0, 1, 1});
  const LensParams barrel = Classic(-0.1, 0, 0, 1, 1, 0, 0);
  const LensParams noAngle = Slots(kModelFisheyeEquisolid, {0.01, 0, 0, 0, 1, 0, 0.1, -0.05});
  const LensParams noScale = Slots(kModelFisheyeStereographic, {0.01, 0, 0, 0, 0, 1, 0.1, -0.05});
  const struct {
    const char* what;
    LensParams params;
    double aspect;
    bool distort;
    Point2 from, to;
    int32_t valid;
  } cases[] = {
      {"diagonal ray", equidistant, 1.0, true, {1.0, 0.0}, {kDiagonal, 0.0}, 1},
      // Aspect 3/4 puts the corner at model radius 1: it moves out by 1 + C2.
      {"radial corner", Slots(kModelRadial4, {0.05}), 0.75, true, {1, 1}, {1.05, 1.05}, 1},
      // g = 1 - 0.1 y^2: 0.676 at 1.8 is before the fold, 0.639 at 1.9 past it.
      {"before the fold", barrel, 1.0, true, {0.0, 1.8}, {0.0, 1.8 * 0.676}, 1},
      {"past the fold", barrel, 1.0, true, {0.0, 1.9}, {0.0, 1.9 * 0.639}, 0},
      // No coefficient: a negative squared radius keeps its radius, the vertical scale acts.
      {"vertical scale", Classic(0, 0, 0, -0.5, 2, 0, 0), 1.0, false, {0.1, 0.5}, {0.1, 1}, 1},
      // Zero angle factor or zero scale: the distort direction collapses onto the centre.
      {"no angle", noAngle, 1.5, true, {0.7, -0.4}, {0.1, -0.05}, 1},
      {"no scale", noScale, 1.5, true, {0.7, -0.4}, {0.1, -0.05}, 1},
  };
  for (const auto& c : cases) {
    LensModel model;
    SetParameters(model, c.params, c.aspect);
    int32_t valid = -1;
    const Point2 out =
        c.distort ? Distort(model, c.from, 1.0, &valid) : Undistort(model, c.from, 1.0, &valid);
    EXPECT_NEAR(out.x, c.to.x, 1e-14) << c.what;
    EXPECT_NEAR(out.y, c.to.y, 1e-14) << c.what;
    EXPECT_EQ(valid, c.valid) << c.what;
  }
}

// Where the factor turns back (a fold) or stops being positive, the map is invalid but
// still returns a finite point.
TEST(LensMaps, ValidityAtFolds) {
  const LensParams radialFold = Slots(kModelRadial4, {-1.0});  // turns at r = 1 / sqrt 3
  const LensParams anamorphicFold = Slots(kModelAnamorphic6, {-2, 0, 0, 0, 0, 0, 0, 0, 0, -2});
  const LensParams angleFold = Slots(kModelFisheyeEquidistant, {-1, 0, 0, 0, 1, 1});
  const struct {
    LensParams params;
    double aspect;
    bool distort;
    Point2 at;
    int32_t valid;
  } cases[] = {
      {radialFold, 0.75, true, {0.55, 0.55}, 1},
      {radialFold, 0.75, true, {-0.6, -0.6}, 0},
      {radialFold, 0.75, false, {0.5, 0.5}, 0},  // beyond the largest distorted radius
      {Slots(kModelStdRadial4, {-1.0}), 0.75, false, {0.6, 0.6}, 0},
      {Slots(kModelRadialSquash, {-1.0}), 0.75, true, {1.2, 1.2}, 0},
      {anamorphicFold, 0.75, true, {0.3, 0.3}, 1},
      {anamorphicFold, 0.75, true, {-0.5, -0.5}, 0},
      {anamorphicFold, 0.75, false, {0.8, 0.8}, 0},
      {Slots(kModelAnamorphic6, {0, 0, 0, 0, 0, 0, 0, 0, 0, -2}), 1.0, true, {0.0, 1.0}, 0},
      {Slots(kModelAnamorphic6, {0, 0, 0, 0, 0, 0, 0, 0, 0, -2}), 1.0, true, {1.0, 0.0}, 1},
      {Classic(-0.1, 0, 0, 0.5, 1, 0, 0), 1.0, true, {1.8, 0.0}, 1},
      {Classic(-0.1, 0, 0, 0.5, 1, 0, 0), 1.0, true, {1.83, 0.0}, 0},
      // Points on the model x axis of aspect 1 at model radius r lie at x = r sqrt 2.
      {angleFold, 1.0, false, {0.5 * kRoot2, 0.0}, 1},
      {angleFold, 1.0, false, {0.7 * kRoot2, 0.0}, 0},
      {angleFold, 1.0, true, {std::tan(0.38), 0.0}, 1},
      {angleFold, 1.0, true, {std::tan(0.5), 0.0}, 0},
      {Slots(kModelFisheyeEquidistant, {0, 0, 0, 0, 1, 1}), 1.0, false, {1.6 * kRoot2, 0}, 0},
      {Slots(kModelFisheyeEquisolid, {0, 0, 0, 0, 1.5, 1}), 1.0, false, {kRoot2, 0.0}, 0},
  };
  for (const auto& c : cases) {
    LensModel model;
    SetParameters(model, c.params, c.aspect);
    int32_t valid = -1;
    const Point2 out =
        c.distort ? Distort(model, c.at, 1.0, &valid) : Undistort(model, c.at, 1.0, &valid);
    EXPECT_EQ(valid, c.valid) << c.params.kind << " at " << c.at.x << ", " << c.at.y;
    EXPECT_TRUE(std::isfinite(out.x) && std::isfinite(out.y)) << c.params.kind;
  }
}

TEST(LensMaps, RoundTripsOverTheImage) {
  for (const LensCase& lens : Lenses()) {
    LensModel model;
    SetParameters(model, lens.params, lens.aspect);
    for (const bool distortFirst : {true, false}) {
      int invalid = -1;
      EXPECT_LT(RoundTripError(model, distortFirst, invalid), 1e-9) << lens.what;
      EXPECT_EQ(invalid, 0) << lens.what << " kind " << lens.params.kind;
    }
  }
}

}  // namespace
