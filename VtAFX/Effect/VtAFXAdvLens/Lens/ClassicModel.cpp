#include "Lens/ModelFamilies.h"

void PrepareClassicKind(LensModel& model) {
  // Nothing installed yet: the classic kind maps points as the identity until its
  // tables and mapping functions are in place.
  (void)model;
}
