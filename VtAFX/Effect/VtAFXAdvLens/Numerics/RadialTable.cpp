#include "Numerics/RadialTable.h"

void ResetRadialTable(RadialTable& table) {
  table.k1 = 0.0;
  table.k2 = 0.0;
  table.k3 = 0.0;
  table.range = 0.0;
  // limitSquared is rebuilt with the rest of the table; clearing it too keeps a reset
  // record from carrying a stale limit from an earlier build.
  table.limitSquared = 0.0;
  table.endRatio = 0.0;
  table.count = 0;
  table.distorted = nullptr;
  table.radii = nullptr;
  table.curvature = nullptr;
}

void ReleaseRadialTable(RadialTable& table) {
  delete[] table.distorted;
  delete[] table.radii;
  delete[] table.curvature;
  table.distorted = nullptr;
  table.radii = nullptr;
  table.curvature = nullptr;
}
