// Taking host suites by name and version, with the user told when the host refuses.
#pragma once

#include <cstdint>

#include "AE_Effect.h"

// The messages every caller passes; shown by the host as an error.
constexpr const char* kCouldNotLoadSuite = "Couldn't load suite.";
constexpr const char* kCouldNotReleaseSuite = "Couldn't release suite.";

// Acquires suite `name` of `version` from the host's basic suite and stores its function
// table in `*suite` (null on failure). Returns 0 when the host handed back a table, which
// stays valid until released with ReleaseHostSuite before the command returns. With no
// basic suite, a non-zero host result or a null table it returns PF_Err_BAD_CALLBACK_PARAM
// and shows `message` (see ShowHostError); such a suite must not be released.
PF_Err AcquireHostSuite(PF_InData* in_data, PF_OutData* out_data, const char* name,
                        int32_t version, const char* message, const void** suite);

// Releases a suite taken with AcquireHostSuite. Returns 0, or, with no basic suite or when
// the host refuses the release, PF_Err_BAD_CALLBACK_PARAM after showing `message`.
PF_Err ReleaseHostSuite(PF_InData* in_data, PF_OutData* out_data, const char* name,
                        int32_t version, const char* message);

// Asks the host to show `message` as an error: sets PF_OutFlag_DISPLAY_ERROR_MESSAGE and
// writes the text into out_data->return_msg with the host's ANSI sprintf. A host without
// that callback gets the text copied directly, cut to the field's 255 characters.
void ShowHostError(PF_InData* in_data, PF_OutData* out_data, const char* message);
