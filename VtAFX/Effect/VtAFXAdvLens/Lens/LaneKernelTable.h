// The per-path tables of batched lens functions, one per instruction set, each compiled in a
// source file of its own with that instruction set enabled. Internal to the lens folder:
// callers choose through BatchedMapping.h.
#pragma once

#include <cstdint>

#include "Lens/BatchedMapping.h"

// Maps `count` normalised points as Distort or Undistort would (radius scale 1).
typedef void (*PointsMappingFn)(const LensModel& model, const double* x, const double* y,
                                int32_t count, double* outX, double* outY, int32_t* valid);

// Indexed by LaneKernel, then MapDirection.
struct LaneKernelTable {
  RunMappingFn runs[kLaneKernelCount][2];
  PointsMappingFn points[kLaneKernelCount][2];
};

const LaneKernelTable& LaneKernelsSse2();
const LaneKernelTable& LaneKernelsAvx2();
const LaneKernelTable& LaneKernelsAvx512();
