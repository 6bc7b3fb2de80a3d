// effect_transcript MODULE OUTDIR: loads an effect module through the harness as the host
// would, plays a fixed session (set-up commands, frames in every depth and filter, every lens
// family in every distort mode) and writes what the effect answered into OUTDIR. The Linux and
// Windows builds must write the same bytes, so what is written depends on the effect alone:
// numbers carry their bit patterns; no pointer, time or thread count. Exit status: 0 when the
// session ran, 1 when the module or a file failed, 2 for wrong use.

#include <algorithm>
#include <cinttypes>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "Harness.h"

namespace {

using harness::Depth;

[[gnu::format(printf, 1, 2)]] std::string Format(const char* format, ...) {
  char buffer[1024];
  va_list args;
  va_start(args, format);
  const int n = std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  return std::string(buffer, size_t(std::clamp(n, 0, int(sizeof buffer) - 1)));
}

// Decimal for people, the bit pattern for an exact comparison.
std::string Bits(double v) {
  uint64_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  return Format("%.17g [%016" PRIx64 "]", v, bits);
}

// Text up to its terminator within `capacity`, quoted, with control characters (the about
// text's carriage returns) escaped so that every record stays on one line.
std::string Quoted(const char* text, size_t capacity) {
  std::string s = "\"";
  for (size_t i = 0; i < capacity && text[i] != 0; ++i) {
    const char c = text[i];
    s += c >= 32 && c < 127 && c != '\\' ? std::string(1, c)
                                         : Format("\\x%02x", unsigned(uint8_t(c)));
  }
  return s + "\"";
}

std::string Rect(const PF_LRect& r) {
  return Format("%d %d %d %d", int(r.left), int(r.top), int(r.right), int(r.bottom));
}

void AppendCommand(std::string& out, const char* label, const harness::CommandRecord& r) {
  out +=
      Format("%s: sent %d result %d threw %d balanced %d unknown-suites %d\n", label, int(r.sent),
             int(r.result), int(r.threw), int(r.Balanced()), int(r.unknownSuiteRequests));
  for (const harness::SuiteUse& s : r.suites) {
    out += Format("  suite \"%s\" v%d acquired %d refused %d released %d failed %d stray %d\n",
                  s.name.c_str(), int(s.version), int(s.acquired), int(s.refused), int(s.released),
                  int(s.releaseFailed), int(s.stray));
  }
  for (const auto& [call, count] : r.calls) out += Format("  calls %s %d\n", call.c_str(), count);
}

constexpr int32_t kLayerWidth = 157;  // not a multiple of the 64-pixel runs
constexpr int32_t kLayerHeight = 93;

// A test card: ramps crossed by a hashed pattern and a checker, so that every filter has
// edges and gradients to work on, with a varying alpha. Integer arithmetic only, so the card
// is the same on every platform.
harness::Image MakeCard(Depth depth) {
  harness::Image image = harness::MakeImage(kLayerWidth, kLayerHeight, depth);
  const size_t channel = size_t(harness::PixelBytes(depth)) / 4;
  for (size_t i = 0; i < image.pixels.size() / channel; ++i) {
    const uint32_t x = uint32_t(i / 4 % kLayerWidth), y = uint32_t(i / 4 / kLayerWidth);
    uint32_t h = (x * 73856093u ^ y * 19349663u) * 0x5bd1e995u;
    h ^= h >> 15;
    const uint32_t c[4] = {128u + (h & 127u), x * 255 / (kLayerWidth - 1),
                           y * 255 / (kLayerHeight - 1), ((x / 8 + y / 8) % 2 * 160 + h) & 255u};
    const uint8_t v8 = uint8_t(c[i % 4]);
    const uint16_t v16 = uint16_t(c[i % 4] * 32768u / 255u);
    const float v32 = float(c[i % 4]) / 255.0f;
    const void* v = channel == 1   ? static_cast<const void*>(&v8)
                    : channel == 2 ? static_cast<const void*>(&v16)
                                   : &v32;
    std::memcpy(&image.pixels[i * channel], v, channel);
  }
  return image;
}

struct Setting {
  const char* param;
  double x, y = 0;  // points in layer pixels
};

struct Frame {
  int lensModel, distortMode, filter;  // 1-based popup entries
  Depth depth;
  std::vector<Setting> settings;
};

// Every depth with every filter ("Built-in" through the harness's sampler, so the positions
// the module hands the host are compared too), then four lens families in each distort mode,
// with the geometry controls away from their defaults so that output extents, centre offsets
// and zoom take part too.
std::vector<Frame> Frames() {
  using Settings = std::vector<Setting>;
  // clang-format off
  const Settings radial{{"R4 C2", -0.05}, {"R4 C4", 0.01}, {"R4 U2", 0.02}};
  const Settings classic{{"DistortionX1000", 80}, {"CubicX1000", -20}, {"QuarticX1000", 30},
                         {"Eccentricity", 1.1}, {"Vertical Scale", 1.05}};
  const Settings classicNegative{{"DistortionX1000", -60}, {"QuarticX1000", 15},
                                 {"Eccentricity", -0.3}};
  const Settings radial4{{"R4 C2", -0.08}, {"R4 U2", 0.01}, {"R4 V2", -0.02}, {"R4 C4", 0.02},
                         {"R4 U4", -0.004}, {"R4 V4", 0.003}};
  const Settings anamorphic{{"A6 CX02", 0.05}, {"A6 CY02", -0.03}, {"A6 CX04", 0.01},
                            {"A6 CY22", 0.02}, {"A6 CX06", -0.002}, {"A6 HSCL", 1.02},
                            {"A6 VSCL", 0.98}, {"A6 ROT", 2.5}, {"Anamorphic Squeeze", 1.33}};
  const Settings merged{{"A6M C02", -0.04}, {"A6M C22", 0.01}, {"A6M C04", 0.008},
                        {"A6M ROT", -1.5}, {"Pixel Aspect", 1.2}};
  const Settings fisheye{{"FISH C2", 0.05}, {"FISH C4", -0.01}, {"FISH Scale", 1.1},
                         {"FISH Angle Factor", 0.9}};
  const struct {
    int popups[3];
    const Settings* settings;
  } lenses[] = {
      {{1, 1, 2}, &classic}, {{1, 2, 3}, &classic}, {{1, 3, 4}, &classicNegative},
      {{3, 1, 5}, &radial4}, {{4, 2, 6}, &radial4}, {{3, 3, 2}, &radial4},
      {{7, 1, 3}, &anamorphic}, {{5, 2, 4}, &merged}, {{8, 3, 5}, &anamorphic},
      {{9, 1, 6}, &fisheye}, {{11, 2, 2}, &fisheye}, {{12, 3, 3}, &fisheye}};
  // clang-format on
  std::vector<Frame> frames;
  for (Depth depth : {Depth::k8, Depth::k16, Depth::kFloat}) {
    for (int filter = 1; filter <= 6; ++filter) frames.push_back({3, 1, filter, depth, radial});
  }
  for (const auto& [popups, settings] : lenses) {
    Frame frame{popups[0], popups[1], popups[2], Depth::kFloat, *settings};
    frame.settings.push_back({"Lens Center", kLayerWidth / 2.0 + 3.5, kLayerHeight / 2.0 - 2.25});
    if (frame.distortMode == 2) frame.settings.push_back({"Undistorted Img Size", 181, 103});
    if (frame.distortMode == 3) frame.settings.push_back({"Zoom Factor", 1.1});
    frames.push_back(frame);
  }
  return frames;
}

using Files = std::vector<std::pair<std::string, std::string>>;  // name, contents

void RenderFrames(harness::EffectHost& host, Files& files) {
  const char* depthNames[] = {"8-bit", "16-bit", "float"};
  const harness::Image cards[] = {MakeCard(Depth::k8), MakeCard(Depth::k16),
                                  MakeCard(Depth::kFloat)};
  std::string log;
  const std::vector<Frame> frames = Frames();
  for (size_t i = 0; i < frames.size(); ++i) {
    const Frame& frame = frames[i];
    const int depth = frame.depth == Depth::k8 ? 0 : frame.depth == Depth::k16 ? 1 : 2;
    harness::EffectInstance instance(host);
    instance.SetLayerSize(kLayerWidth, kLayerHeight);
    log += Format("frame %02d: lens model %d, distort mode %d, filter %d, %s\n", int(i),
                  frame.lensModel, frame.distortMode, frame.filter, depthNames[depth]);
    std::vector<Setting> settings = {{"Lens Model", double(frame.lensModel)},
                                     {"Distort Mode", double(frame.distortMode)},
                                     {"Filter Type", double(frame.filter)}};
    settings.insert(settings.end(), frame.settings.begin(), frame.settings.end());
    for (const Setting& s : settings) {
      const PF_ParamIndex index = instance.FindParam(s.param);
      std::string error = "no such parameter";
      if (index < 0 || !instance.SetValue(index, {s.x, s.y}, &error)) {
        log += Format("  cannot set \"%s\": %s\n", s.param, error.c_str());
      }
      log += Format("  %s = %s, %s\n", s.param, Bits(s.x).c_str(), Bits(s.y).c_str());
    }
    const harness::RenderResult r = instance.Render({&cards[depth]});
    log += Format("  result %d pre-render %d render %d balanced %d/%d disposals %d\n", int(r.err),
                  int(r.preRender.result), int(r.render.result), int(r.preRender.Balanced()),
                  int(r.render.Balanced()), int(r.disposals));
    log += Format("  result_rect %s max_result_rect %s flags %d\n",
                  Rect(r.preRenderOutput.result_rect).c_str(),
                  Rect(r.preRenderOutput.max_result_rect).c_str(), int(r.preRenderOutput.flags));
    for (const harness::LayerCheckout& c : r.checkouts) {
      log += Format("  checkout index %d rect %s -> result_rect %s ref %dx%d\n", int(c.index),
                    Rect(c.request.rect).c_str(), Rect(c.result.result_rect).c_str(),
                    int(c.result.ref_width), int(c.result.ref_height));
    }
    const harness::Image& out = r.output;
    log += Format("  output %dx%d %s at %d, %d; padding intact %d, input intact %d, rows %d\n",
                  int(out.width), int(out.height), depthNames[depth], int(out.originX),
                  int(out.originY), int(r.outputPaddingIntact), int(r.inputIntact),
                  int(r.rowsIterated));
    files.emplace_back(Format("frame-%02d.raw", int(i)),
                       std::string(out.pixels.begin(), out.pixels.end()));
  }
  files.emplace_back("frames.txt", log);
}

}  // namespace

// A host never unloads an effect: unloading at exit would only make its kernel tables look
// leaked. The host stays reachable through a global the optimiser cannot drop.
harness::EffectHost* gLoadedHost = nullptr;

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: effect_transcript MODULE OUTDIR\n");
    return 2;
  }
  // A fixed pool size keeps the work the same on every machine; rows still run on several
  // threads at once.
  harness::HostOptions options;
  options.iterateThreads = 3;
  std::string error;
  std::unique_ptr<harness::EffectHost> host = harness::EffectHost::Load(argv[1], error, options);
  if (!host) {
    std::fprintf(stderr, "effect_transcript: %s\n", error.c_str());
    return 1;
  }
  // The property list's bytes; the count read back from them is the check that the host can
  // decode the list built into the .aex.
  Files files = {{"pipl.bin", std::string(host->PiplBytes().begin(), host->PiplBytes().end())},
                 {"pipl.txt", Format("properties %d\n", int(host->Pipl().properties.size()))}};
  std::string commands;
  using Step = std::pair<const char*, harness::CommandRecord>;
  for (const Step& step : {Step{"about", host->About()}, Step{"global set-up", host->GlobalSetup()},
                           Step{"parameter set-up", host->ParamsSetup()}}) {
    const PF_OutData& o = step.second.outData;
    AppendCommand(commands, step.first, step.second);
    commands += Format("  my_version 0x%08" PRIx32 " out_flags 0x%08" PRIx32
                       " out_flags2 0x%08" PRIx32 " num_params %d\n  return_msg %s\n",
                       uint32_t(o.my_version), uint32_t(o.out_flags), uint32_t(o.out_flags2),
                       int(o.num_params), Quoted(o.return_msg, sizeof o.return_msg).c_str());
  }
  files.emplace_back("commands.txt", commands);
  RenderFrames(*host, files);
  gLoadedHost = host.release();
  int status = 0;
  for (const auto& [name, contents] : files) {
    std::ofstream file(std::string(argv[2]) + "/" + name, std::ios::binary);
    file.write(contents.data(), std::streamsize(contents.size()));
    file.close();
    if (!file) {
      std::fprintf(stderr, "effect_transcript: cannot write %s/%s\n", argv[2], name.c_str());
      status = 1;
    }
  }
  return status;
}
