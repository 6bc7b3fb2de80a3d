// Inside the harness: the function tables of the suites this host serves, each defined
// beside its functions.
#pragma once

#include "AE_EffectCBSuites.h"
#include "AE_EffectPixelFormat.h"
#include "AE_EffectSuites.h"
#include "AE_GeneralPlug.h"

namespace harness {

const PF_ANSICallbacksSuite1& AnsiSuite();
const PF_ParamUtilsSuite3& ParamUtilsSuite();
const PF_PointParamSuite1& PointParamSuite();
const PF_WorldSuite2& WorldSuite();
const PF_PixelDataSuite1& PixelDataSuite();
const PF_EffectSequenceDataSuite1& SequenceDataSuite();
const PF_Iterate8Suite1& Iterate8Suite();
const PF_Iterate16Suite1& Iterate16Suite();
const PF_IterateFloatSuite1& IterateFloatSuite();
const PF_Sampling8Suite1& Sampling8Suite();
const PF_Sampling16Suite1& Sampling16Suite();
const PF_SamplingFloatSuite1& SamplingFloatSuite();

}  // namespace harness
