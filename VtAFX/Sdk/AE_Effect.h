/* The effect API: commands, the records passed to the entry point, parameter records and
 * the smart-render records, with the host's Windows x64 layout. */
#ifndef VTAFX_SDK_AE_EFFECT_H
#define VTAFX_SDK_AE_EFFECT_H

#include "A.h"
#include "AE_EffectVers.h"

/* Only ever reached through in_data->pica_basicP; its declaration is SPBasic.h's. */
struct SPBasicSuite;

#pragma pack(push, 8)

/* ---------------------------------------------------------------- basic types */

/* Windows meanings throughout, whatever the compiler or OS. */
typedef A_char PF_Boolean;
typedef A_long PF_Fixed;
typedef A_u_long PF_UFixed;
typedef A_FpLong PF_FpLong;
typedef A_FpShort PF_FpShort;
typedef A_long PF_Err;
typedef A_long PF_Cmd;
typedef struct PF_ProgressInfo *PF_ProgPtr;
typedef A_long PF_ParamIndex;
typedef A_long PF_ParamValue;
typedef void **PF_Handle;
typedef PF_Handle PF_ArbitraryH;
typedef const void *const *PF_ConstHandle;
typedef A_long PF_Quality;
typedef A_long PF_ModeFlags;
typedef A_long PF_Field;
typedef A_long PF_ParamType;
typedef A_long PF_ParamFlags;
typedef A_long PF_ParamUIFlags;
typedef A_long PF_ChangeFlags;
typedef A_short PF_ValueDisplayFlags;
typedef A_u_long PF_FSliderFlags;
typedef A_long PF_WorldFlags;
typedef A_long PF_OutFlags;
typedef A_long PF_OutFlags2;
typedef A_long PF_InFlags;
typedef A_long PF_ChannelMask;
typedef A_long PF_PixelFormat;
typedef A_long PF_Stage;
typedef A_long PF_GPU_Framework;
typedef short PF_RenderOutputFlags;
typedef A_long PF_TransferMode;
typedef PF_TransferMode PF_XferMode;
typedef A_u_long PF_SampleEdgeBehav;
typedef A_u_long PF_KernelFlags;
typedef A_long PF_CallbackID;
typedef A_long PF_PlatDataID;
typedef A_long PF_NewWorldFlags;
typedef A_u_long PF_PathID;
typedef A_long PF_TimeDir;
typedef A_long PF_KeyIndex;
typedef A_u_long PF_PixLong;
typedef struct PF_LayerAudioOpaque *PF_LayerAudio;
typedef void *PF_SndSamplePtr;
typedef struct PF_CustomUIInfo PF_CustomUIInfo;

/* ---------------------------------------------------------------- small records */

typedef struct {
  A_short major;
  A_short minor;
} PF_SpecVersion;

typedef struct {
  A_long h, v;
} PF_Point;

typedef struct {
  A_long left, top, right, bottom;
} PF_LRect;
typedef PF_LRect PF_Rect;
typedef PF_Rect PF_UnionableRect;

typedef struct {
  A_long num;
  A_u_long den;
} PF_RationalScale;

typedef struct {
  PF_Fixed x, y;
} PF_FixedPoint;

typedef struct {
  PF_Fixed left, top, right, bottom;
} PF_FixedRect;

typedef struct {
  PF_Fixed mat[3][3];
} PF_Matrix;

typedef struct {
  PF_FpLong mat[3][3];
} PF_FloatMatrix;

/* Channels in memory order alpha, red, green, blue at every depth. */
typedef struct {
  A_u_char alpha, red, green, blue;
} PF_Pixel;
typedef PF_Pixel PF_Pixel8;
typedef PF_Pixel PF_UnionablePixel;

typedef struct {
  A_u_short alpha, red, green, blue;
} PF_Pixel16;

typedef struct {
  PF_FpShort alpha, red, green, blue;
} PF_PixelFloat;
typedef PF_PixelFloat PF_Pixel32;

typedef PF_Pixel *PF_PixelPtr;

typedef struct {
  PF_FpLong rateF;
  A_short num_channels;
  A_short format;
  A_short sample_size;
} PF_SoundFormatInfo;

typedef struct {
  PF_SoundFormatInfo fi;
  A_long num_samples;
  void *dataP;
} PF_SoundWorld;

typedef struct {
  A_long reservedAL[4];
} PF_State;

/* ---------------------------------------------------------------- worlds and parameters */

typedef struct PF_LayerDef {
  void *reserved0;
  void *reserved1;
  PF_WorldFlags world_flags;
  PF_PixelPtr data;
  A_long rowbytes;
  A_long width;
  A_long height;
  PF_UnionableRect extent_hint;
  void *platform_ref;
  A_long reserved_long1;
  void *reserved_long4;
  PF_RationalScale pix_aspect_ratio;
  void *reserved_long2;
  A_long origin_x;
  A_long origin_y;
  A_long reserved_long3;
  A_long dephault;
} PF_LayerDef;
typedef PF_LayerDef PF_EffectWorld;

typedef struct {
  PF_ParamValue value;
  A_char value_str[32];
  A_char value_desc[32];
  PF_ParamValue valid_min, valid_max;
  PF_ParamValue slider_min, slider_max;
  PF_ParamValue dephault;
} PF_SliderDef;

typedef struct {
  PF_Fixed value;
  A_char value_str[32];
  A_char value_desc[32];
  PF_Fixed valid_min, valid_max;
  PF_Fixed slider_min, slider_max;
  PF_Fixed dephault;
  A_short precision;
  PF_ValueDisplayFlags display_flags;
} PF_FixedSliderDef;

/* value and phase are doubles; the limits, the default and the exponent are floats. */
typedef struct {
  PF_FpLong value;
  PF_FpLong phase;
  A_char value_desc[32];
  PF_FpShort valid_min, valid_max;
  PF_FpShort slider_min, slider_max;
  PF_FpShort dephault;
  A_short precision;
  PF_ValueDisplayFlags display_flags;
  PF_FSliderFlags fs_flags;
  PF_FpShort curve_tolerance;
  PF_Boolean useExponent;
  PF_FpShort exponent;
} PF_FloatSliderDef;

typedef struct {
  PF_Fixed value;
  PF_Fixed dephault;
  PF_Fixed valid_min, valid_max;
} PF_AngleDef;

typedef struct {
  PF_ParamValue value;
  PF_Boolean dephault;
  A_char reserved;
  A_short reserved1;
  union {
    const A_char *nameptr;
  } u;
} PF_CheckBoxDef;

typedef struct {
  PF_UnionablePixel value;
  PF_UnionablePixel dephault;
} PF_ColorDef;

/* Values in layer pixels (16.16); defaults in percent of the layer (16.16). */
typedef struct {
  PF_Fixed x_value;
  PF_Fixed y_value;
  A_char reserved[3];
  PF_Boolean restrict_bounds;
  PF_Fixed x_dephault;
  PF_Fixed y_dephault;
} PF_PointDef;

/* Choices are 1-based; the names are one string separated by '|'. */
typedef struct {
  PF_ParamValue value;
  A_short num_choices;
  A_short dephault;
  union {
    const A_char *namesptr;
  } u;
} PF_PopupDef;

typedef struct {
  A_short id;
  A_short pad;
  PF_ArbitraryH dephault;
  PF_ArbitraryH value;
  void *refconPV;
} PF_ArbitraryDef;

typedef struct {
  PF_PathID path_id;
  A_long reserved0;
  A_long dephault;
} PF_PathDef;

typedef struct {
  PF_ParamValue value;
  union {
    const A_char *namesptr;
  } u;
} PF_ButtonDef;

typedef struct {
  PF_FpLong x_value, y_value, z_value;
  PF_FpLong x_dephault, y_dephault, z_dephault;
  char reserved[16];
} PF_Point3DDef;

/* Its size (120) comes from the layer member: the host writes whole records. */
typedef union {
  PF_LayerDef ld;
  PF_SliderDef sd;
  PF_FixedSliderDef fd;
  PF_AngleDef ad;
  PF_CheckBoxDef bd;
  PF_ColorDef cd;
  PF_PointDef td;
  PF_PopupDef pd;
  PF_FloatSliderDef fs_d;
  PF_ArbitraryDef arb_d;
  PF_PathDef path_d;
  PF_ButtonDef button_d;
  PF_Point3DDef point3d_d;
} PF_ParamDefUnion;

#define PF_MAX_EFFECT_NAME_LEN 31
#define PF_MAX_EFFECT_CATEGORY_NAME_LEN 31
#define PF_MAX_EFFECT_PARAM_NAME_LEN 31
#define PF_MAX_PARAM_DESCRIPTION_LEN 31
#define PF_MAX_PARAM_VALUE_LEN 31
#define PF_MAX_EFFECT_MSG_LEN 255
#define PF_MAX_WORLD_WIDTH 30000
#define PF_MAX_WORLD_HEIGHT 30000

typedef struct PF_ParamDef {
  union {
    A_long id;                   /* when the parameter is added */
    PF_ChangeFlags change_flags; /* on later commands */
  } uu;
  PF_ParamUIFlags ui_flags;
  A_short ui_width;
  A_short ui_height;
  PF_ParamType param_type;
  A_char name[PF_MAX_EFFECT_PARAM_NAME_LEN + 1];
  PF_ParamFlags flags;
  A_long unused;
  PF_ParamDefUnion u;
} PF_ParamDef;
typedef PF_ParamDef *PF_ParamDefPtr;
typedef PF_ParamDef **PF_ParamList;

typedef struct {
  PF_ParamIndex param_index;
} PF_UserChangedParamExtra;

/* ---------------------------------------------------------------- in_data and out_data */

typedef struct {
  PF_Err (*checkout_param)(PF_ProgPtr effect_ref, PF_ParamIndex index, A_long what_time,
                           A_long time_step, A_u_long time_scale, PF_ParamDef *param);
  PF_Err (*checkin_param)(PF_ProgPtr effect_ref, PF_ParamDef *param);
  PF_Err (*add_param)(PF_ProgPtr effect_ref, PF_ParamIndex index, PF_ParamDefPtr def);
  PF_Err (*abort)(PF_ProgPtr effect_ref);
  PF_Err (*progress)(PF_ProgPtr effect_ref, A_long current, A_long total);
  PF_Err (*register_ui)(PF_ProgPtr effect_ref, PF_CustomUIInfo *cust_info);
  PF_Err (*checkout_layer_audio)(PF_ProgPtr effect_ref, PF_ParamIndex index, A_long start_time,
                                 A_long duration, A_u_long time_scale, PF_UFixed rate,
                                 A_long bytes_per_sample, A_long num_channels, A_long fmt_signed,
                                 PF_LayerAudio *audio);
  PF_Err (*checkin_layer_audio)(PF_ProgPtr effect_ref, PF_LayerAudio audio);
  PF_Err (*get_audio_data)(PF_ProgPtr effect_ref, PF_LayerAudio audio, PF_SndSamplePtr *data0,
                           A_long *num_samples0, PF_UFixed *rate0, A_long *bytes_per_sample0,
                           A_long *num_channels0, A_long *fmt_signed0);
  void *reserved_str[3];
  void *reserved[10];
} PF_InteractCallbacks;

struct _PF_UtilCallbacks;

typedef struct PF_InData {
  PF_InteractCallbacks inter; /* by value */
  struct _PF_UtilCallbacks *utils;
  PF_ProgPtr effect_ref;
  PF_Quality quality;
  PF_SpecVersion version;
  A_long serial_num;
  A_long appl_id;
  A_long num_params;
  A_long reserved;
  A_long what_cpu;
  A_long what_fpu;
  A_long current_time;
  A_long time_step;
  A_long total_time;
  A_long local_time_step;
  A_u_long time_scale;
  PF_Field field;
  PF_Fixed shutter_angle;
  A_long width;
  A_long height;
  PF_Rect extent_hint;
  A_long output_origin_x;
  A_long output_origin_y;
  PF_RationalScale downsample_x;
  PF_RationalScale downsample_y;
  PF_RationalScale pixel_aspect_ratio;
  PF_InFlags in_flags;
  PF_Handle global_data;
  PF_Handle sequence_data;
  PF_Handle frame_data;
  A_long start_sampL;
  A_long dur_sampL;
  A_long total_sampL;
  PF_SoundWorld src_snd;
  struct SPBasicSuite *pica_basicP;
  A_long pre_effect_source_origin_x;
  A_long pre_effect_source_origin_y;
  PF_Fixed shutter_phase;
} PF_InData;

typedef struct PF_OutData {
  A_u_long my_version;
  A_char name[PF_MAX_EFFECT_NAME_LEN + 1];
  PF_Handle global_data;
  A_long num_params;
  PF_Handle sequence_data;
  A_long flat_sdata_size;
  PF_Handle frame_data;
  A_long width;
  A_long height;
  PF_Point origin;
  PF_OutFlags out_flags;
  A_char return_msg[PF_MAX_EFFECT_MSG_LEN + 1];
  A_long start_sampL;
  A_long dur_sampL;
  PF_SoundWorld dest_snd;
  PF_OutFlags2 out_flags2;
} PF_OutData;

/* The entry point's shape; `params` is an array of pointers. */
typedef PF_Err (*PF_FilterProc)(PF_Cmd cmd, PF_InData *in_data, PF_OutData *out_data,
                                PF_ParamDef *params[], PF_LayerDef *output, void *extra);

/* ---------------------------------------------------------------- smart render */

typedef struct {
  PF_LRect rect;
  PF_Field field;
  PF_ChannelMask channel_mask;
  PF_Boolean preserve_rgb_of_zero_alpha;
  char unused[3];
  A_long reserved[4];
} PF_RenderRequest;

typedef struct {
  PF_RenderRequest output_request;
  short bitdepth;
  const void *gpu_data;
  PF_GPU_Framework what_gpu;
  A_u_long device_index;
} PF_PreRenderInput;

typedef void (*PF_DeletePreRenderDataFunc)(void *pre_render_data);

typedef struct {
  PF_LRect result_rect;
  PF_LRect max_result_rect;
  PF_Boolean solid;
  PF_Boolean reserved;
  PF_RenderOutputFlags flags;
  void *pre_render_data;
  PF_DeletePreRenderDataFunc delete_pre_render_data_func;
} PF_PreRenderOutput;

typedef struct {
  PF_LRect result_rect;
  PF_LRect max_result_rect;
  PF_RationalScale par;
  PF_Boolean solid;
  PF_Boolean reservedB[3];
  A_long ref_width;
  A_long ref_height;
  A_long reserved[6];
} PF_CheckoutResult;

typedef struct {
  PF_Err (*checkout_layer)(PF_ProgPtr effect_ref, PF_ParamIndex index, A_long checkout_idL,
                           const PF_RenderRequest *req, A_long what_time, A_long time_step,
                           A_u_long time_scale, PF_CheckoutResult *checkout_result);
  PF_Err (*GuidMixInPtr)(PF_ProgPtr effect_ref, A_u_long buf_sizeLu, const void *buf);
} PF_PreRenderCallbacks;

typedef struct {
  PF_PreRenderInput *input;
  PF_PreRenderOutput *output;
  PF_PreRenderCallbacks *cb;
} PF_PreRenderExtra;

typedef struct {
  PF_RenderRequest output_request;
  short bitdepth;
  void *pre_render_data;
  const void *gpu_data;
  PF_GPU_Framework what_gpu;
  A_u_long device_index;
} PF_SmartRenderInput;

typedef struct {
  PF_Err (*checkout_layer_pixels)(PF_ProgPtr effect_ref, A_long checkout_idL,
                                  PF_EffectWorld **pixels);
  PF_Err (*checkin_layer_pixels)(PF_ProgPtr effect_ref, A_long checkout_idL);
  PF_Err (*checkout_output)(PF_ProgPtr effect_ref, PF_EffectWorld **output);
} PF_SmartRenderCallbacks;

typedef struct {
  PF_SmartRenderInput *input;
  PF_SmartRenderCallbacks *cb;
} PF_SmartRenderExtra;

/* ---------------------------------------------------------------- constants */

enum {
  PF_Cmd_ABOUT = 0,
  PF_Cmd_GLOBAL_SETUP,
  PF_Cmd_UNUSED_0,
  PF_Cmd_GLOBAL_SETDOWN,
  PF_Cmd_PARAMS_SETUP,
  PF_Cmd_SEQUENCE_SETUP,
  PF_Cmd_SEQUENCE_RESETUP,
  PF_Cmd_SEQUENCE_FLATTEN,
  PF_Cmd_SEQUENCE_SETDOWN,
  PF_Cmd_DO_DIALOG,
  PF_Cmd_FRAME_SETUP,
  PF_Cmd_RENDER,
  PF_Cmd_FRAME_SETDOWN,
  PF_Cmd_USER_CHANGED_PARAM,
  PF_Cmd_UPDATE_PARAMS_UI,
  PF_Cmd_EVENT,
  PF_Cmd_GET_EXTERNAL_DEPENDENCIES,
  PF_Cmd_COMPLETELY_GENERAL,
  PF_Cmd_QUERY_DYNAMIC_FLAGS,
  PF_Cmd_AUDIO_RENDER,
  PF_Cmd_AUDIO_SETUP,
  PF_Cmd_AUDIO_SETDOWN,
  PF_Cmd_ARBITRARY_CALLBACK,
  PF_Cmd_SMART_PRE_RENDER,
  PF_Cmd_SMART_RENDER,
  PF_Cmd_RESERVED1,
  PF_Cmd_RESERVED2,
  PF_Cmd_RESERVED3,
  PF_Cmd_GET_FLATTENED_SEQUENCE_DATA,
  PF_Cmd_TRANSLATE_PARAMS_TO_PREFS,
  PF_Cmd_RESERVED4,
  PF_Cmd_SMART_RENDER_GPU,
  PF_Cmd_GPU_DEVICE_SETUP,
  PF_Cmd_GPU_DEVICE_SETDOWN,
  PF_Cmd_NUM_CMDS
};

enum {
  PF_Err_NONE = 0,
  PF_Err_OUT_OF_MEMORY = 4,
  PF_FIRST_ERR = 512,
  PF_Err_INTERNAL_STRUCT_DAMAGED = 512,
  PF_Err_INVALID_INDEX = 513,
  PF_Err_UNRECOGNIZED_PARAM_TYPE = 514,
  PF_Err_INVALID_CALLBACK = 515,
  PF_Err_BAD_CALLBACK_PARAM = 516,
  PF_Interrupt_CANCEL = 517,
  PF_Err_CANNOT_PARSE_KEYFRAME_TEXT = 518
};

enum {
  PF_Param_RESERVED = -1,
  PF_Param_LAYER = 0,
  PF_Param_SLIDER = 1,
  PF_Param_FIX_SLIDER = 2,
  PF_Param_ANGLE = 3,
  PF_Param_CHECKBOX = 4,
  PF_Param_COLOR = 5,
  PF_Param_POINT = 6,
  PF_Param_POPUP = 7,
  PF_Param_CUSTOM = 8,
  PF_Param_NO_DATA = 9,
  PF_Param_FLOAT_SLIDER = 10,
  PF_Param_ARBITRARY_DATA = 11,
  PF_Param_PATH = 12,
  PF_Param_GROUP_START = 13,
  PF_Param_GROUP_END = 14,
  PF_Param_BUTTON = 15,
  PF_Param_RESERVED2 = 16,
  PF_Param_RESERVED3 = 17,
  PF_Param_POINT_3D = 18
};

enum {
  PF_ParamFlag_RESERVED1 = 1,
  PF_ParamFlag_CANNOT_TIME_VARY = 2,
  PF_ParamFlag_CANNOT_INTERP = 4,
  PF_ParamFlag_RESERVED2 = 8,
  PF_ParamFlag_RESERVED3 = 16,
  PF_ParamFlag_COLLAPSE_TWIRLY = 32,
  PF_ParamFlag_SUPERVISE = 64,
  PF_ParamFlag_START_COLLAPSED = PF_ParamFlag_COLLAPSE_TWIRLY,
  PF_ParamFlag_USE_VALUE_FOR_OLD_PROJECTS = 128,
  PF_ParamFlag_LAYER_PARAM_IS_TRACKMATTE = 128,
  PF_ParamFlag_EXCLUDE_FROM_HAVE_INPUTS_CHANGED = 256,
  PF_ParamFlag_SKIP_REVEAL_WHEN_UNHIDDEN = 512
};

enum {
  PF_PUI_NONE = 0,
  PF_PUI_TOPIC = 1,
  PF_PUI_CONTROL = 2,
  PF_PUI_STD_CONTROL_ONLY = 4,
  PF_PUI_NO_ECW_UI = 8,
  PF_PUI_ECW_SEPARATOR = 16,
  PF_PUI_DISABLED = 32,
  PF_PUI_DONT_ERASE_TOPIC = 64,
  PF_PUI_DONT_ERASE_CONTROL = 128,
  PF_PUI_RADIO_BUTTON = 256,
  PF_PUI_INVISIBLE = 512
};

enum {
  PF_ChangeFlag_NONE = 0,
  PF_ChangeFlag_CHANGED_VALUE = 1,
  PF_ChangeFlag_RESERVED = 2,
  PF_ChangeFlag_SET_TO_VARY = 4,
  PF_ChangeFlag_SET_TO_CONSTANT = 8
};

enum {
  PF_ValueDisplayFlag_NONE = 0,
  PF_ValueDisplayFlag_PERCENT = 1,
  PF_ValueDisplayFlag_PIXEL = 2,
  PF_ValueDisplayFlag_RESERVED1 = 4,
  PF_ValueDisplayFlag_REVERSE = 8
};

enum { PF_FSliderFlag_NONE = 0, PF_FSliderFlag_WANT_PHASE = 1 };

enum {
  PF_OutFlag_NONE = 0,
  PF_OutFlag_KEEP_RESOURCE_OPEN = 1 << 0,
  PF_OutFlag_WIDE_TIME_INPUT = 1 << 1,
  PF_OutFlag_NON_PARAM_VARY = 1 << 2,
  PF_OutFlag_RESERVED6 = 1 << 3,
  PF_OutFlag_SEQUENCE_DATA_NEEDS_FLATTENING = 1 << 4,
  PF_OutFlag_I_DO_DIALOG = 1 << 5,
  PF_OutFlag_USE_OUTPUT_EXTENT = 1 << 6,
  PF_OutFlag_SEND_DO_DIALOG = 1 << 7,
  PF_OutFlag_DISPLAY_ERROR_MESSAGE = 1 << 8,
  PF_OutFlag_I_EXPAND_BUFFER = 1 << 9,
  PF_OutFlag_PIX_INDEPENDENT = 1 << 10,
  PF_OutFlag_I_WRITE_INPUT_BUFFER = 1 << 11,
  PF_OutFlag_I_SHRINK_BUFFER = 1 << 12,
  PF_OutFlag_WORKS_IN_PLACE = 1 << 13,
  PF_OutFlag_RESERVED8 = 1 << 14,
  PF_OutFlag_CUSTOM_UI = 1 << 15,
  PF_OutFlag_RESERVED7 = 1 << 16,
  PF_OutFlag_REFRESH_UI = 1 << 17,
  PF_OutFlag_NOP_RENDER = 1 << 18,
  PF_OutFlag_I_USE_SHUTTER_ANGLE = 1 << 19,
  PF_OutFlag_I_USE_AUDIO = 1 << 20,
  PF_OutFlag_I_AM_OBSOLETE = 1 << 21,
  PF_OutFlag_FORCE_RERENDER = 1 << 22,
  PF_OutFlag_PiPL_OVERRIDES_OUTDATA_OUTFLAGS = 1 << 23,
  PF_OutFlag_I_HAVE_EXTERNAL_DEPENDENCIES = 1 << 24,
  PF_OutFlag_DEEP_COLOR_AWARE = 1 << 25,
  PF_OutFlag_SEND_UPDATE_PARAMS_UI = 1 << 26,
  PF_OutFlag_AUDIO_FLOAT_ONLY = 1 << 27,
  PF_OutFlag_AUDIO_IIR = 1 << 28,
  PF_OutFlag_I_SYNTHESIZE_AUDIO = 1 << 29,
  PF_OutFlag_AUDIO_EFFECT_TOO = 1 << 30,
  PF_OutFlag_AUDIO_EFFECT_ONLY = -2147483647 - 1 /* the sign bit */
};

enum {
  PF_OutFlag2_NONE = 0,
  PF_OutFlag2_SUPPORTS_QUERY_DYNAMIC_FLAGS = 1 << 0,
  PF_OutFlag2_I_USE_3D_CAMERA = 1 << 1,
  PF_OutFlag2_I_USE_3D_LIGHTS = 1 << 2,
  PF_OutFlag2_PARAM_GROUP_START_COLLAPSED_FLAG = 1 << 3,
  PF_OutFlag2_I_AM_THREADSAFE = 1 << 4,
  PF_OutFlag2_CAN_COMBINE_WITH_DESTINATION = 1 << 5,
  PF_OutFlag2_DOESNT_NEED_EMPTY_PIXELS = 1 << 6,
  PF_OutFlag2_REVEALS_ZERO_ALPHA = 1 << 7,
  PF_OutFlag2_PRESERVES_FULLY_OPAQUE_PIXELS = 1 << 8,
  PF_OutFlag2_SUPPORTS_SMART_RENDER = 1 << 10,
  PF_OutFlag2_RESERVED9 = 1 << 11,
  PF_OutFlag2_FLOAT_COLOR_AWARE = 1 << 12,
  PF_OutFlag2_I_USE_COLORSPACE_ENUMERATION = 1 << 13,
  PF_OutFlag2_I_AM_DEPRECATED = 1 << 14,
  PF_OutFlag2_PPRO_DO_NOT_CLONE_SEQUENCE_DATA_FOR_RENDER = 1 << 15,
  PF_OutFlag2_RESERVED10 = 1 << 16,
  PF_OutFlag2_AUTOMATIC_WIDE_TIME_INPUT = 1 << 17,
  PF_OutFlag2_I_USE_TIMECODE = 1 << 18,
  PF_OutFlag2_DEPENDS_ON_UNREFERENCED_MASKS = 1 << 19,
  PF_OutFlag2_OUTPUT_IS_WATERMARKED = 1 << 20,
  PF_OutFlag2_I_MIX_GUID_DEPENDENCIES = 1 << 21,
  PF_OutFlag2_AE13_5_THREADSAFE = 1 << 22,
  PF_OutFlag2_SUPPORTS_GET_FLATTENED_SEQUENCE_DATA = 1 << 23,
  PF_OutFlag2_CUSTOM_UI_ASYNC_MANAGER = 1 << 24,
  PF_OutFlag2_SUPPORTS_GPU_RENDER_F32 = 1 << 25,
  PF_OutFlag2_RESERVED12 = 1 << 26,
  PF_OutFlag2_SUPPORTS_THREADED_RENDERING = 1 << 27,
  PF_OutFlag2_MUTABLE_RENDER_SEQUENCE_DATA_SLOWER = 1 << 28
};

enum { PF_InFlag_NONE = 0, PF_InFlag_PROJECT_IS_RENDER_ONLY = 1 };

enum { PF_Stage_DEVELOP = 0, PF_Stage_ALPHA = 1, PF_Stage_BETA = 2, PF_Stage_RELEASE = 3 };

/* Packs an effect version into 32 bits: build in bits 0-8, stage 9-10, bug-fix 11-14,
 * sub-version 15-18, the major version's low 3 bits in 19-21 and its next 4 bits in 26-29.
 * Each field is masked to its width first. */
#define PF_VERSION(VERS, SUBVERS, BUGVERS, STAGE, BUILD)                            \
  ((((((VERS) >> 3) & 15u) << 26) | (((VERS)&7u) << 19) | (((SUBVERS)&15u) << 15) | \
    (((BUGVERS)&15u) << 11) | (((STAGE)&3u) << 9) | ((BUILD)&511u)))

enum { PF_Quality_DRAWING_AUDIO = -1, PF_Quality_LO = 0, PF_Quality_HI = 1 };

enum { PF_MF_Alpha_PREMUL = 0, PF_MF_Alpha_STRAIGHT = 1 };

enum { PF_Field_FRAME = 0, PF_Field_UPPER = 1, PF_Field_LOWER = 2 };

enum { PF_WorldFlag_DEEP = 1, PF_WorldFlag_WRITEABLE = 2 };

enum {
  PF_ChannelMask_ALPHA = 1,
  PF_ChannelMask_RED = 2,
  PF_ChannelMask_GREEN = 4,
  PF_ChannelMask_BLUE = 8,
  PF_ChannelMask_ARGB = 15
};

enum { PF_RenderOutputFlag_RETURNS_EXTRA_PIXELS = 1, PF_RenderOutputFlag_GPU_RENDER_POSSIBLE = 2 };

enum {
  PF_GPU_Framework_NONE = 0,
  PF_GPU_Framework_OPENCL = 1,
  PF_GPU_Framework_METAL = 2,
  PF_GPU_Framework_CUDA = 3
};

enum { PF_LayerDefault_MYSELF = -1, PF_LayerDefault_NONE = 0 };

enum { PF_SampleEdgeBehav_ZERO = 0 };

enum { PF_Xfer_NONE = -1, PF_Xfer_COPY = 0 };

/* 16-bit channels run 0..32768, not 0..65535. */
#define PF_MAX_CHAN8 255
#define PF_HALF_CHAN8 128
#define PF_MAX_CHAN16 32768
#define PF_HALF_CHAN16 16384

#pragma pack(pop)

#endif
