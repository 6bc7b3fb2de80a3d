// Taking host suites by name and version, with the user told when the host refuses.
#pragma once

#include <cstdint>

#include "AE_Effect.h"

struct SPBasicSuite;

// The messages every caller passes; shown by the host as an error.
constexpr const char* kCouldNotLoadSuite = "Couldn't load suite.";
constexpr const char* kCouldNotReleaseSuite = "Couldn't release suite.";

// Asks `basic` (may be null) for suite `name` of `version`. Returns the table the host
// handed out, whatever result code came with it, or null when there is none; a table
// returned must be released.
const void* TakeSuite(const SPBasicSuite* basic, const char* name, int32_t version);

// Acquires suite `name` of `version` through TakeSuite and stores its function table in
// `*suite`. Returns 0 when the host handed back a table, which stays valid until released
// with ReleaseHostSuite before the command returns. With no basic suite or a null table it
// returns PF_Err_BAD_CALLBACK_PARAM and shows `message` (see ShowHostError); such a suite
// must not be released.
PF_Err AcquireHostSuite(PF_InData* in_data, PF_OutData* out_data, const char* name, int32_t version,
                        const char* message, const void** suite);

// Releases a suite taken with AcquireHostSuite and returns 0, also when the host reports a
// failure (nothing is shown then). Only with no basic suite (or no release function in it)
// it returns PF_Err_BAD_CALLBACK_PARAM after showing `message`.
PF_Err ReleaseHostSuite(PF_InData* in_data, PF_OutData* out_data, const char* name, int32_t version,
                        const char* message);

// Asks the host to show `message` as an error: sets PF_OutFlag_DISPLAY_ERROR_MESSAGE and
// writes the text into out_data->return_msg with the host's ANSI sprintf. A host without
// that callback gets the text copied directly, cut to the field's 255 characters.
void ShowHostError(PF_InData* in_data, PF_OutData* out_data, const char* message);
