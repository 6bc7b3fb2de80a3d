#include <gtest/gtest.h>

#include <climits>
#include <limits>
#include <thread>
#include <vector>

#include "LensTestSupport.h"

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

struct IdentityCase {
  const char* what;
  LensParams params;
  int32_t identity;
};

LensParams Classic(double quadratic, double eccentricity, double vScale) {
  LensParams p = NeutralParams(kModelClassic);
  p.quadratic = quadratic;
  p.eccentricity = eccentricity;
  p.vScale = vScale;
  return p;
}

LensParams Squeezed(LensParams p, double squeeze) {
  p.squeeze = squeeze;
  return p;
}

TEST(LensModel, IdentityTestPerKind) {
  const IdentityCase cases[] = {
      {"classic neutral, any eccentricity", Classic(0.0, 7.5, 1.0), 1},
      {"classic vertical scale", Classic(0.0, 1.0, 2.0), 0},
      {"classic NaN quadratic", Classic(kNaN, 1.0, 1.0), 0},
      {"radial 4 neutral", NeutralParams(kModelRadial4), 1},
      {"radial 4 tiny VCTR", KindParams(kModelRadial4, {{7, 1e-300}}), 0},
      {"std radial 4 NaN C4", KindParams(kModelStdRadial4, {{3, kNaN}}), 0},
      {"squash ECC 0", KindParams(kModelRadialSquash, {{3, 0.0}}), 0},
      {"squash VCTR", KindParams(kModelRadialSquash, {{6, 0.1}}), 0},
      {"anamorphic neutral, squeeze 2", Squeezed(NeutralParams(kModelAnamorphic6), 2.0), 1},
      {"anamorphic rotation", KindParams(kModelAnamorphic6, {{22, 0.1}}), 0},
      {"anamorphic CY66", KindParams(kModelAnamorphic6, {{17, 0.01}}), 0},
      {"std anamorphic NaN VSCL", KindParams(kModelStdAnamorphic6, {{21, kNaN}}), 0},
      {"merged HSCL", KindParams(kModelAnamorphicMerged6, {{11, 1.5}}), 0},
      {"std merged rotation", KindParams(kModelStdAnamorphicMerged6, {{13, -0.2}}), 0},
      {"std merged slot 14 ignored", KindParams(kModelStdAnamorphicMerged6, {{14, 3.0}}), 1},
      {"stereographic neutral", NeutralParams(kModelFisheyeStereographic), 0},
  };
  for (const IdentityCase& c : cases) {
    LensModel model;
    SetParameters(model, c.params, 1.5);
    EXPECT_EQ(model.isIdentity, c.identity) << c.what;
  }
}

TEST(LensModel, KindsOutsideTheTableAreIdentityAndInstallNothing) {
  const Point2 points[] = {{0.25, -0.75}, {kNaN, 1.0}, {-kInf, kInf}, {1e300, -0.0}};
  for (const ModelKind kind : {ModelKind{-1}, ModelKind{0}, ModelKind{13}, ModelKind{INT_MAX},
                               ModelKind{INT_MIN}}) {
    LensModel model;
    LensParams params = NeutralParams(kModelRadial4);
    params.coef[0] = 0.5;  // coefficients of another kind must not matter
    params.kind = kind;
    SetParameters(model, params, 1.0);
    EXPECT_EQ(model.isIdentity, 1) << kind;
    EXPECT_EQ(model.distortFn, nullptr) << kind;
    EXPECT_EQ(model.undistortFn, nullptr) << kind;
    for (const Point2& p : points) {
      int32_t valid = -7;
      const Point2 d = Distort(model, p, 1.0, &valid);
      EXPECT_POINT_BITS(d, p.x, p.y);
      EXPECT_EQ(valid, 1);
      valid = -7;
      const Point2 u = Undistort(model, p, 1.0, &valid);
      EXPECT_POINT_BITS(u, p.x, p.y);
      EXPECT_EQ(valid, 1);
    }
  }
}

// Every kind, with strong coefficients, must map hostile input without crashing or
// hanging and must always write its validity.
TEST(LensModel, EveryKindSurvivesNonFiniteAndHugeInput) {
  LensParams strong[12];
  for (int32_t k = 1; k <= 12; ++k) {
    const ModelKind kind = static_cast<ModelKind>(k);
    LensParams& p = strong[k - 1];
    p = NeutralParams(kind);
    for (int i = 0; i < 3; ++i) {
      p.coef[i] = -0.9 + 0.7 * i;
    }
  }
  strong[0].quadratic = -0.3;
  strong[0].cubic = 0.2;
  strong[0].eccentricity = -0.5;
  const Point2 points[] = {{kNaN, 0.0},    {0.0, kNaN},       {kInf, 1.0}, {-kInf, -kInf},
                           {1e300, 1e300}, {-1e-300, 5e-324}, {0.0, 0.0},  {3.0, -2.0}};
  for (int32_t k = 1; k <= 12; ++k) {
    const ModelKind kind = static_cast<ModelKind>(k);
    for (const double aspect : {1.0, 2.0}) {
      LensModel model;
      SetParameters(model, strong[k - 1], aspect);
      for (const Point2& p : points) {
        int32_t valid = -1;
        Distort(model, p, 1.0, &valid);
        EXPECT_TRUE(valid == 0 || valid == 1) << kind;
        valid = -1;
        Undistort(model, p, 1.0, &valid);
        EXPECT_TRUE(valid == 0 || valid == 1) << kind;
        Distort(model, p, 1.0, nullptr);
        Undistort(model, p, 1.0, nullptr);
      }
    }
  }
}

// Render threads map through one record at once; the results must be those of a single
// thread, bit for bit.
TEST(LensModel, ConcurrentMappingMatchesSequential) {
  for (int32_t k = 1; k <= 12; ++k) {
    const ModelKind kind = static_cast<ModelKind>(k);
    LensParams params = NeutralParams(kind);
    params.quadratic = -0.05;
    params.cubic = 0.01;
    params.coef[0] = kind >= kModelFisheyeStereographic ? 0.04 : -0.06;
    params.coef[1] = 0.008;
    params.squeeze = 2.0;
    LensModel model;
    SetParameters(model, params, 16.0 / 9.0);
    const std::vector<Point2> grid = ImageGrid(40, 1.0);
    struct Mapped {
      Point2 d, u;
      int32_t vd, vu;
    };
    auto mapAll = [&](std::vector<Mapped>& out) {
      out.resize(grid.size());
      for (size_t i = 0; i < grid.size(); ++i) {
        out[i].d = Distort(model, grid[i], 1.0, &out[i].vd);
        out[i].u = Undistort(model, grid[i], 1.0, &out[i].vu);
      }
    };
    std::vector<Mapped> expected;
    mapAll(expected);
    std::vector<Mapped> results[4];
    std::vector<std::thread> threads;
    for (auto& r : results) {
      threads.emplace_back(mapAll, std::ref(r));
    }
    for (auto& t : threads) {
      t.join();
    }
    for (const auto& r : results) {
      for (size_t i = 0; i < grid.size(); ++i) {
        EXPECT_POINT_BITS(r[i].d, expected[i].d.x, expected[i].d.y);
        EXPECT_POINT_BITS(r[i].u, expected[i].u.x, expected[i].u.y);
        EXPECT_EQ(r[i].vd, expected[i].vd);
        EXPECT_EQ(r[i].vu, expected[i].vu);
      }
    }
  }
}

}  // namespace
