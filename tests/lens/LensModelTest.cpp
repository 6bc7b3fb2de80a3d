// The lens model record: the identity test, kinds outside the table, table ownership across
// set-ups and failed allocations, and the shared Newton inversion's exits.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <new>
#include <utility>

#include "Lens/NewtonInversion.h"
#include "LensTestSupport.h"
#include "support/FailingArrayNew.h"

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

LensParams Classic(double quadratic, double eccentricity, double vScale = 1.0) {
  LensParams p = KindParams(kModelClassic);
  p.quadratic = quadratic;
  p.eccentricity = eccentricity;
  p.vScale = vScale;
  return p;
}

LensParams OfKind(int32_t kind) {  // another kind's coefficients must not matter
  LensParams p = KindParams(kModelRadial4, {{0, 0.5}});
  p.kind = static_cast<ModelKind>(kind);
  return p;
}

// An identity model (kinds outside the table too, which install nothing) passes every point
// through untouched and valid.
TEST(LensModel, IdentityTestPerKind) {
  LensParams squeezed = KindParams(kModelAnamorphic6);
  squeezed.squeeze = 2.0;
  const struct {
    LensParams params;
    int32_t identity;
  } cases[] = {
      {Classic(0.0, 7.5), 1},  // any eccentricity
      {Classic(0.0, 1.0, 2.0), 0},
      {Classic(kNaN, 1.0), 0},
      {KindParams(kModelRadial4), 1},
      {KindParams(kModelRadial4, {{7, 1e-300}}), 0},
      {KindParams(kModelStdRadial4, {{3, kNaN}}), 0},
      {KindParams(kModelRadialSquash, {{3, 0.0}}), 0},
      {KindParams(kModelRadialSquash, {{6, 0.1}}), 0},
      {squeezed, 1},
      {KindParams(kModelAnamorphic6, {{22, 0.1}}), 0},
      {KindParams(kModelAnamorphic6, {{17, 0.01}}), 0},
      {KindParams(kModelStdAnamorphic6, {{21, kNaN}}), 0},
      {KindParams(kModelAnamorphicMerged6, {{11, 1.5}}), 0},
      {KindParams(kModelStdAnamorphicMerged6, {{13, -0.2}}), 0},
      {KindParams(kModelStdAnamorphicMerged6, {{14, 3.0}}), 1},  // slot 14 is not its own
      {KindParams(kModelFisheyeStereographic), 0},
      {OfKind(0), 1},
      {OfKind(13), 1},
  };
  for (const auto& c : cases) {
    LensModel model;
    SetParameters(model, c.params, 1.5);
    EXPECT_EQ(model.isIdentity, c.identity) << c.params.kind << " " << &c - cases;
    const bool known = c.params.kind >= kModelClassic && c.params.kind <= kModelFisheyeOrthographic;
    EXPECT_EQ(model.distortFn == nullptr, !known) << c.params.kind;
    for (const Point2& p : {Point2{kNaN, 1.0}, Point2{-kInf, kInf}, Point2{1e300, -0.0}}) {
      int32_t valid[2] = {-7, -7};
      const Point2 out[2] = {Distort(model, p, 1.0, &valid[0]),
                             Undistort(model, p, 1.0, &valid[1])};
      for (int i = 0; i < 2 && c.identity; ++i) {
        EXPECT_TRUE(SameBits(out[i].x, p.x) && SameBits(out[i].y, p.y) && valid[i] == 1)
            << &c - cases;
      }
    }
  }
}

int64_t OwnedArrays(const RadialTable& t) {
  return (t.distorted != nullptr) + (t.radii != nullptr) + (t.curvature != nullptr);
}
int64_t OwnedArrays(const LensModel& m) {
  return OwnedArrays(m.radialTable) + OwnedArrays(m.negativeRadialTable);
}

// A record set up again releases what the earlier set-up built, also when a table build
// runs out of memory part way (then it is left empty, safe to map through and destroy).
TEST(LensModel, SetUpAgainOwnsExactlyItsTables) {
  const int64_t before = LiveArrayAllocations();
  for (int32_t failing = 0; failing <= 8; ++failing) {  // 0: nothing fails
    {
      LensModel model;
      SetParameters(model, Classic(0.05, 1.0), 1.5);
      FailArrayAllocation(failing);  // each allocation of a two-table set-up in turn
      bool threw = false;
      try {
        SetParameters(model, Classic(-0.1, -0.5), 1.5);
      } catch (const std::bad_alloc&) {
        threw = true;
      }
      FailArrayAllocation(0);
      EXPECT_EQ(LiveArrayAllocations(), before + OwnedArrays(model)) << failing;
      EXPECT_EQ(OwnedArrays(model), threw ? 0 : 6) << failing;
      int32_t valid = -1;
      Distort(model, Point2{0.5, 0.25}, 1.0, &valid);
      EXPECT_TRUE(valid == 0 || valid == 1);
      SetParameters(model, KindParams(kModelRadial4, {{0, 0.1}}), 1.5);
      EXPECT_EQ(LiveArrayAllocations(), before) << failing;
    }  // destruction neither leaks nor frees twice (ASan)
    EXPECT_EQ(LiveArrayAllocations(), before) << failing;
  }
}

// A map whose Newton runs are worked by hand: value A (u, v) + c, reported Jacobian J
// (which a test may make wrong on purpose), and the number of evaluations.
struct TestMap {
  double a[4], c[2], j[4];
  int calls;
} gMap;

MapJacobian Evaluate(const LensModel&, double u, double v) {
  ++gMap.calls;
  const double* a = gMap.a;
  return {a[0] * u + a[1] * v + gMap.c[0],
          a[2] * u + a[3] * v + gMap.c[1],
          gMap.j[0],
          gMap.j[1],
          gMap.j[2],
          gMap.j[3]};
}

TEST(NewtonInversion, EveryExit) {
  const TestMap twice{{2, 0, 0, 2}, {0, 0}, {2, 0, 0, 2}, 0},
      same{{1, 0, 0, 1}, {0, 0}, {1, 0, 0, 1}, 0};
  const struct {
    const char* what;
    TestMap map;
    Point2 target;
    int32_t flag;
    int calls;
    Point2 result;
    double tolerance;  // 0: bit for bit
  } cases[] = {
      {"start is the solution", twice, {0.3, -0.7}, 1, 1, {0.15, -0.35}, 0.0},
      // From 2 to 4 in twenty steps of 0.1, then one step below the tolerance.
      {"step limit 0.1", same, {4.0, 0.0}, 1, 21, {4.0, 0.0}, 1e-14},
      // Each step cut to (0.075, 0.1) on the way to (30, 40).
      {"step limit keeps direction", same, {30.0, 40.0}, 0, 25, {16.875, 22.5}, 1e-12},
      {"25 iterations", same, {10.0, 0.0}, 0, 25, {7.5, 0.0}, 1e-13},
      // Start 0.05, a wrong-way step to 0: the residual doubles, and the last iterate stands.
      {"diverging", {{1, 0, 0, 1}, {0, 0}, {-1, 0, 0, -1}, 0}, {0.1, 0.0}, 0, 2, {0.0, 0.0}, 0.0},
      {"singular", {{1, 1, 1, 1}, {0, 0}, {1, 1, 1, 1}, 0}, {1.0, 2.0}, 0, 1, {0.5, 1.0}, 0.0},
      {"flat", {{0, 0, 0, 0}, {0.25, 0.25}, {0, 1e-9, -1e-9, 0}, 0}, {3, 1}, 1, 1, {1.5, 0.5}, 0},
      // Non-numbers never settle: the iteration limit ends them.
      {"NaN target", same, {kNaN, 0.0}, 0, 25, {kNaN, kNaN}, 0.0},
      {"infinite target", same, {-kInf, kInf}, 0, 25, {kNaN, kNaN}, 0.0},
  };
  LensModel model;
  for (const auto& c : cases) {
    gMap = c.map;
    double u = -9.0, v = -9.0;
    EXPECT_EQ(InvertPolynomialMap(model, Evaluate, c.target.x, c.target.y, u, v), c.flag) << c.what;
    EXPECT_EQ(gMap.calls, c.calls) << c.what;
    for (const auto& [got, want] : {std::pair{u, c.result.x}, std::pair{v, c.result.y}}) {
      EXPECT_TRUE(c.tolerance == 0.0 ? SameBits(got, want) || (std::isnan(got) && std::isnan(want))
                                     : std::fabs(got - want) <= c.tolerance)
          << c.what << ": " << got;
    }
  }
}

}  // namespace
