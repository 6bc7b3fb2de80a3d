#include "Host/About.h"

#include "AE_EffectCB.h"
#include "Host/EffectInfo.h"
#include "Host/StringTable.h"

PF_Err About(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* /*params*/[],
             PF_LayerDef* /*output*/) {
  if (in_data->utils && in_data->utils->ansi.sprintf) {
    in_data->utils->ansi.sprintf(out_data->return_msg, "%s %d.%d\r\r%s", GetString(kStrName),
                                 kEffectMajorVersion, kEffectMinorVersion,
                                 GetString(kStrDescription));
  }
  return PF_Err_NONE;
}
