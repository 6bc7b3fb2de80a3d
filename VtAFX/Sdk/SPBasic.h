/* The basic suite: the host's door to every other suite (in_data->pica_basicP). */
#ifndef VTAFX_SDK_SPBASIC_H
#define VTAFX_SDK_SPBASIC_H

#include "SPTypes.h"

#define kSPBasicSuite "SP Basic Suite"
#define kSPBasicSuiteVersion 4

#pragma pack(push, 8)

typedef struct SPBasicSuite {
  /* Stores the suite's function table through `suite`; 0 on success. */
  SPAPI SPErr (*AcquireSuite)(const char *name, int32 version, const void **suite);
  SPAPI SPErr (*ReleaseSuite)(const char *name, int32 version);
  SPAPI SPBoolean (*IsEqual)(const char *token1, const char *token2);
  SPAPI SPErr (*AllocateBlock)(size_t size, void **block);
  SPAPI SPErr (*FreeBlock)(void *block);
  SPAPI SPErr (*ReallocateBlock)(void *block, size_t newSize, void **newblock);
  SPAPI SPErr (*Undefined)(void);
} SPBasicSuite;

#pragma pack(pop)

#endif
