#include "Lens/ModelFamilies.h"

void PrepareAnamorphicKind(LensModel& model) { (void)model; }
