#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "Lens/NewtonInversion.h"
#include "LensTestSupport.h"

namespace {

// Number of map evaluations of the current case (the tests run on one thread).
int gCalls = 0;

// Doubling: the start point (half the target) is already the solution.
MapJacobian Doubling(const LensModel&, double u, double v) {
  ++gCalls;
  return {2.0 * u, 2.0 * v, 2.0, 0.0, 0.0, 2.0};
}

// The identity map: every Newton step is the whole residual, so long ones get shortened.
MapJacobian Identity(const LensModel&, double u, double v) {
  ++gCalls;
  return {u, v, 1.0, 0.0, 0.0, 1.0};
}

// The identity with a Jacobian of the wrong sign: each step walks away from the target.
MapJacobian WrongWay(const LensModel&, double u, double v) {
  ++gCalls;
  return {u, v, -1.0, 0.0, 0.0, -1.0};
}

// Both components depend on u + v only: the Jacobian has rank 1.
MapJacobian Rank1(const LensModel&, double u, double v) {
  ++gCalls;
  return {u + v, u + v, 1.0, 1.0, 1.0, 1.0};
}

// A constant map: nothing to correct.
MapJacobian Flat(const LensModel&, double, double) {
  ++gCalls;
  return {0.25, 0.25, 0.0, 1e-9, -1e-9, 0.0};
}

struct ExitCase {
  const char* what;
  PolynomialMapFn map;
  double targetX, targetY;
  int32_t flag;
  int calls;
  double u, v;       // expected result
  double tolerance;  // 0: bit for bit
};

TEST(NewtonInversion, EveryExit) {
  const ExitCase cases[] = {
      // Residual 0 at the start: the zero step converges on the first evaluation.
      {"converged at once", Doubling, 0.3, -0.7, 1, 1, 0.15, -0.35, 0.0},
      // From u = 2 to 4 in twenty steps of 0.1, then one step below the tolerance.
      {"step limit 0.1", Identity, 4.0, 0.0, 1, 21, 4.0, 0.0, 1e-14},
      // Steps keep their direction: each is cut to (0.075, 0.1) on the way to (30, 40).
      {"step limit keeps direction", Identity, 30.0, 40.0, 0, 25, 16.875, 22.5, 1e-12},
      // From u = 5 towards 10: 25 steps of 0.1 reach only 7.5.
      {"25 iterations", Identity, 10.0, 0.0, 0, 25, 7.5, 0.0, 1e-13},
      // Start 0.05, step -0.05 to 0: the residual doubles, and the last iterate stands.
      {"diverging", WrongWay, 0.1, 0.0, 0, 2, 0.0, 0.0, 0.0},
      {"singular", Rank1, 1.0, 2.0, 0, 1, 0.5, 1.0, 0.0},
      {"vanishing Jacobian", Flat, 3.0, 1.0, 1, 1, 1.5, 0.5, 0.0},
  };
  LensModel model;
  for (const ExitCase& c : cases) {
    gCalls = 0;
    double u = -9.0, v = -9.0;
    const int32_t flag = InvertPolynomialMap(model, c.map, c.targetX, c.targetY, u, v);
    EXPECT_EQ(flag, c.flag) << c.what;
    EXPECT_EQ(gCalls, c.calls) << c.what;
    if (c.tolerance == 0.0) {
      EXPECT_TRUE(SameBits(u, c.u)) << c.what << " u " << u;
      EXPECT_TRUE(SameBits(v, c.v)) << c.what << " v " << v;
    } else {
      EXPECT_NEAR(u, c.u, c.tolerance) << c.what;
      EXPECT_NEAR(v, c.v, c.tolerance) << c.what;
    }
  }
}

TEST(NewtonInversion, NonFiniteTargetsEndWithinTheIterationLimit) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  LensModel model;
  for (const Point2 target : {Point2{nan, 0.0}, Point2{inf, 1.0}, Point2{-inf, inf}}) {
    gCalls = 0;
    double u = 0.0, v = 0.0;
    EXPECT_EQ(InvertPolynomialMap(model, Identity, target.x, target.y, u, v), 0);
    EXPECT_LE(gCalls, 25);
  }
}

TEST(FoldProbe, SignOfTheOutwardMotion) {
  struct Case {
    Point2 out, probed, centre;
    int32_t accepts;
  } const cases[] = {
      {{1.0, 0.0}, {1.1, 0.0}, {0.0, 0.0}, 1},  // outward
      {{1.0, 0.0}, {0.9, 0.0}, {0.0, 0.0}, 0},  // inward: a fold
      {{1.0, 0.0}, {1.0, 0.5}, {0.0, 0.0}, 1},  // sideways counts as not inward
      {{1.0, 1.0}, {1.0, 1.0}, {0.0, 0.0}, 1},  // standing still
      {{0.5, 0.5}, {0.6, 0.5}, {1.0, 0.5}, 0},  // outward from the origin, inward to c
      {{1.0, 0.0}, {1.1, 0.0}, {std::nan(""), 0.0}, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FoldProbeAccepts(c.out, c.probed, c.centre), c.accepts)
        << c.out.x << "," << c.out.y << " -> " << c.probed.x << "," << c.probed.y;
  }
}

}  // namespace
