#include "Lens/ModelFamilies.h"

void PrepareFisheyeKind(LensModel& model) { (void)model; }
