// Point lists for `vtlens map`: one point a line, "x y" or "x,y"; blank lines and lines
// starting with # are skipped.
#pragma once

#include <istream>
#include <string>
#include <vector>

struct InputPoint {
  double x = 0;
  double y = 0;
};

// Reads every point of `in`. Throws a usage error naming `source` and the line for a line
// that is not two finite numbers.
std::vector<InputPoint> ReadPoints(std::istream& in, const std::string& source);
