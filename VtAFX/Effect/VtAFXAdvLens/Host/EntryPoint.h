// The module's one exported function, through which the host sends every command.
#pragma once

#include "AE_Effect.h"

// Everything else in the module is hidden; this is the one name the host looks up (the
// property list names it). mingw and MSVC both take the dllexport spelling.
#if defined(_WIN32)
#define VTAFX_EXPORT __declspec(dllexport)
#else
#define VTAFX_EXPORT __attribute__((visibility("default")))
#endif

// Handles about, global set-up, parameter set-up, user-changed-parameter, smart pre-render
// and smart render; every other command returns 0 untouched. An error code thrown as a plain
// integer beneath a handler is returned as the command's result; a failed allocation
// becomes PF_Err_OUT_OF_MEMORY and any other exception PF_Err_INTERNAL_STRUCT_DAMAGED, so
// nothing is ever thrown into the host.
extern "C" VTAFX_EXPORT PF_Err EntryPointFunc(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data,
                                              PF_ParamDef* params[], PF_LayerDef* output,
                                              void* extra);
