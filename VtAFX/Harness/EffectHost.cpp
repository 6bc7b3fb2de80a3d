// Loading the module and the commands that need no instance of the effect.
#include <cstring>

#include "HostScope.h"
#include "RowPool.h"

namespace harness {
namespace {

// The host's own parameter 0: the layer the effect is applied to.
ParamDecl LayerDecl() {
  ParamDecl decl;
  decl.def.param_type = PF_Param_LAYER;
  decl.def.u.ld.dephault = PF_LayerDefault_MYSELF;
  return decl;
}

// Points popup definitions at the host's copies of their lists and finds every
// parameter's group. Run once the declarations stop changing.
void FinishDeclarations(std::vector<ParamDecl>& params) {
  std::vector<PF_ParamIndex> open;
  for (size_t i = 0; i < params.size(); ++i) {
    ParamDecl& p = params[i];
    if (p.def.param_type == PF_Param_POPUP) p.def.u.pd.u.namesptr = p.popupNames.c_str();
    // A group's end belongs to the group it closes.
    p.group = open.empty() ? 0 : open.back();
    if (p.def.param_type == PF_Param_GROUP_END && !open.empty()) open.pop_back();
    if (p.def.param_type == PF_Param_GROUP_START) open.push_back(PF_ParamIndex(i));
  }
}

}  // namespace

int32_t CommandRecord::Calls(const std::string& name) const {
  auto it = calls.find(name);
  return it == calls.end() ? 0 : it->second;
}

const SuiteUse* CommandRecord::Suite(const std::string& name) const {
  for (const SuiteUse& s : suites) {
    if (s.name == name) return &s;
  }
  return nullptr;
}

bool CommandRecord::Balanced() const {
  for (const SuiteUse& s : suites) {
    if (s.acquired != s.released || s.stray != 0) return false;
  }
  return paramCheckouts == paramCheckins && worldsCreated == worldsDisposed;
}

std::unique_ptr<EffectHost> EffectHost::Load(const std::string& path, std::string& error,
                                             const HostOptions& options) {
  std::unique_ptr<EffectHost> host(new EffectHost);
  if (!OpenModule(path, host->module_, error)) return nullptr;
  if (!ReadPiplBytes(host->module_, host->piplBytes_, error)) return nullptr;
  if (!DecodePipl(host->piplBytes_.data(), host->piplBytes_.size(), host->pipl_, error)) {
    error = path + ": " + error;
    return nullptr;
  }
  if (host->pipl_.kind != FourCC("eFKT")) {
    error = path + " is not an effect (kind '" + FourCCText(host->pipl_.kind) + "')";
    return nullptr;
  }
  void* entry = FindExport(host->module_, host->pipl_.entryPoint);
  if (entry == nullptr) {
    error = path + " exports no \"" + host->pipl_.entryPoint + "\"";
    return nullptr;
  }
  // The loader hands out an object address; the entry point is a function.
  std::memcpy(&host->entry_, &entry, sizeof entry);
  host->params_.push_back(LayerDecl());
  host->pool_.reset(new RowPool(options.iterateThreads));
  host->worldMemory_.reset(new WorldMemory);
  return host;
}

// The module stays loaded for the rest of the process, as the host keeps its plug-ins:
// an effect may keep process-wide data built at global set-up, which unloading would
// orphan.
EffectHost::~EffectHost() = default;

int32_t EffectHost::IterateThreads() const { return pool_->Threads(); }

RowPool& EffectHost::PoolWith(int32_t threads) {
  if (threads <= 0 || threads == pool_->Threads()) return *pool_;
  std::lock_guard<std::mutex> hold(otherPoolsLock_);
  for (const std::unique_ptr<RowPool>& pool : otherPools_) {
    if (pool->Threads() == threads) return *pool;
  }
  otherPools_.emplace_back(new RowPool(threads));
  return *otherPools_.back();
}

PF_ParamIndex EffectHost::FindParam(const std::string& name) const {
  for (size_t i = 1; i < params_.size(); ++i) {
    if (name == params_[i].def.name) return PF_ParamIndex(i);
  }
  return -1;
}

CommandRecord EffectHost::Run(PF_Cmd cmd, CallScope& scope, PF_ParamDef** params, void* extra) {
  CommandRecord record;
  record.cmd = cmd;
  record.sent = true;
  scope.cmd = cmd;
  ScopeBinding binding(&scope);
  const CallScope::Snapshot start = scope.Take();
  try {
    record.result = entry_(cmd, &scope.inData, &scope.outData, params, nullptr, extra);
  } catch (...) {
    // Nothing may leave an entry point; say so instead of taking the caller down.
    record.threw = true;
    record.result = PF_Err_INTERNAL_STRUCT_DAMAGED;
  }
  scope.Account(start, record);
  record.outData = scope.outData;
  return record;
}

CommandRecord EffectHost::SendCommand(PF_Cmd cmd, const PF_OutData& startOut, void* extra,
                                      const CallOptions& options) {
  EffectInstance defaults(*this);
  CallScope scope(*this, options);
  scope.instance = &defaults;
  scope.layerWidth = 1920;
  scope.layerHeight = 1080;
  FillInData(scope, 0, defaults.TimeStep(), defaults.TimeScale());
  std::vector<PF_ParamDef> defs(params_.size());
  std::vector<PF_ParamDef*> pointers(params_.size());
  for (size_t i = 0; i < params_.size(); ++i) {
    defaults.FillParamDef(PF_ParamIndex(i), 0, scope.layerWidth, scope.layerHeight, defs[i]);
    pointers[i] = &defs[i];
  }
  scope.outData = startOut;
  return Run(cmd, scope, pointers.data(), extra);
}

CommandRecord EffectHost::About(const CallOptions& options) {
  return SendCommand(PF_Cmd_ABOUT, PF_OutData{}, nullptr, options);
}

CommandRecord EffectHost::GlobalSetup(const CallOptions& options, PF_OutFlags startOutFlags) {
  PF_OutData out{};
  out.out_flags = startOutFlags;
  return SendCommand(PF_Cmd_GLOBAL_SETUP, out, nullptr, options);
}

CommandRecord EffectHost::ParamsSetup(const CallOptions& options) {
  params_.clear();
  params_.push_back(LayerDecl());
  CommandRecord record = SendCommand(PF_Cmd_PARAMS_SETUP, PF_OutData{}, nullptr, options);
  FinishDeclarations(params_);
  declaredCount_ = record.outData.num_params;
  return record;
}

}  // namespace harness
