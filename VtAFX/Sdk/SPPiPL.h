/* Plug-in property list basics. */
#ifndef VTAFX_SDK_SPPIPL_H
#define VTAFX_SDK_SPPIPL_H

#include <stdint.h>

/* A property key or vendor code: four characters, the first in the most significant byte. */
typedef uint32_t PIType;

#define kCurrentPiPLVersion 0

#endif
