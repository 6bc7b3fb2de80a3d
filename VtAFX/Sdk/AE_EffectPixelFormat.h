/* Pixel formats and the world suite. */
#ifndef VTAFX_SDK_AE_EFFECTPIXELFORMAT_H
#define VTAFX_SDK_AE_EFFECTPIXELFORMAT_H

#include "AE_Effect.h"

/* Unlike parameter ids, pixel-format codes carry their first character in the LEAST
 * significant byte ('argb' is 0x62677261). */
enum {
  PF_PixelFormat_ARGB32 = 0x62677261,      /* 'argb': PF_Pixel8 */
  PF_PixelFormat_ARGB64 = 0x36316561,      /* 'ae16': PF_Pixel16 */
  PF_PixelFormat_ARGB128 = 0x32336561,     /* 'ae32': PF_PixelFloat */
  PF_PixelFormat_GPU_BGRA128 = 0x41444340, /* '@CDA' */
  PF_PixelFormat_BGRA32 = 0x61726762,      /* 'bgra' */
  PF_PixelFormat_VUYA32 = 0x61797576,      /* 'vuya' */
  PF_PixelFormat_INVALID = 0x66646162      /* 'badf' */
};

#define kPFWorldSuite "PF World Suite"
#define kPFWorldSuiteVersion2 2

#pragma pack(push, 8)

/* Version 2; version 1 of the same name is a different, two-entry table. */
typedef struct PF_WorldSuite2 {
  PF_Err (*PF_NewWorld)(PF_ProgPtr effect_ref, A_long widthL, A_long heightL, PF_Boolean clear_pixB,
                        PF_PixelFormat pixel_format, PF_EffectWorld *worldP);
  PF_Err (*PF_DisposeWorld)(PF_ProgPtr effect_ref, PF_EffectWorld *worldP);
  PF_Err (*PF_GetPixelFormat)(const PF_EffectWorld *worldP, PF_PixelFormat *pixel_formatP);
} PF_WorldSuite2;

#pragma pack(pop)

#endif
