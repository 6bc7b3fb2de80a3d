// The host's stand-in runtime: loads an effect module, reads its property list, and drives
// it through the host's commands, callbacks and suites as the host does, with parameter
// values per instance and time, in-memory layers and worlds, row iteration on a thread pool,
// fault injection and accounting of everything acquired.
//
// Typical use:
//   std::string error;
//   auto host = harness::EffectHost::Load("build/.../VtAFXAdvLens.so", error);
//   host->GlobalSetup();
//   host->ParamsSetup();
//   harness::EffectInstance instance(*host);
//   instance.SetValue(instance.FindParam("R4 C2"), {-0.05});
//   harness::RenderResult frame = instance.Render({&layerImage, /*time*/ 0});
//
// Threads: an EffectHost's commands other than rendering run one at a time. Render may run on
// several threads at once, for one instance or several, as long as nothing changes the
// instances meanwhile; renders share nothing writable but thread-safe counters and the
// host's frame memory.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "AE_Effect.h"
#include "AE_EffectCB.h"
#include "Image.h"
#include "ModuleLoader.h"
#include "Pipl.h"

namespace harness {

class RowPool;
class WorldMemory;
struct CallScope;

// ------------------------------------------------------------------ faults and options

// Makes a host call fail. `call` names a callback or suite function: "checkout_param",
// "checkin_param", "add_param", "abort", "progress", "sprintf", "strcpy", "sin",
// "get_pixel_data8", "get_pixel_data16", "get_pixel_data_float", "checkout_layer",
// "GuidMixInPtr", "checkout_layer_pixels", "checkin_layer_pixels", "checkout_output",
// "PF_UpdateParamUI", "PF_GetFloatingPointValueFromPointDef", "PF_NewWorld",
// "PF_DisposeWorld", "PF_GetPixelFormat", "PF_GetConstSequenceData", "iterate8",
// "iterate16", "iterate_float", "nn_sample", "subpixel_sample", "area_sample" and their
// "16" and "_float" forms; or a suite taken from the basic suite: "AcquireSuite:<suite
// name>" or "ReleaseSuite:<suite name>" with the suite's exact name. A failing acquisition
// hands out a null table. Calls whose result is not an error code fail in their own way:
// sprintf writes nothing and returns -1, strcpy copies nothing, sin returns NaN.
struct FaultRule {
  std::string call;
  int32_t occurrence = 1;  // which call fails, counted from 1 within the command (a frame
                           // for Render); 0 makes every call fail
  PF_Err error = PF_Err_INTERNAL_STRUCT_DAMAGED;
};

// How one command (or one frame) is run. Unknown names in `faults` make the command
// throw std::invalid_argument before anything is sent.
struct CallOptions {
  std::vector<FaultRule> faults;
  bool noBasicSuite = false;  // in_data->pica_basicP is null
  // >0: iterate on the host's pool of this many threads, started at its first use and kept
  // as a host keeps its render threads; 0: the host's own number.
  int32_t iterateThreads = 0;
  int32_t abortAfterRows = -1;  // >=0: the user cancels once this many rows were iterated
  const std::atomic<bool>* abort = nullptr;  // set from elsewhere to cancel the render
  bool recordSamples = false;       // keep every host sampler call in RenderResult::samples
  PF_PixelFormat reportFormat = 0;  // non-zero: PF_GetPixelFormat reports it for any world
};

// ------------------------------------------------------------------ what commands leave

// One suite's use within a command. `released` counts release calls, also failed ones;
// `stray` counts releases of a suite not held at the time.
struct SuiteUse {
  std::string name;
  int32_t version = 0;
  int32_t acquired = 0;  // successful acquisitions
  int32_t refused = 0;   // failed acquisitions (nothing handed out)
  int32_t released = 0;
  int32_t releaseFailed = 0;
  int32_t stray = 0;
};

// A PF_UpdateParamUI call as the effect made it.
struct ParamUiUpdate {
  PF_ParamIndex index = 0;
  PF_ParamDef def{};
};

struct CommandRecord {
  PF_Cmd cmd = 0;
  PF_Err result = 0;
  bool sent = false;             // false when the host did not send the command at all
  bool threw = false;            // an exception left the entry point (result then 512)
  PF_OutData outData{};          // out_data after the command
  std::vector<SuiteUse> suites;  // every suite requested during the command
  // Acquisitions and releases in call order: "acquire NAME", "refuse NAME" (nothing handed
  // out), "release NAME" (also a release the host failed).
  std::vector<std::string> suiteLog;
  int32_t unknownSuiteRequests = 0;  // requests for names or versions this host lacks
  std::vector<ParamUiUpdate> uiUpdates;
  std::map<std::string, int32_t> calls;  // calls per callback name (see FaultRule)
  int32_t paramCheckouts = 0;            // successful checkout_param calls
  int32_t paramCheckins = 0;             // checkin_param calls of a checked-out parameter
  int32_t strayCheckins = 0;             // checkin_param calls of anything else
  int32_t worldsCreated = 0;             // PF_NewWorld
  int32_t worldsDisposed = 0;            // PF_DisposeWorld

  // Calls of `name` during the command (0 when none).
  int32_t Calls(const std::string& name) const;
  // True when every suite acquired was released exactly once, nothing else was released,
  // every parameter checked out was checked in, and every world made was disposed of.
  bool Balanced() const;
  // The use of the suite `name`, or null when it was not requested.
  const SuiteUse* Suite(const std::string& name) const;
};

// ------------------------------------------------------------------ parameters

// A parameter as the effect declared it. The popup list pointer in `def` points into
// `popupNames`, the host's own copy.
struct ParamDecl {
  PF_ParamDef def{};
  std::string popupNames;
  PF_ParamIndex group = 0;  // index of the enclosing group start (a group end: the start it
                            // closes); 0 at the top level
};

// A parameter value: a popup's 1-based choice or a slider's value in `x`; a point's
// position in layer pixels in `x`, `y`.
struct ParamValue {
  double x = 0;
  double y = 0;
};

// ------------------------------------------------------------------ rendering

struct RenderRequest {
  RenderRequest(const Image* layerImage = nullptr, A_long frameTime = 0)
      : layer(layerImage), time(frameTime) {}

  const Image* layer = nullptr;  // the input layer; its origin is ignored (layers start at 0, 0)
  A_long time = 0;               // in the instance's time units
  // The area the host asks for, in layer pixels; by default everything the effect makes.
  PF_LRect requestRect{-(1 << 30), -(1 << 30), 1 << 30, 1 << 30};
  CallOptions options;
  int32_t rowPadding = 3;  // extra pixels at the end of every world row (rowbytes > width)
  uint8_t outputFill = 0;  // byte the output world's pixels hold before the render
};

// One layer checkout of pre-render, as the effect asked for it and the host answered.
struct LayerCheckout {
  A_long id = 0;
  PF_ParamIndex index = 0;
  PF_RenderRequest request{};
  PF_CheckoutResult result{};
  A_long time = 0, timeStep = 0;
  A_u_long timeScale = 0;
};

// One call of an iterate suite, as the effect made it.
struct IterateCall {
  std::string call;  // "iterate8", "iterate16" or "iterate_float"
  A_long progressBase = 0, progressFinal = 0;
  bool withSource = false;  // a source world was passed
  bool withArea = false;    // an area was passed (then `area`)
  PF_Rect area{};
  void* refcon = nullptr;
  bool intoOutput = false;  // the destination is the world checkout_output handed out
};

// One call of a host sampler (CallOptions::recordSamples).
struct SampleCall {
  std::string call;  // "subpixel_sample16", ...
  PF_ProgPtr effectRef = nullptr;
  PF_Fixed x = 0, y = 0;
  PF_SampPB params{};  // the block as passed
};

struct RenderResult {
  PF_Err err = 0;  // pre-render's result, else smart render's
  CommandRecord preRender;
  CommandRecord render;                  // `sent` false when pre-render failed
  PF_PreRenderOutput preRenderOutput{};  // as the effect left it
  std::vector<LayerCheckout> checkouts;
  int32_t disposals = 0;  // calls of delete_pre_render_data_func for this frame
  bool outputCheckedOut = false;
  Image output;                     // the output world's pixels, origin = its layer position
  bool outputPaddingIntact = true;  // nothing written outside the output world's pixels
  bool inputIntact = true;          // the input world's pixels unchanged
  int32_t iterateCalls = 0;         // calls of the iterate suites
  int32_t rowsIterated = 0;         // rows whose every pixel the iterate suites handed over
  int32_t callbackCalls = 0;        // pixel-function calls made by the iterate suites
  std::vector<IterateCall> iterations;
  std::vector<SampleCall> samples;  // in no particular order across threads
  PF_ProgPtr effectRef = nullptr;   // in_data->effect_ref of the frame's commands
};

// ------------------------------------------------------------------ the host

struct HostOptions {
  int32_t iterateThreads = 0;  // threads of the iterate suites; 0: one per hardware thread
};

// Counters over the host's whole life; safe to read while renders run.
struct HostTotals {
  std::atomic<int64_t> framesRendered{0};
  std::atomic<int64_t> preRenderDataHanded{0};    // pre-renders that left a disposal function
  std::atomic<int64_t> preRenderDataDisposed{0};  // calls of that function
  std::atomic<int64_t> suitesAcquired{0};
  std::atomic<int64_t> suitesReleased{0};
};

class EffectHost {
 public:
  // Loads the module at `path`, reads and decodes its property list, and finds the entry
  // point the list names. Returns null with the reason in `error` on any failure. The
  // module stays loaded until the process ends, also after the host is destroyed.
  static std::unique_ptr<EffectHost> Load(const std::string& path, std::string& error,
                                          const HostOptions& options = {});
  ~EffectHost();
  EffectHost(const EffectHost&) = delete;
  EffectHost& operator=(const EffectHost&) = delete;

  const PiplInfo& Pipl() const { return pipl_; }
  const std::vector<uint8_t>& PiplBytes() const { return piplBytes_; }
  PF_FilterProc EntryPoint() const { return entry_; }
  int32_t IterateThreads() const;

  // PF_Cmd_ABOUT; the text is in the record's outData.return_msg.
  CommandRecord About(const CallOptions& options = {});
  // PF_Cmd_GLOBAL_SETUP; the record's outData holds my_version, out_flags and out_flags2.
  // `startOutFlags` is what the host puts in out_flags before the call.
  CommandRecord GlobalSetup(const CallOptions& options = {}, PF_OutFlags startOutFlags = 0);
  // PF_Cmd_PARAMS_SETUP; records every parameter added (replacing earlier declarations).
  CommandRecord ParamsSetup(const CallOptions& options = {});
  // Sends any command with a fresh in_data, `startOut` as out_data, the default parameter
  // values at time 0 and `extra` as given: for commands a host sends that have no
  // dedicated call here.
  CommandRecord SendCommand(PF_Cmd cmd, const PF_OutData& startOut, void* extra,
                            const CallOptions& options = {});

  // Declared parameters: index 0 is the input layer, 1.. as added.
  const std::vector<ParamDecl>& Params() const { return params_; }
  // Index of the first parameter named `name`, or -1.
  PF_ParamIndex FindParam(const std::string& name) const;
  // out_data->num_params as the effect left it at parameter set-up (0 before).
  A_long DeclaredParamCount() const { return declaredCount_; }

  HostTotals& Totals() { return totals_; }

 private:
  friend class EffectInstance;
  friend struct CallScope;
  EffectHost() = default;
  CommandRecord Run(PF_Cmd cmd, CallScope& scope, PF_ParamDef** params, void* extra);
  // The pool of `threads` workers (the host's own for 0), started at the first call.
  RowPool& PoolWith(int32_t threads);

  ModuleHandle module_;
  PiplInfo pipl_;
  std::vector<uint8_t> piplBytes_;
  PF_FilterProc entry_ = nullptr;
  std::unique_ptr<RowPool> pool_;
  std::mutex otherPoolsLock_;
  std::vector<std::unique_ptr<RowPool>> otherPools_;  // of other sizes, asked for by calls
  std::unique_ptr<WorldMemory> worldMemory_;          // the layer and output worlds' pixels
  std::vector<ParamDecl> params_;
  A_long declaredCount_ = 0;
  HostTotals totals_;
};

// One application of the effect to a layer: the parameter values (with keyframes) and
// the controls' interface state. Starts with the declared defaults.
class EffectInstance {
 public:
  explicit EffectInstance(EffectHost& host);

  EffectHost& Host() const { return *host_; }
  PF_ParamIndex FindParam(const std::string& name) const { return host_->FindParam(name); }

  // Layer size used for point defaults (given in percent of the layer) and in_data's size
  // outside renders; a render uses its layer's size instead. Default 1920 x 1080.
  void SetLayerSize(A_long width, A_long height);
  // Time base: times are in units of 1 / timeScale seconds, one frame lasting timeStep.
  // Default 1 / 24 (frame n at time n).
  void SetTimeBase(A_long timeStep, A_u_long timeScale);
  A_long TimeStep() const { return timeStep_; }
  A_u_long TimeScale() const { return timeScale_; }

  // Sets a constant value, dropping keyframes. Sliders are clamped to their valid range;
  // popups outside 1..choices, non-finite numbers and parameters without a value
  // (layer, groups) are refused with the reason in `error`.
  bool SetValue(PF_ParamIndex index, ParamValue value, std::string* error = nullptr);
  // Adds (or replaces) a keyframe at `time` (in the time units current when it is added).
  // Values between keyframes are interpolated
  // linearly in time and held before the first and after the last. Refused for parameters
  // that cannot vary in time, and as SetValue refuses.
  bool SetKeyframe(PF_ParamIndex index, A_long time, ParamValue value,
                   std::string* error = nullptr);
  // The value at `time`; points that were never set resolve their percent default
  // against the layer size.
  ParamValue ValueAt(PF_ParamIndex index, A_long time) const;
  ParamValue ValueAt(PF_ParamIndex index, A_long time, A_long layerWidth, A_long layerHeight) const;
  size_t KeyframeCount(PF_ParamIndex index) const;
  // What PF_GetFloatingPointValueFromPointDef hands the effect for the point `index`
  // checked out at `time` on a layer of that size: the value as ValueAt resolves it, the
  // doubles the user gave, never their 16.16 form. Tools that compute what a render does
  // read points here.
  A_FloatPoint FloatingPointValue(PF_ParamIndex index, A_long time, A_long layerWidth,
                                  A_long layerHeight) const;

  // The controls' interface state (what PF_UpdateParamUI changed, or the user did).
  const PF_ParamDef& Control(PF_ParamIndex index) const { return ui_.at(size_t(index)); }
  // The user twirls a group open or closed by hand.
  void SetGroupCollapsed(PF_ParamIndex index, bool collapsed);

  // Fills `def` as checkout_param hands it out at `time`: the declaration, the interface
  // state and the value. Points get their value in 16.16 layer pixels, rounded to nearest;
  // the host keeps the doubles behind them (FloatingPointValue).
  void FillParamDef(PF_ParamIndex index, A_long time, A_long layerWidth, A_long layerHeight,
                    PF_ParamDef& def) const;

  // The user changes a parameter: sets the value, and when the parameter is supervised
  // sends PF_Cmd_USER_CHANGED_PARAM (else the record's `sent` is false).
  CommandRecord ChangeParam(PF_ParamIndex index, ParamValue value, const CallOptions& options = {});
  // Sends PF_Cmd_USER_CHANGED_PARAM for `index` whether or not it is supervised, and
  // applies what PF_UpdateParamUI asks for to the interface state.
  CommandRecord UserChangedParam(PF_ParamIndex index, const CallOptions& options = {});

  // Renders one frame as the host does: smart pre-render, smart render, disposal of the
  // pre-render data. Safe to call from several threads at once. The second form replaces
  // `result` and reuses its output image's storage: callers rendering frame after frame
  // spare the system a fresh buffer each time.
  RenderResult Render(const RenderRequest& request) const;
  void Render(const RenderRequest& request, RenderResult& result) const;

 private:
  friend struct CallScope;
  struct Key {
    double time;  // in the instance's time units
    ParamValue value;
  };
  struct Slot {
    bool set = false;  // a value was given (else a point resolves its default)
    ParamValue value;
    std::vector<Key> keys;  // sorted by time
  };
  bool CheckValue(PF_ParamIndex index, ParamValue& value, std::string* error) const;
  ParamValue ValueAtUnits(PF_ParamIndex index, double time, A_long layerWidth,
                          A_long layerHeight) const;
  void FillParamDefAtUnits(PF_ParamIndex index, double time, A_long layerWidth, A_long layerHeight,
                           PF_ParamDef& def) const;

  EffectHost* host_;
  std::vector<Slot> slots_;
  std::vector<PF_ParamDef> ui_;
  A_long layerWidth_ = 1920, layerHeight_ = 1080;
  A_long timeStep_ = 1;
  A_u_long timeScale_ = 24;
};

}  // namespace harness
