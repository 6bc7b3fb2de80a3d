// Replaces the global scalar new and delete of the test program that links CountingNew.cpp
// with counting ones, so a test can show that some code allocates nothing. The default
// array new goes through the scalar one, so arrays are counted too.
#pragma once

#include <cstdint>

// Allocations made through the global new since the program started, on any thread.
int64_t GlobalNewCalls();
