/* The one suite of the host's general plug-in interface that the effect uses. */
#ifndef VTAFX_SDK_AE_GENERALPLUG_H
#define VTAFX_SDK_AE_GENERALPLUG_H

#include "AE_Effect.h"

#define kPFEffectSequenceDataSuite "PF Effect Sequence Data Suite"
#define kPFEffectSequenceDataSuiteVersion1 1

#pragma pack(push, 8)

typedef struct PF_EffectSequenceDataSuite1 {
  PF_Err (*PF_GetConstSequenceData)(PF_ProgPtr effect_ref, PF_ConstHandle *sequence_data);
} PF_EffectSequenceDataSuite1;

#pragma pack(pop)

#endif
