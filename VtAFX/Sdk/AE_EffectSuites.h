/* Effect suites: parameter utilities and 2-D point values. */
#ifndef VTAFX_SDK_AE_EFFECTSUITES_H
#define VTAFX_SDK_AE_EFFECTSUITES_H

#include "AE_Effect.h"

#define kPFParamUtilsSuite "PF Param Utils Suite"
#define kPFParamUtilsSuiteVersion3 3
#define kPFPointParamSuite "PF PointParamSuite"
#define kPFPointParamSuiteVersion1 1

enum { PF_ParamIndex_NONE = -1, PF_ParamIndex_CHECK_ALL = -2 };

#pragma pack(push, 8)

typedef struct PF_ParamUtilsSuite3 {
  /* Changes only the control's look (allowed while handling USER_CHANGED_PARAM or
   * UPDATE_PARAMS_UI): ui_flags, ui_width/height, name, the COLLAPSE_TWIRLY flag and, for
   * sliders, the slider range, precision and display flags. Not undoable. */
  PF_Err (*PF_UpdateParamUI)(PF_ProgPtr effect_ref, PF_ParamIndex param_index,
                             const PF_ParamDef *defP);
  PF_Err (*PF_GetCurrentState)(PF_ProgPtr effect_ref, PF_ParamIndex param_index,
                               const A_Time *startPT0, const A_Time *durationPT0, PF_State *stateP);
  PF_Err (*PF_AreStatesIdentical)(PF_ProgPtr effect_ref, const PF_State *state1P,
                                  const PF_State *state2P, A_Boolean *samePB);
  PF_Err (*PF_IsIdenticalCheckout)(PF_ProgPtr effect_ref, PF_ParamIndex param_index,
                                   A_long what_time1, A_long time_step1, A_u_long time_scale1,
                                   A_long what_time2, A_long time_step2, A_u_long time_scale2,
                                   PF_Boolean *identicalPB);
  PF_Err (*PF_FindKeyframeTime)(PF_ProgPtr effect_ref, PF_ParamIndex param_index, A_long what_time,
                                A_u_long time_scale, PF_TimeDir time_dir, PF_Boolean *foundPB,
                                PF_KeyIndex *key_indexP0, A_long *key_timeP0,
                                A_u_long *key_timescaleP0);
  PF_Err (*PF_GetKeyframeCount)(PF_ProgPtr effect_ref, PF_ParamIndex param_index,
                                PF_KeyIndex *key_countP);
  PF_Err (*PF_CheckoutKeyframe)(PF_ProgPtr effect_ref, PF_ParamIndex param_index,
                                PF_KeyIndex key_index, A_long *key_timeP0,
                                A_u_long *key_timescaleP0, PF_ParamDef *paramP0);
  PF_Err (*PF_CheckinKeyframe)(PF_ProgPtr effect_ref, PF_ParamDef *paramP);
  PF_Err (*PF_KeyIndexToTime)(PF_ProgPtr effect_ref, PF_ParamIndex param_index,
                              PF_KeyIndex key_indexP, A_long *key_timeP, A_u_long *key_timescaleP);
} PF_ParamUtilsSuite3;

typedef struct PF_PointParamSuite1 {
  /* A 2-D point parameter's value in layer pixels, as two doubles. */
  PF_Err (*PF_GetFloatingPointValueFromPointDef)(PF_ProgPtr effect_ref,
                                                 const PF_ParamDef *point_defP,
                                                 A_FloatPoint *fp_pointP);
} PF_PointParamSuite1;

#pragma pack(pop)

#endif
