#include "Host/SuiteAccess.h"

#include "AE_EffectCB.h"

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

PF_Err AcquireHostSuite(PF_InData* in_data, PF_OutData* out_data, const char* name,
                        int32_t version, const char* message, const void** suite) {
  *suite = nullptr;
  const SPBasicSuite* basic = in_data->pica_basicP;
  const void* table = nullptr;
  if (basic && basic->AcquireSuite && basic->AcquireSuite(name, version, &table) == kSPNoError &&
      table) {
    *suite = table;
    return PF_Err_NONE;
  }
  ShowHostError(in_data, out_data, message);
  return PF_Err_BAD_CALLBACK_PARAM;
}

PF_Err ReleaseHostSuite(PF_InData* in_data, PF_OutData* out_data, const char* name,
                        int32_t version, const char* message) {
  const SPBasicSuite* basic = in_data->pica_basicP;
  if (basic && basic->ReleaseSuite && basic->ReleaseSuite(name, version) == kSPNoError) {
    return PF_Err_NONE;
  }
  ShowHostError(in_data, out_data, message);
  return PF_Err_BAD_CALLBACK_PARAM;
}
