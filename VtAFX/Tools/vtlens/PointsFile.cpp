#include "PointsFile.h"

#include "Controls.h"
#include "ToolError.h"

std::vector<InputPoint> ReadPoints(std::istream& in, const std::string& source) {
  std::vector<InputPoint> points;
  std::string line;
  long number = 0;
  while (std::getline(in, line)) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    size_t first = line.find_first_not_of(" \t");
    if (first == std::string::npos || line[first] == '#') continue;
    std::string text = line.substr(first);
    size_t split = text.find(',');
    if (split == std::string::npos) split = text.find_first_of(" \t");
    InputPoint p;
    if (split == std::string::npos || !ParseNumber(text.substr(0, split), p.x) ||
        !ParseNumber(text.substr(split + 1), p.y))
      throw UsageError(source + ", line " + std::to_string(number) + ": expected \"x y\" or \"x,y\", not \"" + text + "\"");
    points.push_back(p);
  }
  return points;
}
