// Every lens kind mapped both ways (tests/models pins their bits through the module): values
// worked by hand, validity at folds, round trips; then the batched mappings on every processor
// path here against the one-point ones, over points that reach folds, invalid points, the
// centre, signed zeros, huge and tiny radii and non-numbers: the same bits (+0 and -0 count as
// one) and the same validity flags.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "Lens/BatchedMapping.h"
#include "LensTestSupport.h"
#include "Resampling/CpuFeatures.h"

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr int32_t kPointsPerDirection = 1 << 15;  // the sanitizers are some 20 times slower
#else
constexpr int32_t kPointsPerDirection = 1 << 19;  // two directions: over 10^6 per kind
#endif

const double kRoot2 = std::sqrt(2.0);

using Slots = std::vector<std::pair<int, double>>;  // slot, value; others neutral
const Slots kAnamorphic = {{0, -0.5},  {1, 0.03},  {2, 0.05},  {4, -0.01}, {5, 0.02}, {9, -0.15},
                           {11, 0.04}, {13, 0.02}, {20, 1.05}, {21, 0.97}, {22, 0.1}};

// Strong enough that the images' corners fold or leave the map's range.
struct KindCase {
  ModelKind kind;
  Slots coefs;
  double squeeze = 1.0;
  double aspect = 16.0 / 9.0;
} const kCases[] = {
    // Classic slots: quadratic, cubic, quartic, eccentricity, vScale, hCenter, vCenter.
    {kModelClassic,
     {{0, -0.05}, {1, 0.01}, {2, 0.002}, {3, 0.95}, {4, 1.02}, {5, 0.01}, {6, -0.02}}},
    {kModelClassic, {{0, 0.1}, {2, 0.01}, {3, -0.5}, {6, 0.02}}, 1.0, 1.5},
    {kModelClassic, {{0, -0.05}}, 1.0, 1.0},  // the simple form
    {kModelRadial4, {{0, -0.45}, {1, 0.02}, {2, -0.03}, {3, 0.03}, {4, 0.01}, {5, -0.02}}},
    {kModelStdRadial4, {{0, -0.5}, {3, 0.05}, {1, 0.01}}},
    // No decentring: the lanes take their shortcut; -0.0 turns it off.
    {kModelStdRadial4, {{0, -0.5}, {3, 0.05}}},
    {kModelRadial4, {{0, -0.45}, {3, 0.03}}},
    {kModelRadial4, {{0, -0.45}, {3, 0.03}, {5, -0.0}}},
    {kModelRadialSquash, {{0, -0.4}, {1, 0.05}, {2, 0.03}, {3, 0.8}, {4, 1.1}}},
    {kModelRadialSquash, {{0, 0.1}, {1, -0.3}, {3, -0.5}}},
    {kModelAnamorphic6, kAnamorphic, 1.5, 1.2},
    {kModelStdAnamorphic6,
     {{0, -0.1}, {3, 0.02}, {8, 0.01}, {9, -0.12}, {12, 0.03}, {20, 0.9}, {22, -0.05}},
     2.0},
    {kModelAnamorphicMerged6, {{0, -0.3}, {1, 0.05}, {2, 0.1}, {6, -0.02}, {13, 0.2}}, 1.3},
    {kModelStdAnamorphicMerged6, {{0, -0.2}, {3, 0.04}, {11, 1.1}, {12, 0.9}, {13, -0.1}}},
    {kModelFisheyeStereographic, {{0, 0.3}, {1, -0.2}, {4, 1.2}, {5, 0.9}}},
    {kModelFisheyeEquidistant, {{0, -0.3}, {2, 0.01}, {4, 1.5}}},
    {kModelFisheyeEquisolid, {{0, -0.3}, {1, 0.02}, {4, 1.0}, {5, 1.1}}},
    {kModelFisheyeOrthographic, {{0, 0.1}, {3, -0.01}, {4, 0.8}}},
    {kModelFisheyeEquisolid, {{4, 0.8}, {5, 0.9}, {6, 0.02}, {7, -0.01}}, 1.0, 1.85},  // simple
    {kModelStdRadial4, {}},  // the identity
};

LensParams ParamsOf(const KindCase& c) {
  LensParams p = KindParams(c.kind);
  double* classic[] = {&p.quadratic, &p.cubic,   &p.quartic, &p.eccentricity,
                       &p.vScale,    &p.hCenter, &p.vCenter};
  for (const auto& [slot, value] : c.coefs) {
    *(c.kind == kModelClassic ? classic[slot] : &p.coef[slot]) = value;
  }
  p.squeeze = c.squeeze;
  return p;
}

// Each point of a 21 x 21 grid over the middle of the image one way and back, both orders.
TEST(LensMaps, RoundTrips) {
  for (const KindCase& c : kCases) {
    LensModel model;
    SetParameters(model, ParamsOf(c), c.aspect);
    for (int32_t i = 0; i < 21 * 21 * 2; ++i) {
      const Point2 p{-0.4 + (i % 21) / 25.0, -0.4 + (i / 21 % 21) / 25.0};
      const bool distortFirst = i < 21 * 21;
      int32_t there = -1, back = -1;
      const Point2 q =
          distortFirst ? Distort(model, p, 1.0, &there) : Undistort(model, p, 1.0, &there);
      const Point2 r =
          distortFirst ? Undistort(model, q, 1.0, &back) : Distort(model, q, 1.0, &back);
      ASSERT_TRUE(there == 1 && back == 1 && std::fabs(r.x - p.x) < 1e-9 &&
                  std::fabs(r.y - p.y) < 1e-9)
          << "case " << &c - kCases << " at " << p.x << ", " << p.y << ": " << r.x << ", " << r.y;
    }
  }
}

// A lens of `kind` with slots 0, 1, ... set to `values` (classic: its named fields).
LensParams Lens(ModelKind kind, const std::vector<double>& values) {
  KindCase c{kind, {}};
  for (size_t i = 0; i < values.size(); ++i) c.coefs.push_back({static_cast<int>(i), values[i]});
  return ParamsOf(c);
}

// Values worked by hand (`to`; NaN: only the validity is checked) and the validity where
// the factor turns back (a fold) or stops being positive; the point stays finite.
TEST(LensMaps, ValuesWorkedByHandAndValidityAtFolds) {
  const double n = std::nan("");
  const LensParams equidistant = Lens(kModelFisheyeEquidistant, {0, 0, 0, 0, 1, 1});
  const LensParams barrel = Lens(kModelClassic, {-0.1, 0, 0, 1, 1, 0, 0});
  const LensParams radialFold = Lens(kModelRadial4, {-1.0});  // turns at r = 1 / sqrt 3
  const LensParams anamorphicFold = Lens(kModelAnamorphic6, {-2, 0, 0, 0, 0, 0, 0, 0, 0, -2});
  const LensParams yFold = Lens(kModelAnamorphic6, {0, 0, 0, 0, 0, 0, 0, 0, 0, -2});
  const LensParams angleFold = Lens(kModelFisheyeEquidistant, {-1, 0, 0, 0, 1, 1});
  const LensParams noAngle = Lens(kModelFisheyeEquisolid, {0.01, 0, 0, 0, 1, 0, 0.1, -0.05});
  const LensParams noScale = Lens(kModelFisheyeStereographic, {0.01, 0, 0, 0, 0, 1, 0.1, -0.05});
  const struct {
    LensParams params;
    double aspect;
    bool distort;
    Point2 at, to;
    int32_t valid;
  } cases[] = {
      // pi sqrt(2) / 4: a ray 45 degrees off axis.
      {equidistant, 1.0, true, {1.0, 0.0}, {1.1107207345395915, 0.0}, 1},
      // Aspect 3/4 puts the corner at model radius 1: it moves out by 1 + C2.
      {Lens(kModelRadial4, {0.05}), 0.75, true, {1, 1}, {1.05, 1.05}, 1},
      // g = 1 - 0.1 y^2: 0.676 at 1.8 is before the fold, 0.639 at 1.9 past it.
      {barrel, 1.0, true, {0.0, 1.8}, {0.0, 1.8 * 0.676}, 1},
      {barrel, 1.0, true, {0.0, 1.9}, {0.0, 1.9 * 0.639}, 0},
      // No coefficient: a negative squared radius keeps its radius, the vertical scale acts.
      {Lens(kModelClassic, {0, 0, 0, -0.5, 2, 0, 0}), 1.0, false, {0.1, 0.5}, {0.1, 1}, 1},
      // Zero angle factor or zero scale: the distort direction collapses onto the centre.
      {noAngle, 1.5, true, {0.7, -0.4}, {0.1, -0.05}, 1},
      {noScale, 1.5, true, {0.7, -0.4}, {0.1, -0.05}, 1},
      {radialFold, 0.75, true, {0.55, 0.55}, {n, n}, 1},
      {radialFold, 0.75, true, {-0.6, -0.6}, {n, n}, 0},
      {radialFold, 0.75, false, {0.5, 0.5}, {n, n}, 0},  // beyond the largest distorted radius
      {Lens(kModelRadialSquash, {-1.0}), 0.75, true, {1.2, 1.2}, {n, n}, 0},
      {anamorphicFold, 0.75, true, {0.3, 0.3}, {n, n}, 1},
      {anamorphicFold, 0.75, true, {-0.5, -0.5}, {n, n}, 0},
      {yFold, 1.0, true, {0.0, 1.0}, {n, n}, 0},
      {yFold, 1.0, true, {1.0, 0.0}, {n, n}, 1},
      {Lens(kModelClassic, {-0.1, 0, 0, 0.5, 1, 0, 0}), 1.0, true, {1.8, 0.0}, {n, n}, 1},
      {Lens(kModelClassic, {-0.1, 0, 0, 0.5, 1, 0, 0}), 1.0, true, {1.83, 0.0}, {n, n}, 0},
      // Points on the model x axis of aspect 1 at model radius r lie at x = r sqrt 2.
      {angleFold, 1.0, false, {0.5 * kRoot2, 0.0}, {n, n}, 1},
      {angleFold, 1.0, false, {0.7 * kRoot2, 0.0}, {n, n}, 0},
      {angleFold, 1.0, true, {std::tan(0.5), 0.0}, {n, n}, 0},
      {equidistant, 1.0, false, {1.6 * kRoot2, 0}, {n, n}, 0},
      {Lens(kModelFisheyeEquisolid, {0, 0, 0, 0, 1.5, 1}), 1.0, false, {kRoot2, 0.0}, {n, n}, 0},
  };
  for (const auto& c : cases) {
    LensModel model;
    SetParameters(model, c.params, c.aspect);
    int32_t valid = -1;
    const Point2 out =
        c.distort ? Distort(model, c.at, 1.0, &valid) : Undistort(model, c.at, 1.0, &valid);
    EXPECT_EQ(valid, c.valid) << &c - cases;
    EXPECT_TRUE(std::isfinite(out.x) && std::isfinite(out.y)) << &c - cases;
    if (!std::isnan(c.to.x)) {
      EXPECT_NEAR(out.x, c.to.x, 1e-14) << &c - cases;
      EXPECT_NEAR(out.y, c.to.y, 1e-14) << &c - cases;
    }
  }
}

// Special values in every pairing, a grid over the image and beyond, then random points
// near and far (radii 1e-12 to 1e6).
void MakePoints(std::vector<double>& x, std::vector<double>& y) {
  const double inf = std::numeric_limits<double>::infinity();
  const double specials[] = {0.0, -0.0, 1e-300, -1e-300, 5e-324, 1e-9, 1.0,         -1.0,
                             3.0, 1e8,  -1e8,   1e300,   inf,    -inf, std::nan("")};
  for (double a : specials) {
    for (double b : specials) x.push_back(a), y.push_back(b);
  }
  for (int32_t i = 0; static_cast<int32_t>(x.size()) < kPointsPerDirection / 2; ++i) {
    x.push_back(-3.0 + 6.0 * (i % 512) / 511), y.push_back(-3.0 + 6.0 * (i / 512) / 511);
  }
  std::mt19937_64 random(20240613);
  std::uniform_real_distribution<double> near(-2.5, 2.5), exponent(-12.0, 6.0);
  while (static_cast<int32_t>(x.size()) < kPointsPerDirection) {
    const double r = random() % 4 == 0 ? std::pow(10.0, exponent(random)) : 0.0;
    const double t = near(random), u = near(random);
    x.push_back(r > 0.0 ? r * std::cos(t) : t), y.push_back(r > 0.0 ? r * std::sin(t) : u);
  }
}

// +0 and -0 are one value, and so are all NaNs: which NaN an operation passes on depends on
// the operand order the compiler picks for a commutative operation, and every filter
// treats any NaN position as unmappable.
bool Same(double a, double b) {
  return SameBits(a, b) || (a == 0.0 && b == 0.0) || (std::isnan(a) && std::isnan(b));
}

std::vector<MappingPath> Paths() {
  std::vector<MappingPath> paths;
  for (MappingPath p : {MappingPath::Sse2, MappingPath::Avx2, MappingPath::Avx512}) {
    if (PathAvailable(p)) paths.push_back(p);
  }
  return paths;
}

TEST(BatchedMapping, EveryPathGivesTheOnePointBits) {
  std::vector<double> x, y;
  MakePoints(x, y);
  const int32_t n = static_cast<int32_t>(x.size());
  std::vector<double> refX(n), refY(n), outX(n), outY(n);
  std::vector<int32_t> refValid(n), outValid(n);
  for (const KindCase& c : kCases) {
    LensModel model;
    SetParameters(model, ParamsOf(c), c.aspect);
    for (MapDirection direction : {MapDirection::Distort, MapDirection::Undistort}) {
      const bool distort = direction == MapDirection::Distort;
      int32_t invalid = 0;
      for (int32_t i = 0; i < n; ++i) {
        const Point2 p{x[i], y[i]};
        const Point2 q =
            distort ? Distort(model, p, 1.0, &refValid[i]) : Undistort(model, p, 1.0, &refValid[i]);
        refX[i] = q.x;
        refY[i] = q.y;
        invalid += refValid[i] == 0;
        ASSERT_TRUE(refValid[i] == 0 || refValid[i] == 1);
      }
      // The classic inverse is a table lookup, valid everywhere; the identity and a fisheye
      // without angle terms are too.
      const bool neverInvalid =
          (c.coefs.empty() && c.kind != kModelClassic) || (c.kind == kModelClassic && !distort) ||
          (c.kind >= kModelFisheyeStereographic && model.simpleForm && distort);
      EXPECT_TRUE(neverInvalid ? invalid == 0 : invalid > n / 100)
          << &c - kCases << " " << distort << " " << invalid;
      for (MappingPath path : Paths()) {
        // Odd counts leave part of the last register empty.
        MapPointsBatched(model, direction, path, x.data(), y.data(), n - 3, outX.data(),
                         outY.data(), outValid.data());
        int32_t wrong = 0;
        for (int32_t i = 0; i < n - 3; ++i) {
          const bool same =
              Same(outX[i], refX[i]) && Same(outY[i], refY[i]) && outValid[i] == refValid[i];
          if (!same && ++wrong <= 3) {
            ADD_FAILURE() << "case " << &c - kCases << " distort " << distort << " path "
                          << static_cast<int>(path) << " at (" << x[i] << ", " << y[i] << ")";
          }
        }
        EXPECT_EQ(wrong, 0);
      }
    }
  }
}

// Whole runs, frame transforms, zoom, float roundings and the marker included, with run
// lengths that end inside a register.
TEST(BatchedMapping, RunsMatchTheOnePointRun) {
  for (const KindCase& c : kCases) {
    LensModel model;
    SetParameters(model, ParamsOf(c), c.aspect);
    for (MapDirection direction : {MapDirection::Distort, MapDirection::Undistort}) {
      RunMapping mapping{&model, direction,      {2.0 / 1920, 2.0 / 1080}, {-1.0, -1.0},
                         0.8,    {960.0, 540.0}, {959.5, 539.5},           nullptr};
      for (int32_t count : {64, 63, 1, 0}) {
        for (int32_t row = -100; row < 1200; row += 13) {
          PointPacket outputs, expected, actual;
          SetRunCount(outputs, count, 0);
          Ramp(outputs.x, -200.0f + static_cast<float>(row) * 1.7f, 37.0f);
          Fill(outputs.y, static_cast<float>(row));
          MapRunPerPoint(mapping, outputs, expected);
          for (MappingPath path : Paths()) {
            mapping.map = SelectRunMapping(model, direction, path);
            MapRunToSource(mapping, outputs, actual);
            ASSERT_EQ(actual.x.count, count);
            for (int32_t k = 0; k < count; ++k) {
              ASSERT_TRUE(Same(actual.x[k], expected.x[k]) && Same(actual.y[k], expected.y[k]))
                  << "kind " << c.kind << " path " << static_cast<int>(path) << " row " << row
                  << " k " << k;
            }
          }
        }
      }
    }
  }
}

}  // namespace
