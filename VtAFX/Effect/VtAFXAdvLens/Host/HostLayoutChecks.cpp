// Compiles the host API layout checks into every build of the effect.
#include "VtAFXSdkLayoutChecks.h"
