// Shared helpers of the lens tests: neutral parameter blocks and bit-exact comparison.
#pragma once

#include <cstring>
#include <initializer_list>
#include <ostream>
#include <utility>

#include "Lens/LensModel.h"

// Kinds print as their numbers in test messages.
inline std::ostream& operator<<(std::ostream& out, ModelKind kind) {
  return out << static_cast<int>(kind);
}

// Parameters of `kind` with every coefficient neutral (scales 1, everything else 0), then
// the listed slots overwritten.
inline LensParams KindParams(ModelKind kind,
                             std::initializer_list<std::pair<int, double>> set = {}) {
  LensParams p;
  ResetLensParams(p);
  p.kind = kind;
  for (double& c : p.coef) c = 0.0;
  const int k = static_cast<int>(kind);
  const int scales = k == 4              ? 3
                     : k == 3 || k == 7  ? 20
                     : k == 5 || k == 8  ? 11
                     : k >= 9 && k <= 12 ? 4
                                         : -1;
  if (scales >= 0) p.coef[scales] = p.coef[scales + 1] = 1.0;
  for (const auto& slot : set) p.coef[slot.first] = slot.second;
  return p;
}

inline bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }
