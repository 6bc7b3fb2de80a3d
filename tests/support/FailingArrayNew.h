// Replaces the global array new[] and delete[] of the test program that links
// FailingArrayNew.cpp, so tests can make a chosen allocation fail and count the arrays
// still alive. Single-threaded use: arm, run the code under test, disarm.
#pragma once

#include <cstdint>

// Makes the n-th array allocation from now throw std::bad_alloc (1 = the next one);
// 0 disarms. Only one allocation fails; the ones after it succeed again.
void FailArrayAllocation(int32_t n);

// Number of arrays allocated with new[] and not yet released with delete[].
int64_t LiveArrayAllocations();
