// The batched lens mappings against the one-point ones: every kind, both directions, every
// processor path this machine has, over a grid and random points that reach folds, invalid
// points, the centre, signed zeros, huge and tiny radii and non-numbers. Positions must be
// the same bits (+0 and -0 count as one) and the validity flags the same.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
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

struct KindCase {
  ModelKind kind;
  std::vector<std::pair<int, double>> coefs;  // slot, value; others neutral
  double squeeze;
};

// Strong enough that the images' corners fold or leave the map's range.
const KindCase kCases[] = {
    {kModelClassic, {}, 1.0},  // quadratic etc. set below
    {kModelRadial4, {{0, -0.45}, {1, 0.02}, {2, -0.03}, {3, 0.03}, {4, 0.01}, {5, -0.02}}, 1.0},
    {kModelStdRadial4, {{0, -0.5}, {3, 0.05}, {1, 0.01}}, 1.0},
    // No decentring: the lanes take their shortcut; -0.0 turns it off.
    {kModelStdRadial4, {{0, -0.5}, {3, 0.05}}, 1.0},
    {kModelRadial4, {{0, -0.45}, {3, 0.03}}, 1.0},
    {kModelRadial4, {{0, -0.45}, {3, 0.03}, {5, -0.0}}, 1.0},
    {kModelRadialSquash, {{0, -0.4}, {1, 0.05}, {2, 0.03}, {3, 0.8}, {4, 1.1}}, 1.0},
    {kModelRadialSquash, {{0, 0.1}, {1, -0.3}, {3, -0.5}}, 1.0},
    {kModelAnamorphic6,
     {{0, -0.5}, {1, 0.03}, {2, 0.05}, {4, -0.01}, {5, 0.02}, {9, -0.15}, {11, 0.04},
      {13, 0.02}, {20, 1.05}, {21, 0.97}, {22, 0.1}},
     1.5},
    {kModelStdAnamorphic6,
     {{0, -0.1}, {3, 0.02}, {8, 0.01}, {9, -0.12}, {12, 0.03}, {20, 0.9}, {22, -0.05}},
     2.0},
    {kModelAnamorphicMerged6, {{0, -0.3}, {1, 0.05}, {2, 0.1}, {6, -0.02}, {13, 0.2}}, 1.3},
    {kModelStdAnamorphicMerged6, {{0, -0.2}, {3, 0.04}, {11, 1.1}, {12, 0.9}, {13, -0.1}}, 1.0},
    {kModelFisheyeStereographic, {{0, 0.3}, {1, -0.2}, {4, 1.2}, {5, 0.9}}, 1.0},
    {kModelFisheyeEquidistant, {{0, -0.3}, {2, 0.01}, {4, 1.5}}, 1.0},
    {kModelFisheyeEquisolid, {{0, -0.3}, {1, 0.02}, {4, 1.0}, {5, 1.1}}, 1.0},
    {kModelFisheyeOrthographic, {{0, 0.1}, {3, -0.01}, {4, 0.8}}, 1.0},
    {kModelStdRadial4, {}, 1.0},  // the identity
};

LensParams ParamsOf(const KindCase& c) {
  LensParams p = NeutralParams(c.kind);
  for (const auto& [slot, value] : c.coefs) p.coef[slot] = value;
  p.squeeze = c.squeeze;
  if (c.kind == kModelClassic) {
    p.quadratic = -0.3;
    p.cubic = 0.01;
    p.quartic = 0.02;
    p.eccentricity = 0.9;
    p.vScale = 1.1;
  }
  return p;
}

// A grid over the image and beyond, then random points near and far, and special values.
void MakePoints(std::vector<double>& x, std::vector<double>& y) {
  const double specials[] = {0.0, -0.0, 1e-300, -1e-300, 5e-324, 1e-9, 1.0, -1.0, 3.0, 1e8,
                             -1e8, 1e300, std::numeric_limits<double>::infinity(),
                             -std::numeric_limits<double>::infinity(),
                             std::numeric_limits<double>::quiet_NaN()};
  for (double a : specials) {
    for (double b : specials) {
      x.push_back(a);
      y.push_back(b);
    }
  }
  const int32_t side = 512;
  for (int32_t j = 0; j < side; ++j) {
    for (int32_t i = 0; i < side && static_cast<int32_t>(x.size()) < kPointsPerDirection / 2; ++i) {
      x.push_back(-3.0 + 6.0 * i / (side - 1));
      y.push_back(-3.0 + 6.0 * j / (side - 1));
    }
  }
  std::mt19937_64 random(20240613);
  std::uniform_real_distribution<double> near(-2.5, 2.5);
  std::uniform_real_distribution<double> exponent(-12.0, 6.0);
  while (static_cast<int32_t>(x.size()) < kPointsPerDirection) {
    if (random() % 4 == 0) {
      const double r = std::pow(10.0, exponent(random));
      const double t = near(random);
      x.push_back(r * std::cos(t));
      y.push_back(r * std::sin(t));
    } else {
      x.push_back(near(random));
      y.push_back(near(random));
    }
  }
}

// +0 and -0 are one value, and so are all NaNs: which NaN an operation passes on depends on
// the operand order the compiler picks for a commutative operation, and every filter
// treats any NaN position as unmappable.
bool SameBits(double a, double b) {
  return std::memcmp(&a, &b, sizeof a) == 0 || (a == 0.0 && b == 0.0) ||
         (std::isnan(a) && std::isnan(b));
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
    SetParameters(model, ParamsOf(c), 16.0 / 9.0);
    for (MapDirection direction : {MapDirection::Distort, MapDirection::Undistort}) {
      int32_t invalid = 0;
      for (int32_t i = 0; i < n; ++i) {
        const Point2 p = direction == MapDirection::Distort
                             ? Distort(model, Point2{x[i], y[i]}, 1.0, &refValid[i])
                             : Undistort(model, Point2{x[i], y[i]}, 1.0, &refValid[i]);
        refX[i] = p.x;
        refY[i] = p.y;
        invalid += refValid[i] == 0;
      }
      // The classic inverse is a table lookup, valid everywhere.
      const bool neverInvalid = c.kind == kModelClassic && direction == MapDirection::Undistort;
      if ((c.coefs.empty() && c.kind != kModelClassic) || neverInvalid) {
        EXPECT_EQ(invalid, 0);
      } else {
        EXPECT_GT(invalid, n / 100) << "kind " << static_cast<int>(c.kind) << " direction "
                                    << static_cast<int>(direction) << ": " << invalid;
      }
      for (MappingPath path : Paths()) {
        // Odd counts leave part of the last register empty.
        MapPointsBatched(model, direction, path, x.data(), y.data(), n - 3, outX.data(),
                         outY.data(), outValid.data());
        int32_t wrong = 0;
        for (int32_t i = 0; i < n - 3; ++i) {
          if (!SameBits(outX[i], refX[i]) || !SameBits(outY[i], refY[i]) ||
              outValid[i] != refValid[i]) {
            if (++wrong <= 3) {
              ADD_FAILURE() << "kind " << static_cast<int>(c.kind) << " direction "
                            << static_cast<int>(direction) << " path " << static_cast<int>(path)
                            << " at (" << x[i] << ", " << y[i] << "): " << outX[i] << ", "
                            << outY[i] << " valid " << outValid[i] << " instead of " << refX[i]
                            << ", " << refY[i] << " valid " << refValid[i];
            }
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
    SetParameters(model, ParamsOf(c), 16.0 / 9.0);
    for (MapDirection direction : {MapDirection::Distort, MapDirection::Undistort}) {
      RunMapping mapping{&model, direction, {2.0 / 1920, 2.0 / 1080}, {-1.0, -1.0}, 0.8,
                         {960.0, 540.0}, {959.5, 539.5}, nullptr};
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
              ASSERT_TRUE(SameBits(actual.x[k], expected.x[k]) &&
                          SameBits(actual.y[k], expected.y[k]))
                  << "kind " << static_cast<int>(c.kind) << " path " << static_cast<int>(path)
                  << " row " << row << " k " << k;
            }
          }
        }
      }
    }
  }
}

}  // namespace
