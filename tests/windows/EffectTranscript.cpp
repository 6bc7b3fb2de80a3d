// effect_transcript MODULE OUTDIR
//
// Loads an effect module through the harness exactly as the host would, plays a fixed
// session against it and writes everything the effect answered into OUTDIR:
//
//   pipl.bin, pipl.txt   the property list as read from the module, raw and decoded
//   commands.txt         about, global set-up and parameter set-up, with their results
//   params.txt           every parameter as declared
//   ui-updates.txt       what the effect asked of the controls on lens-model changes
//   frames.txt           every rendered frame's geometry, result and accounting
//   frame-NN.raw         the frames' pixels (rows of width * pixel size bytes, ARGB)
//
// The same program is built for Linux against the Linux module and for Windows against
// the .aex; the Windows run happens under Wine, and the two output folders must be equal
// byte for byte. Everything written is therefore a function of the effect's behaviour
// only: numbers are written with their bit patterns next to their decimal form, and no
// pointer, time or thread count ends up in a file.
//
// Exit status: 0 when the session ran (whatever the effect answered), 1 when the module
// could not be loaded or a file could not be written, 2 for wrong arguments.

#include <cinttypes>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "Harness.h"

namespace {

using harness::Depth;

// ------------------------------------------------------------------ text output

#if defined(__GNUC__)
void Append(std::string& out, const char* format, ...) __attribute__((format(printf, 2, 3)));
#endif
void Append(std::string& out, const char* format, ...) {
  char buffer[1024];
  va_list args;
  va_start(args, format);
  const int n = std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  if (n > 0) out.append(buffer, size_t(n) < sizeof buffer ? size_t(n) : sizeof buffer - 1);
}

// A double as decimal and bit pattern: the decimal form is for people, the bits make the
// comparison exact whatever the C runtime's formatting does with the last digits.
std::string Double(double v) {
  uint64_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  std::string s;
  Append(s, "%.17g [%016" PRIx64 "]", v, bits);
  return s;
}

std::string Float(float v) {
  uint32_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  std::string s;
  Append(s, "%.9g [%08" PRIx32 "]", double(v), bits);
  return s;
}

std::string Code(uint32_t code) {
  std::string s = harness::FourCCText(code);
  for (char& c : s) {
    if (c < 32 || c > 126) c = '.';
  }
  Append(s, " (0x%08" PRIx32 ")", code);
  return s;
}

std::string Hex(const uint8_t* bytes, size_t n) {
  std::string s;
  for (size_t i = 0; i < n; ++i) Append(s, i ? " %02x" : "%02x", bytes[i]);
  return s;
}

// A C string that the effect wrote into a fixed-size host field, up to its terminator.
std::string Field(const char* text, size_t capacity) {
  return std::string(text, strnlen(text, capacity));
}

// Control characters (the about text's carriage returns) as escapes, so that the files
// stay one record a line.
std::string Escaped(const std::string& text) {
  std::string s;
  for (char c : text) {
    if (c == '\\') {
      s += "\\\\";
    } else if (c >= 32 && c < 127) {
      s += c;
    } else {
      Append(s, "\\x%02x", unsigned(uint8_t(c)));
    }
  }
  return s;
}

bool WriteFile(const std::string& dir, const std::string& name, const void* data, size_t size) {
  const std::string path = dir + "/" + name;
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) {
    std::fprintf(stderr, "effect_transcript: cannot write %s\n", path.c_str());
    return false;
  }
  const bool ok = std::fwrite(data, 1, size, file) == size;
  if (std::fclose(file) != 0 || !ok) {
    std::fprintf(stderr, "effect_transcript: cannot write %s\n", path.c_str());
    return false;
  }
  return true;
}

bool WriteText(const std::string& dir, const std::string& name, const std::string& text) {
  return WriteFile(dir, name, text.data(), text.size());
}

// ------------------------------------------------------------------ records as text

void AppendCommand(std::string& out, const char* label, const harness::CommandRecord& record) {
  Append(out, "%s: sent %d result %d threw %d balanced %d unknown-suites %d\n", label,
         int(record.sent), int(record.result), int(record.threw), int(record.Balanced()),
         int(record.unknownSuiteRequests));
  for (const harness::SuiteUse& suite : record.suites) {
    Append(out, "  suite \"%s\" v%d acquired %d refused %d released %d failed %d stray %d\n",
           suite.name.c_str(), int(suite.version), int(suite.acquired), int(suite.refused),
           int(suite.released), int(suite.releaseFailed), int(suite.stray));
  }
  for (const auto& call : record.calls) {
    Append(out, "  calls %s %d\n", call.first.c_str(), int(call.second));
  }
}

void AppendOutData(std::string& out, const PF_OutData& o) {
  Append(out, "  my_version 0x%08" PRIx32 " out_flags 0x%08" PRIx32 " out_flags2 0x%08" PRIx32
              " num_params %d\n",
         uint32_t(o.my_version), uint32_t(o.out_flags), uint32_t(o.out_flags2),
         int(o.num_params));
  Append(out, "  return_msg \"%s\"\n",
         Escaped(Field(o.return_msg, sizeof o.return_msg)).c_str());
}

std::string DescribePipl(const harness::PiplInfo& pipl) {
  std::string out;
  Append(out, "properties %d\n", int(pipl.properties.size()));
  for (const harness::PiplProperty& p : pipl.properties) {
    Append(out, "%s %s id %" PRIu32 " length %" PRIu32 " data %s\n", Code(p.vendor).c_str(),
           Code(p.key).c_str(), p.id, p.length, Hex(p.data.data(), p.data.size()).c_str());
  }
  Append(out, "kind %s\n", Code(pipl.kind).c_str());
  Append(out, "name \"%s\"\n", pipl.name.c_str());
  Append(out, "category \"%s\"\n", pipl.category.c_str());
  Append(out, "entry point \"%s\"\n", pipl.entryPoint.c_str());
  Append(out, "PiPL version %d.%d\n", int(pipl.piplMajor), int(pipl.piplMinor));
  Append(out, "API version %d.%d\n", int(pipl.specMajor), int(pipl.specMinor));
  Append(out, "effect version 0x%08" PRIx32 "\n", pipl.effectVersion);
  Append(out, "info flags 0x%08" PRIx32 "\n", pipl.infoFlags);
  Append(out, "out flags 0x%08" PRIx32 "\n", uint32_t(pipl.outFlags));
  Append(out, "out flags 2 0x%08" PRIx32 "\n", uint32_t(pipl.outFlags2));
  Append(out, "match name \"%s\"\n", pipl.matchName.c_str());
  Append(out, "reserved info %d\n", int(pipl.reservedInfo));
  Append(out, "support URL \"%s\"\n", pipl.supportUrl.c_str());
  return out;
}

std::string DescribeParams(const harness::EffectHost& host) {
  std::string out;
  Append(out, "num_params %d, declared %d\n", int(host.DeclaredParamCount()),
         int(host.Params().size()));
  for (size_t i = 0; i < host.Params().size(); ++i) {
    const harness::ParamDecl& decl = host.Params()[i];
    const PF_ParamDef& d = decl.def;
    Append(out, "%d: type %d id %s name \"%s\" flags 0x%x ui_flags 0x%x ui %dx%d group %d\n",
           int(i), int(d.param_type), Code(uint32_t(d.uu.id)).c_str(),
           Escaped(Field(d.name, sizeof d.name)).c_str(), unsigned(d.flags),
           unsigned(d.ui_flags), int(d.ui_width), int(d.ui_height), int(decl.group));
    switch (d.param_type) {
      case PF_Param_POPUP:
        Append(out, "  popup value %d choices %d default %d names \"%s\"\n", int(d.u.pd.value),
               int(d.u.pd.num_choices), int(d.u.pd.dephault),
               Escaped(decl.popupNames).c_str());
        break;
      case PF_Param_FLOAT_SLIDER: {
        const PF_FloatSliderDef& f = d.u.fs_d;
        Append(out, "  value %s phase %s\n", Double(f.value).c_str(), Double(f.phase).c_str());
        Append(out, "  valid %s .. %s slider %s .. %s default %s\n", Float(f.valid_min).c_str(),
               Float(f.valid_max).c_str(), Float(f.slider_min).c_str(),
               Float(f.slider_max).c_str(), Float(f.dephault).c_str());
        Append(out,
               "  precision %d display_flags %d fs_flags %d curve_tolerance %s useExponent %d "
               "exponent %s\n",
               int(f.precision), int(f.display_flags), int(f.fs_flags),
               Float(f.curve_tolerance).c_str(), int(f.useExponent), Float(f.exponent).c_str());
        break;
      }
      case PF_Param_POINT:
        Append(out, "  point value %d, %d default %d, %d restrict_bounds %d\n",
               int(d.u.td.x_value), int(d.u.td.y_value), int(d.u.td.x_dephault),
               int(d.u.td.y_dephault), int(d.u.td.restrict_bounds));
        break;
      default:
        break;
    }
  }
  return out;
}

// ------------------------------------------------------------------ the session

// A test card: smooth ramps crossed by a hashed pattern, so that every filter has edges
// and gradients to work on, with an alpha that varies too. Integer arithmetic only, so the
// card is the same on every platform.
harness::Image MakeCard(int32_t width, int32_t height, Depth depth) {
  harness::Image image = harness::MakeImage(width, height, depth);
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) {
      uint32_t h = uint32_t(x) * 73856093u ^ uint32_t(y) * 19349663u;
      h ^= h >> 13;
      h *= 0x5bd1e995u;
      h ^= h >> 15;
      const uint32_t ramp = uint32_t(x * 255 / (width > 1 ? width - 1 : 1));
      const uint32_t ramp2 = uint32_t(y * 255 / (height > 1 ? height - 1 : 1));
      const uint32_t checker = ((x / 8 + y / 8) & 1) != 0 ? 200u : 40u;
      const uint32_t c[4] = {128u + (h & 127u), ramp, ramp2, (checker + (h >> 24)) & 255u};
      for (int k = 0; k < 4; ++k) {
        switch (depth) {
          case Depth::k8:
            (&harness::PixelAt<PF_Pixel8>(image, x, y)->alpha)[k] = A_u_char(c[k]);
            break;
          case Depth::k16:
            (&harness::PixelAt<PF_Pixel16>(image, x, y)->alpha)[k] =
                A_u_short(c[k] * 32768u / 255u);
            break;
          case Depth::kFloat:
            (&harness::PixelAt<PF_PixelFloat>(image, x, y)->alpha)[k] = float(c[k]) / 255.0f;
            break;
        }
      }
    }
  }
  return image;
}

const char* DepthName(Depth depth) {
  switch (depth) {
    case Depth::k8: return "8-bit";
    case Depth::k16: return "16-bit";
    case Depth::kFloat: return "float";
  }
  return "?";
}

struct Setting {
  const char* param;
  double x;
  double y;
};

struct Frame {
  int lensModel;   // 1-based entry of "Lens Model"
  int distortMode; // 1 "Remove WF2", 2 "Apply WF2", 3 "Remove WF1"
  int filter;      // 1 "Built-in" .. 6 "Mitchell-Netravali"
  Depth depth;
  std::vector<Setting> settings;  // besides the three popups; points in layer pixels
};

constexpr int32_t kLayerWidth = 157;  // not a multiple of the 64-pixel runs
constexpr int32_t kLayerHeight = 93;

// The frames rendered: every depth with every filter ("Built-in" through the harness's
// host sampler, so the positions the module hands the host are compared too), then four
// lens families in each distort mode.
// The geometry controls move away from their defaults in the later frames so that output
// extents, centre offsets and zoom take part too.
std::vector<Frame> Frames() {
  const std::vector<Setting> radial{{"R4 C2", -0.05, 0}, {"R4 C4", 0.01, 0}, {"R4 U2", 0.02, 0}};
  std::vector<Frame> frames;
  for (Depth depth : {Depth::k8, Depth::k16, Depth::kFloat}) {
    for (int filter = 1; filter <= 6; ++filter) frames.push_back({3, 1, filter, depth, radial});
  }

  const Setting center{"Lens Center", kLayerWidth / 2.0 + 3.5, kLayerHeight / 2.0 - 2.25};
  const Setting bigger{"Undistorted Img Size", kLayerWidth + 24, kLayerHeight + 10};
  const Setting zoom{"Zoom Factor", 1.1, 0};
  const std::vector<Setting> classic{
      {"DistortionX1000", 80, 0}, {"CubicX1000", -20, 0}, {"QuarticX1000", 30, 0},
      {"Eccentricity", 1.1, 0},   {"Vertical Scale", 1.05, 0}};
  const std::vector<Setting> classicNegative{
      {"DistortionX1000", -60, 0}, {"QuarticX1000", 15, 0}, {"Eccentricity", -0.3, 0}};
  const std::vector<Setting> radial4{{"R4 C2", -0.08, 0}, {"R4 U2", 0.01, 0},
                                     {"R4 V2", -0.02, 0}, {"R4 C4", 0.02, 0},
                                     {"R4 U4", -0.004, 0}, {"R4 V4", 0.003, 0}};
  const std::vector<Setting> anamorphic{
      {"A6 CX02", 0.05, 0}, {"A6 CY02", -0.03, 0}, {"A6 CX04", 0.01, 0},
      {"A6 CY22", 0.02, 0}, {"A6 CX06", -0.002, 0}, {"A6 HSCL", 1.02, 0},
      {"A6 VSCL", 0.98, 0}, {"A6 ROT", 2.5, 0},     {"Anamorphic Squeeze", 1.33, 0}};
  const std::vector<Setting> anamorphicMerged{
      {"A6M C02", -0.04, 0}, {"A6M C22", 0.01, 0}, {"A6M C04", 0.008, 0},
      {"A6M ROT", -1.5, 0},  {"Pixel Aspect", 1.2, 0}};
  const std::vector<Setting> fisheye{{"FISH C2", 0.05, 0}, {"FISH C4", -0.01, 0},
                                     {"FISH Scale", 1.1, 0}, {"FISH Angle Factor", 0.9, 0}};

  struct Family {
    int models[3];  // the lens model used in each distort mode
    std::vector<Setting> settings[3];
  };
  const Family families[] = {
      {{1, 1, 1}, {classic, classic, classicNegative}},
      {{3, 4, 3}, {radial4, radial4, radial4}},
      {{7, 5, 8}, {anamorphic, anamorphicMerged, anamorphic}},
      {{9, 11, 12}, {fisheye, fisheye, fisheye}},
  };
  int filter = 2;
  for (const Family& family : families) {
    for (int mode = 1; mode <= 3; ++mode) {
      Frame frame{family.models[mode - 1], mode, filter, Depth::kFloat,
                  family.settings[mode - 1]};
      frame.settings.push_back(center);
      if (mode == 2) frame.settings.push_back(bigger);
      if (mode == 3) frame.settings.push_back(zoom);
      frames.push_back(frame);
      filter = filter == 6 ? 2 : filter + 1;
    }
  }
  return frames;
}

bool Set(harness::EffectInstance& instance, const char* name, double x, double y,
         std::string& log) {
  const PF_ParamIndex index = instance.FindParam(name);
  std::string error;
  if (index < 0 || !instance.SetValue(index, {x, y}, &error)) {
    Append(log, "  cannot set \"%s\": %s\n", name, index < 0 ? "no such parameter" : error.c_str());
    return false;
  }
  return true;
}

bool RenderFrames(harness::EffectHost& host, const std::string& dir) {
  std::string log;
  const std::vector<Frame> frames = Frames();
  const harness::Image cards[] = {MakeCard(kLayerWidth, kLayerHeight, Depth::k8),
                                  MakeCard(kLayerWidth, kLayerHeight, Depth::k16),
                                  MakeCard(kLayerWidth, kLayerHeight, Depth::kFloat)};
  bool ok = true;
  for (size_t i = 0; i < frames.size(); ++i) {
    const Frame& frame = frames[i];
    harness::EffectInstance instance(host);
    instance.SetLayerSize(kLayerWidth, kLayerHeight);
    Append(log, "frame %02d: lens model %d, distort mode %d, filter %d, %s\n", int(i),
           frame.lensModel, frame.distortMode, frame.filter, DepthName(frame.depth));
    Set(instance, "Lens Model", frame.lensModel, 0, log);
    Set(instance, "Distort Mode", frame.distortMode, 0, log);
    Set(instance, "Filter Type", frame.filter, 0, log);
    for (const Setting& s : frame.settings) {
      Set(instance, s.param, s.x, s.y, log);
      Append(log, "  %s = %s, %s\n", s.param, Double(s.x).c_str(), Double(s.y).c_str());
    }

    harness::RenderRequest request;
    request.layer = &cards[frame.depth == Depth::k8 ? 0 : frame.depth == Depth::k16 ? 1 : 2];
    const harness::RenderResult result = instance.Render(request);
    const PF_PreRenderOutput& pre = result.preRenderOutput;
    Append(log, "  result %d pre-render %d render %d balanced %d/%d disposals %d\n",
           int(result.err), int(result.preRender.result), int(result.render.result),
           int(result.preRender.Balanced()), int(result.render.Balanced()),
           int(result.disposals));
    Append(log, "  result_rect %d %d %d %d max_result_rect %d %d %d %d flags %d\n",
           int(pre.result_rect.left), int(pre.result_rect.top), int(pre.result_rect.right),
           int(pre.result_rect.bottom), int(pre.max_result_rect.left),
           int(pre.max_result_rect.top), int(pre.max_result_rect.right),
           int(pre.max_result_rect.bottom), int(pre.flags));
    for (const harness::LayerCheckout& c : result.checkouts) {
      Append(log, "  checkout index %d rect %d %d %d %d -> result_rect %d %d %d %d ref %dx%d\n",
             int(c.index), int(c.request.rect.left), int(c.request.rect.top),
             int(c.request.rect.right), int(c.request.rect.bottom),
             int(c.result.result_rect.left), int(c.result.result_rect.top),
             int(c.result.result_rect.right), int(c.result.result_rect.bottom),
             int(c.result.ref_width), int(c.result.ref_height));
    }
    const harness::Image& out = result.output;
    Append(log,
           "  output %dx%d %s at %d, %d; padding intact %d, input intact %d, rows %d\n",
           int(out.width), int(out.height), DepthName(out.depth), int(out.originX),
           int(out.originY), int(result.outputPaddingIntact), int(result.inputIntact),
           int(result.rowsIterated));
    char name[32];
    std::snprintf(name, sizeof name, "frame-%02d.raw", int(i));
    ok = WriteFile(dir, name, out.pixels.data(), out.pixels.size()) && ok;
  }
  return WriteText(dir, "frames.txt", log) && ok;
}

// The user picks lens models one after another, as in the controls: each pick is
// recorded with the interface updates the effect asked for. The sequence includes a
// pick that changes nothing (3 after 4) and a return to the start.
bool ChangeLensModels(harness::EffectHost& host, const std::string& dir) {
  std::string log;
  harness::EffectInstance instance(host);
  const PF_ParamIndex lensModel = instance.FindParam("Lens Model");
  for (int model : {1, 2, 4, 3, 5, 6, 7, 8, 9, 10, 11, 12, 4}) {
    const harness::CommandRecord record = instance.ChangeParam(lensModel, {double(model), 0});
    char label[32];
    std::snprintf(label, sizeof label, "lens model %d", model);
    AppendCommand(log, label, record);
    for (const harness::ParamUiUpdate& update : record.uiUpdates) {
      Append(log, "  update %d \"%s\" flags 0x%x change_flags 0x%x\n", int(update.index),
             Escaped(Field(update.def.name, sizeof update.def.name)).c_str(),
             unsigned(update.def.flags), unsigned(update.def.uu.change_flags));
    }
  }
  const harness::CommandRecord other =
      instance.ChangeParam(instance.FindParam("Distort Mode"), {2, 0});
  AppendCommand(log, "distort mode 2", other);
  return WriteText(dir, "ui-updates.txt", log);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: effect_transcript MODULE OUTDIR\n");
    return 2;
  }
  const std::string modulePath = argv[1];
  const std::string dir = argv[2];

  // A fixed pool size keeps the work the same on every machine; rows still run on
  // several threads at once.
  harness::HostOptions options;
  options.iterateThreads = 3;
  std::string error;
  std::unique_ptr<harness::EffectHost> host = harness::EffectHost::Load(modulePath, error, options);
  if (!host) {
    std::fprintf(stderr, "effect_transcript: %s\n", error.c_str());
    return 1;
  }

  bool ok = WriteFile(dir, "pipl.bin", host->PiplBytes().data(), host->PiplBytes().size());
  ok = WriteText(dir, "pipl.txt", DescribePipl(host->Pipl())) && ok;

  std::string commands;
  harness::CommandRecord record = host->About();
  AppendCommand(commands, "about", record);
  AppendOutData(commands, record.outData);
  record = host->GlobalSetup();
  AppendCommand(commands, "global set-up", record);
  AppendOutData(commands, record.outData);
  record = host->ParamsSetup();
  AppendCommand(commands, "parameter set-up", record);
  AppendOutData(commands, record.outData);
  ok = WriteText(dir, "commands.txt", commands) && ok;
  ok = WriteText(dir, "params.txt", DescribeParams(*host)) && ok;

  ok = ChangeLensModels(*host, dir) && ok;
  ok = RenderFrames(*host, dir) && ok;
  // A host never unloads an effect: its kernel tables live until the process ends, and
  // unloading the module here would only make them look leaked. The host stays reachable.
  static harness::EffectHost* const kept = host.release();
  (void)kept;
  return ok ? 0 : 1;
}
