#include "PointsFile.h"

#include "Controls.h"
#include "ToolError.h"

std::vector<InputPoint> ParsePoints(const std::string& text, const std::string& source) {
  std::vector<InputPoint> points;
  long number = 0;
  for (size_t start = 0; start < text.size();) {
    size_t end = std::min(text.find('\n', start), text.size());
    std::string line = text.substr(start, end - start);
    start = end + 1;
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    size_t first = line.find_first_not_of(" \t");
    if (first == std::string::npos || line[first] == '#') continue;
    std::string entry = line.substr(first);
    size_t split = entry.find(',');
    if (split == std::string::npos) split = entry.find_first_of(" \t");
    InputPoint p;
    if (split == std::string::npos || !ParseNumber(entry.substr(0, split), p.x) ||
        !ParseNumber(entry.substr(split + 1), p.y))
      throw UsageError(source + ", line " + std::to_string(number) +
                       ": expected \"x y\" or \"x,y\", not " + Echo(entry));
    points.push_back(p);
  }
  return points;
}
