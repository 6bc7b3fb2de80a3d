// Compile-time proof that the host API records have the host's Windows x64 binary layout:
// every size, alignment and field offset the host relies on. Included by one compiled source
// of the effect, so every build (Linux, Windows cross-build, or against the host's own
// headers) fails to compile rather than silently corrupting memory the host writes.
#ifndef VTAFX_SDK_LAYOUT_CHECKS_H
#define VTAFX_SDK_LAYOUT_CHECKS_H

#include <cstddef>

#include "AE_Effect.h"
#include "AE_EffectCB.h"
#include "AE_EffectCBSuites.h"
#include "AE_EffectPixelFormat.h"
#include "AE_EffectSuites.h"
#include "AE_GeneralPlug.h"
#include "SPBasic.h"
#include "SPErrorCodes.h"

#define VTAFX_CHECK_RECORD(T, SIZE, ALIGN)           \
  static_assert(sizeof(T) == (SIZE), "size of " #T); \
  static_assert(alignof(T) == (ALIGN), "alignment of " #T)
#define VTAFX_CHECK_FIELD(T, FIELD, OFFSET) \
  static_assert(offsetof(T, FIELD) == (OFFSET), "offset of " #T "." #FIELD)

namespace VtAFXSdkLayoutChecks {

// Basic types.
static_assert(sizeof(A_long) == 4 && sizeof(A_u_long) == 4, "A_long");
static_assert(sizeof(A_short) == 2 && sizeof(A_u_short) == 2, "A_short");
static_assert(sizeof(A_char) == 1 && sizeof(A_u_char) == 1 && sizeof(A_Boolean) == 1, "A_char");
static_assert(sizeof(A_FpLong) == 8 && sizeof(A_FpShort) == 4, "A_Fp");
static_assert(sizeof(A_intptr_t) == 8 && sizeof(A_u_longlong) == 8 && sizeof(A_HandleSize) == 8,
              "64-bit");
static_assert(sizeof(A_UTF16Char) == 2 && sizeof(A_Err) == 4 && sizeof(A_Fixed) == 4, "A_ misc");
static_assert(sizeof(A_Handle) == 8 && sizeof(PF_Handle) == 8 && sizeof(PF_ProgPtr) == 8,
              "pointers");
static_assert(sizeof(PF_Boolean) == 1 && sizeof(PF_Fixed) == 4 && sizeof(PF_UFixed) == 4,
              "PF_ basics");
static_assert(sizeof(PF_Err) == 4 && sizeof(PF_Cmd) == 4 && sizeof(PF_ParamIndex) == 4, "PF_ ints");
static_assert(sizeof(PF_ValueDisplayFlags) == 2 && sizeof(PF_RenderOutputFlags) == 2,
              "16-bit flags");
static_assert(sizeof(PF_FSliderFlags) == 4 && sizeof(PF_PixelFormat) == 4, "32-bit flags");
static_assert(sizeof(SPErr) == 4 && sizeof(SPBoolean) == 4, "SP types");

// Small records.
VTAFX_CHECK_RECORD(A_Time, 8, 4);
VTAFX_CHECK_RECORD(A_Ratio, 8, 4);
VTAFX_CHECK_RECORD(A_FloatPoint, 16, 8);
VTAFX_CHECK_FIELD(A_FloatPoint, y, 8);
VTAFX_CHECK_RECORD(A_FloatPoint3, 24, 8);
VTAFX_CHECK_RECORD(A_FloatRect, 32, 8);
VTAFX_CHECK_RECORD(A_LRect, 16, 4);
VTAFX_CHECK_RECORD(A_LPoint, 8, 4);
VTAFX_CHECK_RECORD(A_Version, 4, 2);
VTAFX_CHECK_RECORD(A_Color, 32, 8);
VTAFX_CHECK_RECORD(PF_SpecVersion, 4, 2);
VTAFX_CHECK_FIELD(PF_SpecVersion, minor, 2);
VTAFX_CHECK_RECORD(PF_Point, 8, 4);
VTAFX_CHECK_FIELD(PF_Point, v, 4);
VTAFX_CHECK_RECORD(PF_LRect, 16, 4);
VTAFX_CHECK_FIELD(PF_LRect, top, 4);
VTAFX_CHECK_FIELD(PF_LRect, right, 8);
VTAFX_CHECK_FIELD(PF_LRect, bottom, 12);
VTAFX_CHECK_RECORD(PF_RationalScale, 8, 4);
VTAFX_CHECK_FIELD(PF_RationalScale, den, 4);
VTAFX_CHECK_RECORD(PF_FixedPoint, 8, 4);
VTAFX_CHECK_RECORD(PF_FixedRect, 16, 4);
VTAFX_CHECK_RECORD(PF_Matrix, 36, 4);
VTAFX_CHECK_RECORD(PF_FloatMatrix, 72, 8);
VTAFX_CHECK_RECORD(PF_Pixel8, 4, 1);
VTAFX_CHECK_FIELD(PF_Pixel8, red, 1);
VTAFX_CHECK_FIELD(PF_Pixel8, green, 2);
VTAFX_CHECK_FIELD(PF_Pixel8, blue, 3);
VTAFX_CHECK_RECORD(PF_Pixel16, 8, 2);
VTAFX_CHECK_FIELD(PF_Pixel16, red, 2);
VTAFX_CHECK_FIELD(PF_Pixel16, green, 4);
VTAFX_CHECK_FIELD(PF_Pixel16, blue, 6);
VTAFX_CHECK_RECORD(PF_PixelFloat, 16, 4);
VTAFX_CHECK_FIELD(PF_PixelFloat, red, 4);
VTAFX_CHECK_FIELD(PF_PixelFloat, green, 8);
VTAFX_CHECK_FIELD(PF_PixelFloat, blue, 12);
VTAFX_CHECK_RECORD(PF_CompositeMode, 12, 4);
VTAFX_CHECK_FIELD(PF_CompositeMode, rand_seed, 4);
VTAFX_CHECK_FIELD(PF_CompositeMode, opacity, 8);
VTAFX_CHECK_FIELD(PF_CompositeMode, rgb_only, 9);
VTAFX_CHECK_FIELD(PF_CompositeMode, opacitySu, 10);
VTAFX_CHECK_RECORD(PF_SoundFormatInfo, 16, 8);
VTAFX_CHECK_FIELD(PF_SoundFormatInfo, num_channels, 8);
VTAFX_CHECK_FIELD(PF_SoundFormatInfo, format, 10);
VTAFX_CHECK_FIELD(PF_SoundFormatInfo, sample_size, 12);
VTAFX_CHECK_RECORD(PF_SoundWorld, 32, 8);
VTAFX_CHECK_FIELD(PF_SoundWorld, num_samples, 16);
VTAFX_CHECK_FIELD(PF_SoundWorld, dataP, 24);
VTAFX_CHECK_RECORD(PF_State, 16, 4);
VTAFX_CHECK_RECORD(PF_UserChangedParamExtra, 4, 4);

// PF_InData.
VTAFX_CHECK_RECORD(PF_InData, 408, 8);
VTAFX_CHECK_FIELD(PF_InData, inter, 0);
VTAFX_CHECK_FIELD(PF_InData, utils, 176);
VTAFX_CHECK_FIELD(PF_InData, effect_ref, 184);
VTAFX_CHECK_FIELD(PF_InData, quality, 192);
VTAFX_CHECK_FIELD(PF_InData, version, 196);
VTAFX_CHECK_FIELD(PF_InData, serial_num, 200);
VTAFX_CHECK_FIELD(PF_InData, appl_id, 204);
VTAFX_CHECK_FIELD(PF_InData, num_params, 208);
VTAFX_CHECK_FIELD(PF_InData, reserved, 212);
VTAFX_CHECK_FIELD(PF_InData, what_cpu, 216);
VTAFX_CHECK_FIELD(PF_InData, what_fpu, 220);
VTAFX_CHECK_FIELD(PF_InData, current_time, 224);
VTAFX_CHECK_FIELD(PF_InData, time_step, 228);
VTAFX_CHECK_FIELD(PF_InData, total_time, 232);
VTAFX_CHECK_FIELD(PF_InData, local_time_step, 236);
VTAFX_CHECK_FIELD(PF_InData, time_scale, 240);
VTAFX_CHECK_FIELD(PF_InData, field, 244);
VTAFX_CHECK_FIELD(PF_InData, shutter_angle, 248);
VTAFX_CHECK_FIELD(PF_InData, width, 252);
VTAFX_CHECK_FIELD(PF_InData, height, 256);
VTAFX_CHECK_FIELD(PF_InData, extent_hint, 260);
VTAFX_CHECK_FIELD(PF_InData, output_origin_x, 276);
VTAFX_CHECK_FIELD(PF_InData, output_origin_y, 280);
VTAFX_CHECK_FIELD(PF_InData, downsample_x, 284);
VTAFX_CHECK_FIELD(PF_InData, downsample_y, 292);
VTAFX_CHECK_FIELD(PF_InData, pixel_aspect_ratio, 300);
VTAFX_CHECK_FIELD(PF_InData, in_flags, 308);
VTAFX_CHECK_FIELD(PF_InData, global_data, 312);
VTAFX_CHECK_FIELD(PF_InData, sequence_data, 320);
VTAFX_CHECK_FIELD(PF_InData, frame_data, 328);
VTAFX_CHECK_FIELD(PF_InData, start_sampL, 336);
VTAFX_CHECK_FIELD(PF_InData, dur_sampL, 340);
VTAFX_CHECK_FIELD(PF_InData, total_sampL, 344);
VTAFX_CHECK_FIELD(PF_InData, src_snd, 352);
VTAFX_CHECK_FIELD(PF_InData, pica_basicP, 384);
VTAFX_CHECK_FIELD(PF_InData, pre_effect_source_origin_x, 392);
VTAFX_CHECK_FIELD(PF_InData, pre_effect_source_origin_y, 396);
VTAFX_CHECK_FIELD(PF_InData, shutter_phase, 400);

// PF_InteractCallbacks.
VTAFX_CHECK_RECORD(PF_InteractCallbacks, 176, 8);
VTAFX_CHECK_FIELD(PF_InteractCallbacks, checkout_param, 0);
VTAFX_CHECK_FIELD(PF_InteractCallbacks, checkin_param, 8);
VTAFX_CHECK_FIELD(PF_InteractCallbacks, add_param, 16);
VTAFX_CHECK_FIELD(PF_InteractCallbacks, abort, 24);
VTAFX_CHECK_FIELD(PF_InteractCallbacks, progress, 32);
VTAFX_CHECK_FIELD(PF_InteractCallbacks, register_ui, 40);
VTAFX_CHECK_FIELD(PF_InteractCallbacks, checkout_layer_audio, 48);
VTAFX_CHECK_FIELD(PF_InteractCallbacks, checkin_layer_audio, 56);
VTAFX_CHECK_FIELD(PF_InteractCallbacks, get_audio_data, 64);
VTAFX_CHECK_FIELD(PF_InteractCallbacks, reserved_str, 72);
VTAFX_CHECK_FIELD(PF_InteractCallbacks, reserved, 96);

// PF_UtilCallbacks and its embedded blocks.
VTAFX_CHECK_RECORD(PF_UtilCallbacks, 552, 8);
VTAFX_CHECK_FIELD(PF_UtilCallbacks, begin_sampling, 0);
VTAFX_CHECK_FIELD(PF_UtilCallbacks, subpixel_sample, 8);
VTAFX_CHECK_FIELD(PF_UtilCallbacks, area_sample, 16);
VTAFX_CHECK_FIELD(PF_UtilCallbacks, get_batch_func_is_deprecated, 24);
VTAFX_CHECK_FIELD(PF_UtilCallbacks, end_sampling, 32);
VTAFX_CHECK_FIELD(PF_UtilCallbacks, composite_rect, 40);
VTAFX_CHECK_FIELD(PF_UtilCallbacks, blend, 48);
VTAFX_CHECK_FIELD(PF_UtilCallbacks, convolve, 56);
VTAFX_CHECK_FIELD(PF_UtilCallbacks, copy, 64);
VTAFX_CHECK_FIELD(PF_UtilCallbacks, fill, 72);
VTAFX_CHECK_FIELD(PF_UtilCallbacks, gaussian_kernel, 80);
VTAFX_CHECK_FIELD(PF_UtilCallbacks, iterate, 88);
VTAFX_CHECK_FIELD(PF_UtilCallbacks, premultiply, 96);
VTAFX_CHECK_FIELD(PF_UtilCallbacks, premultiply_color, 104);
VTAFX_CHECK_FIELD(PF_UtilCallbacks, new_world, 112);
VTAFX_CHECK_FIELD(PF_UtilCallbacks, dispose_world, 120);
VTAFX_CHECK_FIELD(PF_UtilCallbacks, iterate_origin, 128);
VTAFX_CHECK_FIELD(PF_UtilCallbacks, iterate_lut, 136);
VTAFX_CHECK_FIELD(PF_UtilCallbacks, transfer_rect, 144);
VTAFX_CHECK_FIELD(PF_UtilCallbacks, transform_world, 152);
VTAFX_CHECK_FIELD(PF_UtilCallbacks, host_new_handle, 160);
VTAFX_CHECK_FIELD(PF_UtilCallbacks, host_lock_handle, 168);
VTAFX_CHECK_FIELD(PF_UtilCallbacks, host_unlock_handle, 176);
VTAFX_CHECK_FIELD(PF_UtilCallbacks, host_dispose_handle, 184);
VTAFX_CHECK_FIELD(PF_UtilCallbacks, get_callback_addr, 192);
VTAFX_CHECK_FIELD(PF_UtilCallbacks, app, 200);
VTAFX_CHECK_FIELD(PF_UtilCallbacks, ansi, 208);
VTAFX_CHECK_FIELD(PF_UtilCallbacks, ansi.sin, 304);
VTAFX_CHECK_FIELD(PF_UtilCallbacks, ansi.sprintf, 328);
VTAFX_CHECK_FIELD(PF_UtilCallbacks, ansi.strcpy, 336);
VTAFX_CHECK_FIELD(PF_UtilCallbacks, colorCB, 368);
VTAFX_CHECK_FIELD(PF_UtilCallbacks, get_platform_data, 432);
VTAFX_CHECK_FIELD(PF_UtilCallbacks, host_get_handle_size, 440);
VTAFX_CHECK_FIELD(PF_UtilCallbacks, iterate_origin_non_clip_src, 448);
VTAFX_CHECK_FIELD(PF_UtilCallbacks, iterate_generic, 456);
VTAFX_CHECK_FIELD(PF_UtilCallbacks, host_resize_handle, 464);
VTAFX_CHECK_FIELD(PF_UtilCallbacks, subpixel_sample16, 472);
VTAFX_CHECK_FIELD(PF_UtilCallbacks, area_sample16, 480);
VTAFX_CHECK_FIELD(PF_UtilCallbacks, fill16, 488);
VTAFX_CHECK_FIELD(PF_UtilCallbacks, premultiply_color16, 496);
VTAFX_CHECK_FIELD(PF_UtilCallbacks, iterate16, 504);
VTAFX_CHECK_FIELD(PF_UtilCallbacks, iterate_origin16, 512);
VTAFX_CHECK_FIELD(PF_UtilCallbacks, iterate_origin_non_clip_src16, 520);
VTAFX_CHECK_FIELD(PF_UtilCallbacks, get_pixel_data8, 528);
VTAFX_CHECK_FIELD(PF_UtilCallbacks, get_pixel_data16, 536);
VTAFX_CHECK_FIELD(PF_UtilCallbacks, reserved, 544);

VTAFX_CHECK_RECORD(PF_ANSICallbacks, 160, 8);
VTAFX_CHECK_FIELD(PF_ANSICallbacks, atan, 0);
VTAFX_CHECK_FIELD(PF_ANSICallbacks, atan2, 8);
VTAFX_CHECK_FIELD(PF_ANSICallbacks, ceil, 16);
VTAFX_CHECK_FIELD(PF_ANSICallbacks, cos, 24);
VTAFX_CHECK_FIELD(PF_ANSICallbacks, exp, 32);
VTAFX_CHECK_FIELD(PF_ANSICallbacks, fabs, 40);
VTAFX_CHECK_FIELD(PF_ANSICallbacks, floor, 48);
VTAFX_CHECK_FIELD(PF_ANSICallbacks, fmod, 56);
VTAFX_CHECK_FIELD(PF_ANSICallbacks, hypot, 64);
VTAFX_CHECK_FIELD(PF_ANSICallbacks, log, 72);
VTAFX_CHECK_FIELD(PF_ANSICallbacks, log10, 80);
VTAFX_CHECK_FIELD(PF_ANSICallbacks, pow, 88);
VTAFX_CHECK_FIELD(PF_ANSICallbacks, sin, 96);
VTAFX_CHECK_FIELD(PF_ANSICallbacks, sqrt, 104);
VTAFX_CHECK_FIELD(PF_ANSICallbacks, tan, 112);
VTAFX_CHECK_FIELD(PF_ANSICallbacks, sprintf, 120);
VTAFX_CHECK_FIELD(PF_ANSICallbacks, strcpy, 128);
VTAFX_CHECK_FIELD(PF_ANSICallbacks, asin, 136);
VTAFX_CHECK_FIELD(PF_ANSICallbacks, acos, 144);
VTAFX_CHECK_FIELD(PF_ANSICallbacks, ansi_procs, 152);

VTAFX_CHECK_RECORD(PF_ColorCallbacks, 64, 8);
VTAFX_CHECK_FIELD(PF_ColorCallbacks, RGBtoHLS, 0);
VTAFX_CHECK_FIELD(PF_ColorCallbacks, HLStoRGB, 8);
VTAFX_CHECK_FIELD(PF_ColorCallbacks, RGBtoYIQ, 16);
VTAFX_CHECK_FIELD(PF_ColorCallbacks, YIQtoRGB, 24);
VTAFX_CHECK_FIELD(PF_ColorCallbacks, Luminance, 32);
VTAFX_CHECK_FIELD(PF_ColorCallbacks, Hue, 40);
VTAFX_CHECK_FIELD(PF_ColorCallbacks, Lightness, 48);
VTAFX_CHECK_FIELD(PF_ColorCallbacks, Saturation, 56);

// PF_OutData.
VTAFX_CHECK_RECORD(PF_OutData, 408, 8);
VTAFX_CHECK_FIELD(PF_OutData, my_version, 0);
VTAFX_CHECK_FIELD(PF_OutData, name, 4);
VTAFX_CHECK_FIELD(PF_OutData, global_data, 40);
VTAFX_CHECK_FIELD(PF_OutData, num_params, 48);
VTAFX_CHECK_FIELD(PF_OutData, sequence_data, 56);
VTAFX_CHECK_FIELD(PF_OutData, flat_sdata_size, 64);
VTAFX_CHECK_FIELD(PF_OutData, frame_data, 72);
VTAFX_CHECK_FIELD(PF_OutData, width, 80);
VTAFX_CHECK_FIELD(PF_OutData, height, 84);
VTAFX_CHECK_FIELD(PF_OutData, origin, 88);
VTAFX_CHECK_FIELD(PF_OutData, out_flags, 96);
VTAFX_CHECK_FIELD(PF_OutData, return_msg, 100);
VTAFX_CHECK_FIELD(PF_OutData, start_sampL, 356);
VTAFX_CHECK_FIELD(PF_OutData, dur_sampL, 360);
VTAFX_CHECK_FIELD(PF_OutData, dest_snd, 368);
VTAFX_CHECK_FIELD(PF_OutData, out_flags2, 400);
static_assert(sizeof(PF_OutData::name) == 32 && sizeof(PF_OutData::return_msg) == 256,
              "out_data texts");

// PF_ParamDef and its union.
VTAFX_CHECK_RECORD(PF_ParamDef, 176, 8);
VTAFX_CHECK_FIELD(PF_ParamDef, uu.id, 0);
VTAFX_CHECK_FIELD(PF_ParamDef, uu.change_flags, 0);
VTAFX_CHECK_FIELD(PF_ParamDef, ui_flags, 4);
VTAFX_CHECK_FIELD(PF_ParamDef, ui_width, 8);
VTAFX_CHECK_FIELD(PF_ParamDef, ui_height, 10);
VTAFX_CHECK_FIELD(PF_ParamDef, param_type, 12);
VTAFX_CHECK_FIELD(PF_ParamDef, name, 16);
VTAFX_CHECK_FIELD(PF_ParamDef, flags, 48);
VTAFX_CHECK_FIELD(PF_ParamDef, unused, 52);
VTAFX_CHECK_FIELD(PF_ParamDef, u, 56);
static_assert(sizeof(PF_ParamDef::name) == 32, "parameter name field");
VTAFX_CHECK_RECORD(PF_ParamDefUnion, 120, 8);

VTAFX_CHECK_RECORD(PF_LayerDef, 120, 8);
VTAFX_CHECK_FIELD(PF_LayerDef, reserved0, 0);
VTAFX_CHECK_FIELD(PF_LayerDef, reserved1, 8);
VTAFX_CHECK_FIELD(PF_LayerDef, world_flags, 16);
VTAFX_CHECK_FIELD(PF_LayerDef, data, 24);
VTAFX_CHECK_FIELD(PF_LayerDef, rowbytes, 32);
VTAFX_CHECK_FIELD(PF_LayerDef, width, 36);
VTAFX_CHECK_FIELD(PF_LayerDef, height, 40);
VTAFX_CHECK_FIELD(PF_LayerDef, extent_hint, 44);
VTAFX_CHECK_FIELD(PF_LayerDef, platform_ref, 64);
VTAFX_CHECK_FIELD(PF_LayerDef, reserved_long1, 72);
VTAFX_CHECK_FIELD(PF_LayerDef, reserved_long4, 80);
VTAFX_CHECK_FIELD(PF_LayerDef, pix_aspect_ratio, 88);
VTAFX_CHECK_FIELD(PF_LayerDef, reserved_long2, 96);
VTAFX_CHECK_FIELD(PF_LayerDef, origin_x, 104);
VTAFX_CHECK_FIELD(PF_LayerDef, origin_y, 108);
VTAFX_CHECK_FIELD(PF_LayerDef, reserved_long3, 112);
VTAFX_CHECK_FIELD(PF_LayerDef, dephault, 116);

VTAFX_CHECK_RECORD(PF_FloatSliderDef, 88, 8);
VTAFX_CHECK_FIELD(PF_FloatSliderDef, value, 0);
VTAFX_CHECK_FIELD(PF_FloatSliderDef, phase, 8);
VTAFX_CHECK_FIELD(PF_FloatSliderDef, value_desc, 16);
VTAFX_CHECK_FIELD(PF_FloatSliderDef, valid_min, 48);
VTAFX_CHECK_FIELD(PF_FloatSliderDef, valid_max, 52);
VTAFX_CHECK_FIELD(PF_FloatSliderDef, slider_min, 56);
VTAFX_CHECK_FIELD(PF_FloatSliderDef, slider_max, 60);
VTAFX_CHECK_FIELD(PF_FloatSliderDef, dephault, 64);
VTAFX_CHECK_FIELD(PF_FloatSliderDef, precision, 68);
VTAFX_CHECK_FIELD(PF_FloatSliderDef, display_flags, 70);
VTAFX_CHECK_FIELD(PF_FloatSliderDef, fs_flags, 72);
VTAFX_CHECK_FIELD(PF_FloatSliderDef, curve_tolerance, 76);
VTAFX_CHECK_FIELD(PF_FloatSliderDef, useExponent, 80);
VTAFX_CHECK_FIELD(PF_FloatSliderDef, exponent, 84);

VTAFX_CHECK_RECORD(PF_PopupDef, 16, 8);
VTAFX_CHECK_FIELD(PF_PopupDef, value, 0);
VTAFX_CHECK_FIELD(PF_PopupDef, num_choices, 4);
VTAFX_CHECK_FIELD(PF_PopupDef, dephault, 6);
VTAFX_CHECK_FIELD(PF_PopupDef, u.namesptr, 8);

VTAFX_CHECK_RECORD(PF_PointDef, 20, 4);
VTAFX_CHECK_FIELD(PF_PointDef, x_value, 0);
VTAFX_CHECK_FIELD(PF_PointDef, y_value, 4);
VTAFX_CHECK_FIELD(PF_PointDef, reserved, 8);
VTAFX_CHECK_FIELD(PF_PointDef, restrict_bounds, 11);
VTAFX_CHECK_FIELD(PF_PointDef, x_dephault, 12);
VTAFX_CHECK_FIELD(PF_PointDef, y_dephault, 16);

VTAFX_CHECK_RECORD(PF_Point3DDef, 64, 8);
VTAFX_CHECK_FIELD(PF_Point3DDef, y_value, 8);
VTAFX_CHECK_FIELD(PF_Point3DDef, z_value, 16);
VTAFX_CHECK_FIELD(PF_Point3DDef, x_dephault, 24);
VTAFX_CHECK_FIELD(PF_Point3DDef, y_dephault, 32);
VTAFX_CHECK_FIELD(PF_Point3DDef, z_dephault, 40);
VTAFX_CHECK_FIELD(PF_Point3DDef, reserved, 48);

VTAFX_CHECK_RECORD(PF_SliderDef, 88, 4);
VTAFX_CHECK_FIELD(PF_SliderDef, value_str, 4);
VTAFX_CHECK_FIELD(PF_SliderDef, value_desc, 36);
VTAFX_CHECK_FIELD(PF_SliderDef, valid_min, 68);
VTAFX_CHECK_FIELD(PF_SliderDef, valid_max, 72);
VTAFX_CHECK_FIELD(PF_SliderDef, slider_min, 76);
VTAFX_CHECK_FIELD(PF_SliderDef, slider_max, 80);
VTAFX_CHECK_FIELD(PF_SliderDef, dephault, 84);

VTAFX_CHECK_RECORD(PF_FixedSliderDef, 92, 4);
VTAFX_CHECK_FIELD(PF_FixedSliderDef, value_str, 4);
VTAFX_CHECK_FIELD(PF_FixedSliderDef, value_desc, 36);
VTAFX_CHECK_FIELD(PF_FixedSliderDef, valid_min, 68);
VTAFX_CHECK_FIELD(PF_FixedSliderDef, valid_max, 72);
VTAFX_CHECK_FIELD(PF_FixedSliderDef, slider_min, 76);
VTAFX_CHECK_FIELD(PF_FixedSliderDef, slider_max, 80);
VTAFX_CHECK_FIELD(PF_FixedSliderDef, dephault, 84);
VTAFX_CHECK_FIELD(PF_FixedSliderDef, precision, 88);
VTAFX_CHECK_FIELD(PF_FixedSliderDef, display_flags, 90);

VTAFX_CHECK_RECORD(PF_AngleDef, 16, 4);
VTAFX_CHECK_FIELD(PF_AngleDef, dephault, 4);
VTAFX_CHECK_FIELD(PF_AngleDef, valid_min, 8);
VTAFX_CHECK_FIELD(PF_AngleDef, valid_max, 12);

VTAFX_CHECK_RECORD(PF_CheckBoxDef, 16, 8);
VTAFX_CHECK_FIELD(PF_CheckBoxDef, dephault, 4);
VTAFX_CHECK_FIELD(PF_CheckBoxDef, reserved, 5);
VTAFX_CHECK_FIELD(PF_CheckBoxDef, reserved1, 6);
VTAFX_CHECK_FIELD(PF_CheckBoxDef, u.nameptr, 8);

VTAFX_CHECK_RECORD(PF_ColorDef, 8, 1);
VTAFX_CHECK_FIELD(PF_ColorDef, dephault, 4);

VTAFX_CHECK_RECORD(PF_ButtonDef, 16, 8);
VTAFX_CHECK_FIELD(PF_ButtonDef, u.namesptr, 8);

VTAFX_CHECK_RECORD(PF_PathDef, 12, 4);
VTAFX_CHECK_FIELD(PF_PathDef, reserved0, 4);
VTAFX_CHECK_FIELD(PF_PathDef, dephault, 8);

VTAFX_CHECK_RECORD(PF_ArbitraryDef, 32, 8);
VTAFX_CHECK_FIELD(PF_ArbitraryDef, pad, 2);
VTAFX_CHECK_FIELD(PF_ArbitraryDef, dephault, 8);
VTAFX_CHECK_FIELD(PF_ArbitraryDef, value, 16);
VTAFX_CHECK_FIELD(PF_ArbitraryDef, refconPV, 24);

// Smart pre-render and render.
VTAFX_CHECK_RECORD(PF_PreRenderExtra, 24, 8);
VTAFX_CHECK_FIELD(PF_PreRenderExtra, output, 8);
VTAFX_CHECK_FIELD(PF_PreRenderExtra, cb, 16);

VTAFX_CHECK_RECORD(PF_RenderRequest, 44, 4);
VTAFX_CHECK_FIELD(PF_RenderRequest, field, 16);
VTAFX_CHECK_FIELD(PF_RenderRequest, channel_mask, 20);
VTAFX_CHECK_FIELD(PF_RenderRequest, preserve_rgb_of_zero_alpha, 24);
VTAFX_CHECK_FIELD(PF_RenderRequest, unused, 25);
VTAFX_CHECK_FIELD(PF_RenderRequest, reserved, 28);

VTAFX_CHECK_RECORD(PF_PreRenderInput, 64, 8);
VTAFX_CHECK_FIELD(PF_PreRenderInput, bitdepth, 44);
VTAFX_CHECK_FIELD(PF_PreRenderInput, gpu_data, 48);
VTAFX_CHECK_FIELD(PF_PreRenderInput, what_gpu, 56);
VTAFX_CHECK_FIELD(PF_PreRenderInput, device_index, 60);

VTAFX_CHECK_RECORD(PF_PreRenderOutput, 56, 8);
VTAFX_CHECK_FIELD(PF_PreRenderOutput, max_result_rect, 16);
VTAFX_CHECK_FIELD(PF_PreRenderOutput, solid, 32);
VTAFX_CHECK_FIELD(PF_PreRenderOutput, reserved, 33);
VTAFX_CHECK_FIELD(PF_PreRenderOutput, flags, 34);
VTAFX_CHECK_FIELD(PF_PreRenderOutput, pre_render_data, 40);
VTAFX_CHECK_FIELD(PF_PreRenderOutput, delete_pre_render_data_func, 48);

VTAFX_CHECK_RECORD(PF_CheckoutResult, 76, 4);
VTAFX_CHECK_FIELD(PF_CheckoutResult, max_result_rect, 16);
VTAFX_CHECK_FIELD(PF_CheckoutResult, par, 32);
VTAFX_CHECK_FIELD(PF_CheckoutResult, solid, 40);
VTAFX_CHECK_FIELD(PF_CheckoutResult, reservedB, 41);
VTAFX_CHECK_FIELD(PF_CheckoutResult, ref_width, 44);
VTAFX_CHECK_FIELD(PF_CheckoutResult, ref_height, 48);
VTAFX_CHECK_FIELD(PF_CheckoutResult, reserved, 52);

VTAFX_CHECK_RECORD(PF_PreRenderCallbacks, 16, 8);
VTAFX_CHECK_FIELD(PF_PreRenderCallbacks, GuidMixInPtr, 8);

VTAFX_CHECK_RECORD(PF_SmartRenderExtra, 16, 8);
VTAFX_CHECK_FIELD(PF_SmartRenderExtra, cb, 8);

VTAFX_CHECK_RECORD(PF_SmartRenderInput, 72, 8);
VTAFX_CHECK_FIELD(PF_SmartRenderInput, bitdepth, 44);
VTAFX_CHECK_FIELD(PF_SmartRenderInput, pre_render_data, 48);
VTAFX_CHECK_FIELD(PF_SmartRenderInput, gpu_data, 56);
VTAFX_CHECK_FIELD(PF_SmartRenderInput, what_gpu, 64);
VTAFX_CHECK_FIELD(PF_SmartRenderInput, device_index, 68);

VTAFX_CHECK_RECORD(PF_SmartRenderCallbacks, 24, 8);
VTAFX_CHECK_FIELD(PF_SmartRenderCallbacks, checkin_layer_pixels, 8);
VTAFX_CHECK_FIELD(PF_SmartRenderCallbacks, checkout_output, 16);

VTAFX_CHECK_RECORD(PF_SampPB, 104, 8);
VTAFX_CHECK_FIELD(PF_SampPB, y_radius, 4);
VTAFX_CHECK_FIELD(PF_SampPB, area, 8);
VTAFX_CHECK_FIELD(PF_SampPB, src, 16);
VTAFX_CHECK_FIELD(PF_SampPB, samp_behave, 24);
VTAFX_CHECK_FIELD(PF_SampPB, allow_asynch, 28);
VTAFX_CHECK_FIELD(PF_SampPB, motion_blur, 32);
VTAFX_CHECK_FIELD(PF_SampPB, comp_mode, 36);
VTAFX_CHECK_FIELD(PF_SampPB, mask0, 48);
VTAFX_CHECK_FIELD(PF_SampPB, fcm_table, 56);
VTAFX_CHECK_FIELD(PF_SampPB, fcd_table, 64);
VTAFX_CHECK_FIELD(PF_SampPB, reserved, 72);

// Suites: plain tables of 8-byte slots.
VTAFX_CHECK_RECORD(SPBasicSuite, 56, 8);
VTAFX_CHECK_FIELD(SPBasicSuite, ReleaseSuite, 8);
VTAFX_CHECK_FIELD(SPBasicSuite, IsEqual, 16);
VTAFX_CHECK_FIELD(SPBasicSuite, AllocateBlock, 24);
VTAFX_CHECK_FIELD(SPBasicSuite, FreeBlock, 32);
VTAFX_CHECK_FIELD(SPBasicSuite, ReallocateBlock, 40);
VTAFX_CHECK_FIELD(SPBasicSuite, Undefined, 48);

VTAFX_CHECK_RECORD(PF_ANSICallbacksSuite1, 152, 8);
VTAFX_CHECK_FIELD(PF_ANSICallbacksSuite1, sin, 96);
VTAFX_CHECK_FIELD(PF_ANSICallbacksSuite1, sprintf, 120);
VTAFX_CHECK_FIELD(PF_ANSICallbacksSuite1, strcpy, 128);
VTAFX_CHECK_FIELD(PF_ANSICallbacksSuite1, acos, 144);

VTAFX_CHECK_RECORD(PF_ParamUtilsSuite3, 72, 8);
VTAFX_CHECK_FIELD(PF_ParamUtilsSuite3, PF_UpdateParamUI, 0);
VTAFX_CHECK_FIELD(PF_ParamUtilsSuite3, PF_GetCurrentState, 8);
VTAFX_CHECK_FIELD(PF_ParamUtilsSuite3, PF_AreStatesIdentical, 16);
VTAFX_CHECK_FIELD(PF_ParamUtilsSuite3, PF_IsIdenticalCheckout, 24);
VTAFX_CHECK_FIELD(PF_ParamUtilsSuite3, PF_FindKeyframeTime, 32);
VTAFX_CHECK_FIELD(PF_ParamUtilsSuite3, PF_GetKeyframeCount, 40);
VTAFX_CHECK_FIELD(PF_ParamUtilsSuite3, PF_CheckoutKeyframe, 48);
VTAFX_CHECK_FIELD(PF_ParamUtilsSuite3, PF_CheckinKeyframe, 56);
VTAFX_CHECK_FIELD(PF_ParamUtilsSuite3, PF_KeyIndexToTime, 64);

VTAFX_CHECK_RECORD(PF_PointParamSuite1, 8, 8);
VTAFX_CHECK_RECORD(PF_WorldSuite2, 24, 8);
VTAFX_CHECK_FIELD(PF_WorldSuite2, PF_DisposeWorld, 8);
VTAFX_CHECK_FIELD(PF_WorldSuite2, PF_GetPixelFormat, 16);
VTAFX_CHECK_RECORD(PF_PixelDataSuite1, 24, 8);
VTAFX_CHECK_FIELD(PF_PixelDataSuite1, get_pixel_data16, 8);
VTAFX_CHECK_FIELD(PF_PixelDataSuite1, get_pixel_data_float, 16);
VTAFX_CHECK_RECORD(PF_EffectSequenceDataSuite1, 8, 8);
VTAFX_CHECK_RECORD(PF_Iterate8Suite1, 40, 8);
VTAFX_CHECK_FIELD(PF_Iterate8Suite1, iterate, 0);
VTAFX_CHECK_FIELD(PF_Iterate8Suite1, iterate_origin, 8);
VTAFX_CHECK_FIELD(PF_Iterate8Suite1, iterate_lut, 16);
VTAFX_CHECK_FIELD(PF_Iterate8Suite1, iterate_origin_non_clip_src, 24);
VTAFX_CHECK_FIELD(PF_Iterate8Suite1, iterate_generic, 32);
VTAFX_CHECK_RECORD(PF_Iterate16Suite1, 24, 8);
VTAFX_CHECK_FIELD(PF_Iterate16Suite1, iterate, 0);
VTAFX_CHECK_FIELD(PF_Iterate16Suite1, iterate_origin_non_clip_src, 16);
VTAFX_CHECK_RECORD(PF_IterateFloatSuite1, 24, 8);
VTAFX_CHECK_FIELD(PF_IterateFloatSuite1, iterate, 0);
VTAFX_CHECK_FIELD(PF_IterateFloatSuite1, iterate_origin_non_clip_src, 16);
VTAFX_CHECK_RECORD(PF_Sampling8Suite1, 24, 8);
VTAFX_CHECK_FIELD(PF_Sampling8Suite1, subpixel_sample, 8);
VTAFX_CHECK_RECORD(PF_Sampling16Suite1, 24, 8);
VTAFX_CHECK_FIELD(PF_Sampling16Suite1, subpixel_sample16, 8);
VTAFX_CHECK_RECORD(PF_SamplingFloatSuite1, 24, 8);
VTAFX_CHECK_FIELD(PF_SamplingFloatSuite1, subpixel_sample_float, 8);

// Constants whose values are easy to get wrong.
static_assert(PF_Cmd_USER_CHANGED_PARAM == 13 && PF_Cmd_SMART_PRE_RENDER == 23 &&
                  PF_Cmd_SMART_RENDER == 24 && PF_Cmd_GPU_DEVICE_SETDOWN == 33 &&
                  PF_Cmd_NUM_CMDS == 34,
              "command selectors");
static_assert(PF_Param_FLOAT_SLIDER == 10 && PF_Param_GROUP_END == 14 && PF_Param_POINT_3D == 18,
              "parameter types");
static_assert((PF_OutFlag_DEEP_COLOR_AWARE | PF_OutFlag_USE_OUTPUT_EXTENT) == 0x02000040,
              "out flags");
static_assert(PF_OutFlag_AUDIO_EFFECT_ONLY == static_cast<A_long>(0x80000000u), "sign bit");
static_assert((PF_OutFlag2_PARAM_GROUP_START_COLLAPSED_FLAG | PF_OutFlag2_SUPPORTS_SMART_RENDER |
               PF_OutFlag2_FLOAT_COLOR_AWARE | PF_OutFlag2_SUPPORTS_THREADED_RENDERING) ==
                  0x08001408,
              "out flags 2");
static_assert(PF_VERSION(1, 4, 0, PF_Stage_RELEASE, 1) == 0x000A0601u, "version packing");
static_assert(PF_VERSION(2, 4, 0, PF_Stage_DEVELOP, 1) == 0x00120001u, "version packing");
static_assert(PF_VERSION(9, 0, 0, PF_Stage_DEVELOP, 0) == 0x04080000u, "version high bits");
static_assert(PF_PixelFormat_ARGB32 == 0x62677261 && PF_PixelFormat_ARGB64 == 0x36316561 &&
                  PF_PixelFormat_ARGB128 == 0x32336561 && PF_PixelFormat_INVALID == 0x66646162,
              "pixel formats");
static_assert(PF_Err_OUT_OF_MEMORY == 4 && PF_Err_BAD_CALLBACK_PARAM == 516, "error codes");
static_assert(kSPSuiteNotFoundError == 0x53214664, "suite not found");

}  // namespace VtAFXSdkLayoutChecks

#undef VTAFX_CHECK_RECORD
#undef VTAFX_CHECK_FIELD

#endif
