/* Types of the host's suite-loading layer. */
#ifndef VTAFX_SDK_SPTYPES_H
#define VTAFX_SDK_SPTYPES_H

#include <stddef.h>
#include <stdint.h>

/* Calling-convention hook of suite functions: the host leaves it empty on Windows x64
 * (one convention only), and so do we everywhere. */
#ifndef SPAPI
#define SPAPI
#endif

typedef int32_t int32;
typedef int32_t SPErr;
/* 4 bytes on Windows (1 byte on the other desktop platform). */
typedef int32_t SPBoolean;

#endif
