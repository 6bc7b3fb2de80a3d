// Point lists for `vtlens map`: one point a line, "x y" or "x,y"; blank lines and lines
// starting with # are skipped.
#pragma once

#include <string>
#include <vector>

struct InputPoint {
  double x = 0;
  double y = 0;
};

// Reads every point of the list `text`. Throws a usage error naming `source` and the line
// for a line that is not two finite numbers.
std::vector<InputPoint> ParsePoints(const std::string& text, const std::string& source);
