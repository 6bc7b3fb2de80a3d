// Shared helpers of the lens tests: neutral parameter blocks, image grids, round trips and
// bit-exact comparison.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <ostream>
#include <utility>
#include <vector>

#include "Lens/LensModel.h"

// Kinds print as their numbers in test messages.
inline std::ostream& operator<<(std::ostream& out, ModelKind kind) {
  return out << static_cast<int>(kind);
}

// Parameters of `kind` with every coefficient neutral (scales 1, everything else 0).
inline LensParams NeutralParams(ModelKind kind) {
  LensParams p;
  ResetLensParams(p);
  p.kind = kind;
  for (double& c : p.coef) {
    c = 0.0;
  }
  switch (kind) {
    case kModelRadialSquash: p.coef[3] = p.coef[4] = 1.0; break;
    case kModelAnamorphic6:
    case kModelStdAnamorphic6: p.coef[20] = p.coef[21] = 1.0; break;
    case kModelAnamorphicMerged6:
    case kModelStdAnamorphicMerged6: p.coef[11] = p.coef[12] = 1.0; break;
    default:
      if (kind >= kModelFisheyeStereographic && kind <= kModelFisheyeOrthographic) {
        p.coef[4] = p.coef[5] = 1.0;
      }
      break;
  }
  return p;
}

// Neutral parameters of `kind` with the listed slots overwritten.
inline LensParams KindParams(ModelKind kind, std::initializer_list<std::pair<int, double>> set) {
  LensParams p = NeutralParams(kind);
  for (const auto& slot : set) {
    p.coef[slot.first] = slot.second;
  }
  return p;
}

// (steps + 1)^2 points evenly over [-extent, extent]^2, corners included.
inline std::vector<Point2> ImageGrid(int steps, double extent) {
  std::vector<Point2> grid;
  for (int j = 0; j <= steps; ++j) {
    for (int i = 0; i <= steps; ++i) {
      grid.push_back({-extent + 2.0 * extent * i / steps, -extent + 2.0 * extent * j / steps});
    }
  }
  return grid;
}

// Maps each point of a 21 x 21 grid over the image one way and back (Distort first, or
// Undistort first) and returns the largest coordinate error; `invalid` receives how many
// of the mappings reported their point invalid.
inline double RoundTripError(const LensModel& model, bool distortFirst, int& invalid) {
  double worst = 0.0;
  invalid = 0;
  for (const Point2& p : ImageGrid(20, 1.0)) {
    int32_t there = -1, back = -1;
    const Point2 q =
        distortFirst ? Distort(model, p, 1.0, &there) : Undistort(model, p, 1.0, &there);
    const Point2 r = distortFirst ? Undistort(model, q, 1.0, &back) : Distort(model, q, 1.0, &back);
    invalid += (there != 1) + (back != 1);
    worst = std::fmax(worst, std::fmax(std::fabs(r.x - p.x), std::fabs(r.y - p.y)));
  }
  return worst;
}

inline bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

#define EXPECT_POINT_BITS(p, ex, ey)                                             \
  do {                                                                           \
    EXPECT_TRUE(SameBits((p).x, (ex))) << "x " << (p).x << " expected " << (ex); \
    EXPECT_TRUE(SameBits((p).y, (ey))) << "y " << (p).y << " expected " << (ey); \
  } while (0)
