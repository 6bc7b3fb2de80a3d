/* Callback suites: ANSI, pixel data, iterate (8/16/float) and sampling (8/16/float).
 * Every suite is a plain table of function pointers taken from the basic suite by its exact,
 * case-sensitive name and version. */
#ifndef VTAFX_SDK_AE_EFFECTCBSUITES_H
#define VTAFX_SDK_AE_EFFECTCBSUITES_H

#include "AE_EffectCB.h"

#define kPFANSISuite "PF ANSI Suite"
#define kPFANSISuiteVersion1 1
#define kPFPixelDataSuite "PF Pixel Data Suite"
#define kPFPixelDataSuiteVersion1 1
#define kPFIterate8Suite "PF Iterate8 Suite"
#define kPFIterate8SuiteVersion1 1
#define kPFIterate16Suite "PF iterate16 Suite"
#define kPFIterate16SuiteVersion1 1
#define kPFIterateFloatSuite "PF iterateFloat Suite"
#define kPFIterateFloatSuiteVersion1 1
#define kPFSampling8Suite "PF Sampling8 Suite"
#define kPFSampling8SuiteVersion1 1
#define kPFSampling16Suite "PF Sampling16 Suite"
#define kPFSampling16SuiteVersion1 1
#define kPFSamplingFloatSuite "PF SamplingFloat Suite"
#define kPFSamplingFloatSuiteVersion1 1

#pragma pack(push, 8)

/* The ANSI block of the utility callbacks without its trailing data member. */
typedef struct PF_ANSICallbacksSuite1 {
  A_FpLong (*atan)(A_FpLong);
  A_FpLong (*atan2)(A_FpLong y, A_FpLong x);
  A_FpLong (*ceil)(A_FpLong);
  A_FpLong (*cos)(A_FpLong);
  A_FpLong (*exp)(A_FpLong);
  A_FpLong (*fabs)(A_FpLong);
  A_FpLong (*floor)(A_FpLong);
  A_FpLong (*fmod)(A_FpLong x, A_FpLong y);
  A_FpLong (*hypot)(A_FpLong x, A_FpLong y);
  A_FpLong (*log)(A_FpLong);
  A_FpLong (*log10)(A_FpLong);
  A_FpLong (*pow)(A_FpLong x, A_FpLong y);
  A_FpLong (*sin)(A_FpLong);
  A_FpLong (*sqrt)(A_FpLong);
  A_FpLong (*tan)(A_FpLong);
  int (*sprintf)(A_char *, const A_char *, ...);
  A_char *(*strcpy)(A_char *, const A_char *);
  A_FpLong (*asin)(A_FpLong);
  A_FpLong (*acos)(A_FpLong);
} PF_ANSICallbacksSuite1;

/* With pixelsP0 null the world's own data is used; a world of another depth than the
 * function's gives a null pointer. */
typedef struct PF_PixelDataSuite1 {
  PF_Err (*get_pixel_data8)(PF_EffectWorld *worldP, PF_PixelPtr pixelsP0, PF_Pixel8 **pixPP);
  PF_Err (*get_pixel_data16)(PF_EffectWorld *worldP, PF_PixelPtr pixelsP0, PF_Pixel16 **pixPP);
  PF_Err (*get_pixel_data_float)(PF_EffectWorld *worldP, PF_PixelPtr pixelsP0,
                                 PF_PixelFloat **pixPP);
} PF_PixelDataSuite1;

/* area null: the whole overlap; src null: iterate over the destination only;
 * progress_final 0: no progress. */
typedef struct PF_Iterate8Suite1 {
  PF_Err (*iterate)(PF_InData *in_data, A_long progress_base, A_long progress_final,
                    PF_EffectWorld *src, const PF_Rect *area, void *refcon,
                    PF_IteratePixel8Func pix_fn, PF_EffectWorld *dst);
  PF_Err (*iterate_origin)(PF_InData *in_data, A_long progress_base, A_long progress_final,
                           PF_EffectWorld *src, const PF_Rect *area, const PF_Point *origin,
                           void *refcon, PF_IteratePixel8Func pix_fn, PF_EffectWorld *dst);
  PF_Err (*iterate_lut)(PF_InData *in_data, A_long progress_base, A_long progress_final,
                        PF_EffectWorld *src, const PF_Rect *area, A_u_char *a_lut0,
                        A_u_char *r_lut0, A_u_char *g_lut0, A_u_char *b_lut0, PF_EffectWorld *dst);
  PF_Err (*iterate_origin_non_clip_src)(PF_InData *in_data, A_long progress_base,
                                        A_long progress_final, PF_EffectWorld *src,
                                        const PF_Rect *area, const PF_Point *origin, void *refcon,
                                        PF_IteratePixel8Func pix_fn, PF_EffectWorld *dst);
  PF_Err (*iterate_generic)(A_long iterationsL, void *refconPV,
                            PF_Err (*fn_func)(void *refconPV, A_long thread_indexL, A_long i,
                                              A_long iterationsL));
} PF_Iterate8Suite1;

typedef struct PF_iterate16Suite1 {
  PF_Err (*iterate)(PF_InData *in_data, A_long progress_base, A_long progress_final,
                    PF_EffectWorld *src, const PF_Rect *area, void *refcon,
                    PF_IteratePixel16Func pix_fn, PF_EffectWorld *dst);
  PF_Err (*iterate_origin)(PF_InData *in_data, A_long progress_base, A_long progress_final,
                           PF_EffectWorld *src, const PF_Rect *area, const PF_Point *origin,
                           void *refcon, PF_IteratePixel16Func pix_fn, PF_EffectWorld *dst);
  PF_Err (*iterate_origin_non_clip_src)(PF_InData *in_data, A_long progress_base,
                                        A_long progress_final, PF_EffectWorld *src,
                                        const PF_Rect *area, const PF_Point *origin, void *refcon,
                                        PF_IteratePixel16Func pix_fn, PF_EffectWorld *dst);
} PF_Iterate16Suite1;

typedef struct PF_iterateFloatSuite1 {
  PF_Err (*iterate)(PF_InData *in_data, A_long progress_base, A_long progress_final,
                    PF_EffectWorld *src, const PF_Rect *area, void *refcon,
                    PF_IteratePixelFloatFunc pix_fn, PF_EffectWorld *dst);
  PF_Err (*iterate_origin)(PF_InData *in_data, A_long progress_base, A_long progress_final,
                           PF_EffectWorld *src, const PF_Rect *area, const PF_Point *origin,
                           void *refcon, PF_IteratePixelFloatFunc pix_fn, PF_EffectWorld *dst);
  PF_Err (*iterate_origin_non_clip_src)(PF_InData *in_data, A_long progress_base,
                                        A_long progress_final, PF_EffectWorld *src,
                                        const PF_Rect *area, const PF_Point *origin, void *refcon,
                                        PF_IteratePixelFloatFunc pix_fn, PF_EffectWorld *dst);
} PF_IterateFloatSuite1;

/* Slot 0 samples the nearest pixel, slot 1 is the subpixel sampler; x and y are 16.16
 * positions in params->src. */
typedef struct PF_Sampling8Suite1 {
  PF_Err (*nn_sample)(PF_ProgPtr effect_ref, PF_Fixed x, PF_Fixed y, const PF_SampPB *params,
                      PF_Pixel *dst_pixel);
  PF_Err (*subpixel_sample)(PF_ProgPtr effect_ref, PF_Fixed x, PF_Fixed y, const PF_SampPB *params,
                            PF_Pixel *dst_pixel);
  PF_Err (*area_sample)(PF_ProgPtr effect_ref, PF_Fixed x, PF_Fixed y, const PF_SampPB *params,
                        PF_Pixel *dst_pixel);
} PF_Sampling8Suite1;

typedef struct PF_Sampling16Suite1 {
  PF_Err (*nn_sample16)(PF_ProgPtr effect_ref, PF_Fixed x, PF_Fixed y, const PF_SampPB *params,
                        PF_Pixel16 *dst_pixel);
  PF_Err (*subpixel_sample16)(PF_ProgPtr effect_ref, PF_Fixed x, PF_Fixed y,
                              const PF_SampPB *params, PF_Pixel16 *dst_pixel);
  PF_Err (*area_sample16)(PF_ProgPtr effect_ref, PF_Fixed x, PF_Fixed y, const PF_SampPB *params,
                          PF_Pixel16 *dst_pixel);
} PF_Sampling16Suite1;

typedef struct PF_SamplingFloatSuite1 {
  PF_Err (*nn_sample_float)(PF_ProgPtr effect_ref, PF_Fixed x, PF_Fixed y, const PF_SampPB *params,
                            PF_PixelFloat *dst_pixel);
  PF_Err (*subpixel_sample_float)(PF_ProgPtr effect_ref, PF_Fixed x, PF_Fixed y,
                                  const PF_SampPB *params, PF_PixelFloat *dst_pixel);
  PF_Err (*area_sample_float)(PF_ProgPtr effect_ref, PF_Fixed x, PF_Fixed y,
                              const PF_SampPB *params, PF_PixelFloat *dst_pixel);
} PF_SamplingFloatSuite1;

#pragma pack(pop)

#endif
