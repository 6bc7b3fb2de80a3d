// The demo's test chart, drawn in memory so the demo needs no input: a checkerboard under
// a grid of fine and bold lines, a centre cross, and red, green, blue and grey ramps along
// the bottom. Straight lines make distortion visible; the ramps show the filters' colour.
#pragma once

#include "Image.h"

// A chart of `width` x `height` pixels at `depth`, opaque everywhere.
Image MakeTestChart(int32_t width, int32_t height, int depth);
