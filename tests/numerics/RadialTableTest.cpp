#include <gtest/gtest.h>

#include "Numerics/RadialTable.h"

TEST(RadialTable, ResetEmptiesEveryFieldWithoutFreeing) {
  double kept[3] = {1.0, 2.0, 3.0};
  RadialTable table{1.0, 2.0, 3.0, 4.0, 5.0, 6.0, 7, kept, kept + 1, kept + 2};
  ResetRadialTable(table);
  EXPECT_EQ(table.k1, 0.0);
  EXPECT_EQ(table.k2, 0.0);
  EXPECT_EQ(table.k3, 0.0);
  EXPECT_EQ(table.range, 0.0);
  EXPECT_EQ(table.endRatio, 0.0);
  EXPECT_EQ(table.count, 0);
  EXPECT_EQ(table.distorted, nullptr);
  EXPECT_EQ(table.radii, nullptr);
  EXPECT_EQ(table.curvature, nullptr);
  // The stack arrays were forgotten, not freed: freeing them would have crashed (ASan).
  EXPECT_EQ(kept[1], 2.0);
}

TEST(RadialTable, ReleaseFreesOwnedArraysAndIsRepeatable) {
  RadialTable table;
  ResetRadialTable(table);
  ReleaseRadialTable(table);  // nothing owned: harmless
  table.distorted = new double[kRadialTableSamples];
  table.radii = new double[kRadialTableSamples];
  table.curvature = new double[kRadialTableSamples];
  ReleaseRadialTable(table);  // ASan reports a leak if any array is not freed
  EXPECT_EQ(table.distorted, nullptr);
  EXPECT_EQ(table.radii, nullptr);
  EXPECT_EQ(table.curvature, nullptr);
  ReleaseRadialTable(table);  // and a double free if the pointers were left dangling
}
