/* Basic types of the host's API: fixed-width integers and small records.
 *
 * These stand-ins reproduce the host's Windows x64 binary layout on every platform: the
 * host's own headers pick some sizes from the compiler or the OS, we always pick the
 * Windows meaning so a Linux build of the effect and of its test host agree byte for byte
 * with what the real host hands a Windows plug-in. */
#ifndef VTAFX_SDK_A_H
#define VTAFX_SDK_A_H

#include <stddef.h>
#include <stdint.h>

#pragma pack(push, 8)

typedef int32_t A_long;
typedef uint32_t A_u_long;
typedef short A_short;
typedef unsigned short A_u_short;
typedef char A_char;
typedef unsigned char A_u_char;
typedef unsigned char A_Boolean;
typedef double A_FpLong;
typedef float A_FpShort;
typedef A_long A_Err;
typedef void *A_Handle;
typedef A_long A_Fixed;
typedef int64_t A_intptr_t;
typedef uint64_t A_u_longlong;
typedef A_u_longlong A_HandleSize;
/* 4 bytes, as with the host's Windows compiler (its header makes it 1 byte under GCC). */
typedef A_long A_LegacyEnumType;
typedef A_u_short A_UTF16Char;

typedef struct {
  A_long value;
  A_u_long scale;
} A_Time;

typedef struct {
  A_long num;
  A_u_long den;
} A_Ratio;

typedef struct {
  A_FpLong x, y;
} A_FloatPoint;

typedef struct {
  A_FpLong x, y, z;
} A_FloatPoint3;

typedef struct {
  A_FpLong left, top, right, bottom;
} A_FloatRect;

typedef struct {
  A_long left, top, right, bottom;
} A_LRect;

typedef struct {
  A_long x, y;
} A_LPoint;

typedef struct {
  A_short majorS, minorS;
} A_Version;

typedef struct {
  A_FpLong alpha, red, green, blue;
} A_Color;

enum {
  A_Err_NONE = 0,
  A_Err_GENERIC = 1,
  A_Err_STRUCT = 2,
  A_Err_PARAMETER = 3,
  A_Err_ALLOC = 4,
  A_Err_MISSING_SUITE = 13
};

#pragma pack(pop)

#endif
