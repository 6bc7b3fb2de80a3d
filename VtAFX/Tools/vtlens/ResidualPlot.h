// The picture of a solve: each point's residual as an arrow from where it was measured,
// enlarged by a stated factor and coloured by its length, over the frame.
#pragma once

#include <string>
#include <vector>

#include "SolveFit.h"

// Writes the plot of `residuals` over a `width` x `height` frame to `path` (PNG). Throws a
// ToolError when it cannot be written.
void WriteResidualPlot(const std::string& path, const std::vector<PointResidual>& residuals,
                       int width, int height);
