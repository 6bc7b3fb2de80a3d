#include "Host/EntryPoint.h"

#include <new>

#include "Host/About.h"
#include "Host/GlobalSetup.h"
#include "Host/ParamUI.h"
#include "Host/ParamsSetup.h"
#include "Host/PreRender.h"
#include "Host/SmartRender.h"

namespace {

bool IsHandled(PF_Cmd cmd) {
  switch (cmd) {
    case PF_Cmd_ABOUT:
    case PF_Cmd_GLOBAL_SETUP:
    case PF_Cmd_PARAMS_SETUP:
    case PF_Cmd_USER_CHANGED_PARAM:
    case PF_Cmd_SMART_PRE_RENDER:
    case PF_Cmd_SMART_RENDER: return true;
    default: return false;
  }
}

PF_Err Dispatch(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
                PF_LayerDef* output, void* extra) {
  if (!IsHandled(cmd)) return PF_Err_NONE;
  // Every handled command needs both records, and the render commands their extra record.
  const bool renderCommand = cmd == PF_Cmd_SMART_PRE_RENDER || cmd == PF_Cmd_SMART_RENDER;
  if (!in_data || !out_data || (renderCommand && !extra)) return PF_Err_INTERNAL_STRUCT_DAMAGED;
  switch (cmd) {
    case PF_Cmd_ABOUT: return About(in_data, out_data, params, output);
    case PF_Cmd_GLOBAL_SETUP: return GlobalSetup(in_data, out_data, params, output);
    case PF_Cmd_PARAMS_SETUP: return ParamsSetup(in_data, out_data, params, output);
    case PF_Cmd_USER_CHANGED_PARAM:
      return UserChangedParam(in_data, out_data, params, output,
                              static_cast<const PF_UserChangedParamExtra*>(extra));
    case PF_Cmd_SMART_PRE_RENDER:
      return SmartPreRender(in_data, out_data, static_cast<PF_PreRenderExtra*>(extra));
    case PF_Cmd_SMART_RENDER:
      return SmartRender(in_data, out_data, static_cast<PF_SmartRenderExtra*>(extra));
    default: return PF_Err_NONE;
  }
}

}  // namespace

extern "C" PF_Err EntryPointFunc(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data,
                                 PF_ParamDef* params[], PF_LayerDef* output, void* extra) {
  try {
    return Dispatch(cmd, in_data, out_data, params, output, extra);
  } catch (PF_Err thrown) {
    return thrown;
  } catch (const std::bad_alloc&) {
    return PF_Err_OUT_OF_MEMORY;
  } catch (...) {
    // An exception crossing into the host would end the host's process.
    return PF_Err_INTERNAL_STRUCT_DAMAGED;
  }
}
