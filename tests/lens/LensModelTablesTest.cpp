#include <gtest/gtest.h>

#include <new>

#include "LensTestSupport.h"
#include "support/FailingArrayNew.h"

namespace {

// Arrays a table owns, counted the way LiveArrayAllocations counts them.
int64_t OwnedArrays(const RadialTable& table) {
  return (table.distorted != nullptr) + (table.radii != nullptr) + (table.curvature != nullptr);
}

int64_t OwnedArrays(const LensModel& model) {
  return OwnedArrays(model.radialTable) + OwnedArrays(model.negativeRadialTable);
}

void GiveArrays(RadialTable& table) {
  table.distorted = new double[kRadialTableSamples];
  table.radii = new double[kRadialTableSamples];
  table.curvature = new double[kRadialTableSamples];
}

LensParams Classic(double quadratic, double eccentricity) {
  LensParams p = NeutralParams(kModelClassic);
  p.quadratic = quadratic;
  p.eccentricity = eccentricity;
  return p;
}

TEST(LensModelTables, SetUpReleasesWhatAnEarlierSetUpBuilt) {
  const int64_t before = LiveArrayAllocations();
  const LensParams sequence[] = {
      Classic(0.1, 1.0),   Classic(0.1, -0.5), KindParams(kModelRadial4, {{0, 0.1}}),
      Classic(-0.2, -0.3), Classic(0.0, 1.0),  NeutralParams(kModelFisheyeEquisolid)};
  {
    LensModel model;
    for (const LensParams& params : sequence) {
      if (OwnedArrays(model.negativeRadialTable) == 0) {
        GiveArrays(model.negativeRadialTable);  // as if left by an earlier classic set-up
      }
      SetParameters(model, params, 1.5);
      EXPECT_EQ(LiveArrayAllocations(), before + OwnedArrays(model)) << params.kind;
      if (params.kind != kModelClassic) {
        EXPECT_EQ(OwnedArrays(model), 0) << params.kind;
      }
    }
  }
  EXPECT_EQ(LiveArrayAllocations(), before);
}

TEST(LensModelTables, FailedAllocationLeavesAnEmptySafeRecord) {
  const int64_t before = LiveArrayAllocations();
  // Each of the first allocations a classic set-up with two tables can make, in turn.
  for (int32_t failing = 1; failing <= 8; ++failing) {
    {
      LensModel model;
      SetParameters(model, Classic(0.05, 1.0), 1.5);
      FailArrayAllocation(failing);
      bool threw = false;
      try {
        SetParameters(model, Classic(-0.1, -0.5), 1.5);
      } catch (const std::bad_alloc&) {
        threw = true;
      }
      FailArrayAllocation(0);
      if (threw) {
        EXPECT_EQ(OwnedArrays(model), 0) << failing;
        EXPECT_EQ(LiveArrayAllocations(), before) << failing;
        // Nothing half-built is mapped through.
        int32_t valid = -1;
        const Point2 p = Distort(model, Point2{0.5, 0.25}, 1.0, &valid);
        EXPECT_TRUE(valid == 0 || valid == 1);
        (void)p;
      } else {
        EXPECT_EQ(LiveArrayAllocations(), before + OwnedArrays(model)) << failing;
      }
    }  // destruction must neither leak nor free twice (ASan)
    EXPECT_EQ(LiveArrayAllocations(), before) << failing;
  }
}

}  // namespace
