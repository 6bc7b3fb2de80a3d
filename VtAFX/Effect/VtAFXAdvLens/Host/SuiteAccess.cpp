#include "Host/SuiteAccess.h"

#include "AE_EffectCB.h"
#include "SPBasic.h"

void ShowHostError(PF_InData* in_data, PF_OutData* out_data, const char* message) {
  out_data->out_flags |= PF_OutFlag_DISPLAY_ERROR_MESSAGE;
  if (in_data->utils && in_data->utils->ansi.sprintf) {
    // Through "%s", so a message can never be read as a format.
    in_data->utils->ansi.sprintf(out_data->return_msg, "%s", message);
    return;
  }
  int32_t n = 0;
  for (; n < PF_MAX_EFFECT_MSG_LEN && message[n] != '\0'; ++n) out_data->return_msg[n] = message[n];
  out_data->return_msg[n] = '\0';
}

const void* TakeSuite(const SPBasicSuite* basic, const char* name, int32_t version) {
  if (!basic || !basic->AcquireSuite) return nullptr;
  const void* table = nullptr;
  // Hosts differ in the code they return beside a table; the table is what counts, and a
  // table handed out is ours to release whatever the code said.
  basic->AcquireSuite(name, version, &table);
  return table;
}

PF_Err AcquireHostSuite(PF_InData* in_data, PF_OutData* out_data, const char* name, int32_t version,
                        const char* message, const void** suite) {
  *suite = TakeSuite(in_data->pica_basicP, name, version);
  if (*suite) return PF_Err_NONE;
  ShowHostError(in_data, out_data, message);
  return PF_Err_BAD_CALLBACK_PARAM;
}

PF_Err ReleaseHostSuite(PF_InData* in_data, PF_OutData* out_data, const char* name, int32_t version,
                        const char* message) {
  const SPBasicSuite* basic = in_data->pica_basicP;
  if (!basic || !basic->ReleaseSuite) {
    ShowHostError(in_data, out_data, message);
    return PF_Err_BAD_CALLBACK_PARAM;
  }
  // The suite is given back either way; a host that objects to the release has nothing
  // the user could act on, and the command's own work (a whole rendered frame) stands.
  basic->ReleaseSuite(name, version);
  return PF_Err_NONE;
}
