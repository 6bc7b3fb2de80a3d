#include "EffectSession.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

#include "ToolError.h"

namespace {

bool IsFile(const std::string& path) {
  struct stat info {};
  return !path.empty() && stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::string ExecutableDirectory() {
  char buffer[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0) return "";
  std::string path(buffer, static_cast<size_t>(n));
  size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

ControlKind KindOf(PF_ParamType type) {
  switch (type) {
    case PF_Param_LAYER: return ControlKind::Layer;
    case PF_Param_POPUP: return ControlKind::Popup;
    case PF_Param_FLOAT_SLIDER: return ControlKind::Float;
    case PF_Param_POINT: return ControlKind::Point;
    case PF_Param_GROUP_START: return ControlKind::GroupStart;
    case PF_Param_GROUP_END: return ControlKind::GroupEnd;
    default: return ControlKind::Other;
  }
}

std::vector<std::string> SplitChoices(const std::string& names) {
  std::vector<std::string> choices;
  size_t start = 0;
  while (true) {
    size_t bar = names.find('|', start);
    choices.push_back(
        names.substr(start, bar == std::string::npos ? std::string::npos : bar - start));
    if (bar == std::string::npos) break;
    start = bar + 1;
  }
  return choices;
}

}  // namespace

std::string FindModulePath(const std::string& moduleOption) {
  if (!moduleOption.empty()) {
    if (!IsFile(moduleOption)) throw UsageError("--module \"" + moduleOption + "\": no such file");
    return moduleOption;
  }
  std::vector<std::string> tried;
  if (const char* env = std::getenv("VTLENS_MODULE")) {
    if (IsFile(env)) return env;
    tried.push_back(std::string("VTLENS_MODULE=") + env);
  }
  std::string beside = ExecutableDirectory() + VTLENS_MODULE_FILE_NAME;
  if (IsFile(beside)) return beside;
  tried.push_back(beside);
  if (IsFile(VTLENS_BUILT_MODULE)) return VTLENS_BUILT_MODULE;
  tried.push_back(VTLENS_BUILT_MODULE);
  std::string list;
  for (const std::string& t : tried) list += "\n  " + t;
  throw ToolError("cannot find the effect module; tried:" + list +
                  "\ngive its path with --module or VTLENS_MODULE");
}

EffectSession OpenEffect(const std::string& moduleOption) {
  EffectSession session;
  session.modulePath = FindModulePath(moduleOption);
  static harness::EffectHost* loaded = nullptr;  // deliberately never deleted, see the header
  static std::string loadedPath;
  if (!loaded || loadedPath != session.modulePath) {
    std::string error;
    std::unique_ptr<harness::EffectHost> host =
        harness::EffectHost::Load(session.modulePath, error);
    if (!host)
      throw ToolError("cannot load the effect module \"" + session.modulePath + "\": " + error);
    loaded = host.release();
    loadedPath = session.modulePath;
  }
  session.host = loaded;
  harness::CommandRecord setup = session.host->GlobalSetup();
  if (setup.result != 0)
    throw ToolError("the effect's global set-up failed with error " + std::to_string(setup.result));
  harness::CommandRecord params = session.host->ParamsSetup();
  if (params.result != 0)
    throw ToolError("the effect's parameter set-up failed with error " +
                    std::to_string(params.result));
  session.controls = ControlsFromDeclarations(session.host->Params());
  return session;
}

std::vector<Control> ControlsFromDeclarations(const std::vector<harness::ParamDecl>& params) {
  std::vector<Control> controls;
  for (size_t i = 1; i < params.size(); ++i) {
    const PF_ParamDef& def = params[i].def;
    Control c;
    c.index = static_cast<int>(i);
    c.name = std::string(def.name, strnlen(def.name, sizeof def.name));
    c.id = static_cast<uint32_t>(def.uu.id);
    c.kind = KindOf(def.param_type);
    c.flags = def.flags;
    PF_ParamIndex group = params[i].group;
    if (group > 0 && static_cast<size_t>(group) < params.size())
      c.group = std::string(params[group].def.name,
                            strnlen(params[group].def.name, sizeof params[group].def.name));
    if (c.kind == ControlKind::Popup) {
      c.choices = SplitChoices(params[i].popupNames);
      c.popupDefault = def.u.pd.dephault;
    } else if (c.kind == ControlKind::Float) {
      c.validMin = static_cast<double>(def.u.fs_d.valid_min);
      c.validMax = static_cast<double>(def.u.fs_d.valid_max);
      c.sliderMin = static_cast<double>(def.u.fs_d.slider_min);
      c.sliderMax = static_cast<double>(def.u.fs_d.slider_max);
      c.floatDefault = static_cast<double>(def.u.fs_d.dephault);
      c.precision = def.u.fs_d.precision;
    } else if (c.kind == ControlKind::Point) {
      c.defaultPercentX = def.u.td.x_dephault / 65536.0;
      c.defaultPercentY = def.u.td.y_dephault / 65536.0;
    }
    controls.push_back(c);
  }
  return controls;
}

A_long FrameTime(const harness::EffectInstance& instance, long frame) {
  return static_cast<A_long>(frame * instance.TimeStep());
}

void ApplySettings(harness::EffectInstance& instance, const ControlSettings& settings) {
  for (const ControlSetting& s : settings.settings) {
    std::string error;
    bool ok = true;
    if (s.keys.size() == 1) {
      ok = instance.SetValue(s.index, harness::ParamValue{s.keys[0].value.x, s.keys[0].value.y},
                             &error);
    } else {
      for (const Keyframe& k : s.keys) {
        ok = instance.SetKeyframe(s.index, FrameTime(instance, k.frame),
                                  harness::ParamValue{k.value.x, k.value.y}, &error);
        if (!ok) break;
      }
    }
    if (!ok) throw UsageError("control " + std::to_string(s.index) + ": " + error);
  }
}

std::unique_ptr<harness::EffectInstance> NewInstance(EffectSession& session,
                                                     const ControlSettings& settings,
                                                     int32_t layerWidth, int32_t layerHeight) {
  auto instance = std::make_unique<harness::EffectInstance>(*session.host);
  if (layerWidth > 0 && layerHeight > 0) instance->SetLayerSize(layerWidth, layerHeight);
  ApplySettings(*instance, settings);
  return instance;
}

harness::Image ToHarnessImage(const Image& image) {
  harness::Image out;
  out.width = image.width;
  out.height = image.height;
  out.originX = image.originX;
  out.originY = image.originY;
  const void* data = nullptr;
  size_t bytes = 0;
  if (image.depth == kDepth8) {
    out.depth = harness::Depth::k8;
    data = image.pixels8.data();
    bytes = image.pixels8.size();
  } else if (image.depth == kDepth16) {
    out.depth = harness::Depth::k16;
    data = image.pixels16.data();
    bytes = image.pixels16.size() * sizeof(uint16_t);
  } else {
    out.depth = harness::Depth::kFloat;
    data = image.pixelsFloat.data();
    bytes = image.pixelsFloat.size() * sizeof(float);
  }
  out.pixels.resize(bytes);
  if (bytes) std::memcpy(out.pixels.data(), data, bytes);
  return out;
}

Image FromHarnessImage(const harness::Image& image) {
  int depth = image.depth == harness::Depth::k8    ? kDepth8
              : image.depth == harness::Depth::k16 ? kDepth16
                                                   : kDepthFloat;
  Image out = MakeImage(image.width, image.height, depth);
  out.originX = image.originX;
  out.originY = image.originY;
  void* data = depth == kDepth8    ? static_cast<void*>(out.pixels8.data())
               : depth == kDepth16 ? static_cast<void*>(out.pixels16.data())
                                   : static_cast<void*>(out.pixelsFloat.data());
  size_t bytes = depth == kDepth8    ? out.pixels8.size()
                 : depth == kDepth16 ? out.pixels16.size() * 2
                                     : out.pixelsFloat.size() * 4;
  if (bytes && image.pixels.size() >= bytes) std::memcpy(data, image.pixels.data(), bytes);
  return out;
}
