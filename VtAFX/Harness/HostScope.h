// Inside the harness: the state of one command (or one frame: pre-render and render) while
// the effect runs it, how callbacks without a context argument find it, the names of the
// host calls that can fail on request, and the accounting of what the effect took.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "AE_Effect.h"
#include "AE_EffectCB.h"
#include "Harness.h"
#include "SPBasic.h"
#include "WorldMemory.h"

namespace harness {

// Every host call that counts and can be made to fail.
enum CallId : int32_t {
  kCallCheckoutParam,
  kCallCheckinParam,
  kCallAddParam,
  kCallAbort,
  kCallProgress,
  kCallSprintf,
  kCallStrcpy,
  kCallSin,
  kCallGetPixelData8,
  kCallGetPixelData16,
  kCallGetPixelDataFloat,
  kCallCheckoutLayer,
  kCallGuidMixIn,
  kCallCheckoutLayerPixels,
  kCallCheckinLayerPixels,
  kCallCheckoutOutput,
  kCallUpdateParamUI,
  kCallGetFloatingPointValue,
  kCallNewWorld,
  kCallDisposeWorld,
  kCallGetPixelFormat,
  kCallGetConstSequenceData,
  kCallIterate8,
  kCallIterate16,
  kCallIterateFloat,
  kCallNnSample8,
  kCallSubpixelSample8,
  kCallAreaSample8,
  kCallNnSample16,
  kCallSubpixelSample16,
  kCallAreaSample16,
  kCallNnSampleFloat,
  kCallSubpixelSampleFloat,
  kCallAreaSampleFloat,
  kCallCount
};

// The name FaultRule and CommandRecord::calls use for a call.
const char* CallName(int32_t call);

// The suites this host serves, by exact name and version.
enum SuiteId : int32_t {
  kSuiteAnsi,
  kSuiteParamUtils,
  kSuitePointParam,
  kSuiteWorld,
  kSuitePixelData,
  kSuiteSequenceData,
  kSuiteIterate8,
  kSuiteIterate16,
  kSuiteIterateFloat,
  kSuiteSampling8,
  kSuiteSampling16,
  kSuiteSamplingFloat,
  kSuiteCount
};

// What a fault rule can target and the scope counts: the calls, then each suite's
// acquisition and release.
constexpr int32_t kCallTargets = kCallCount + 2 * kSuiteCount;

struct SuiteEntry {
  const char* name;
  int32_t version;
  const void* table;
};

// The suite served under `id`.
const SuiteEntry& SuiteAt(int32_t id);

// The basic suite every command's in_data points to, and the utility callbacks.
const SPBasicSuite* BasicSuite();
_PF_UtilCallbacks* UtilCallbacks();
// The interaction callbacks placed in every in_data.
PF_InteractCallbacks InteractCallbacks();

// A world the host made: the record the effect sees, and the pixels behind it, which go
// back to `memory` (when set) with the world.
struct World {
  World() = default;
  World(const World&) = delete;
  World& operator=(const World&) = delete;
  ~World() {
    if (memory != nullptr) memory->Give(std::move(bytes), size);
  }

  PF_EffectWorld world{};
  Depth depth = Depth::k8;
  std::unique_ptr<uint8_t[]> bytes;  // (height - 1) * rowbytes + width * pixel bytes
  size_t size = 0;
  WorldMemory* memory = nullptr;
};

// Makes a world of `width` x `height` pixels (negative sizes count as 0) whose rows are
// `padding` pixels longer than the width, the padding bytes holding `paddingByte` and the
// pixels `fill`, its buffer from `memory` when given. The buffer ends with the last pixel,
// so reading past it is caught by the address sanitizer. Here and in the copies below,
// `pool` (when given) shares the rows out: else a large frame's copies are the
// single-threaded part of its render.
std::unique_ptr<World> MakeWorld(int32_t width, int32_t height, Depth depth, int32_t padding,
                                 uint8_t fill, uint8_t paddingByte, WorldMemory* memory = nullptr,
                                 RowPool* pool = nullptr);

// Makes a world as MakeWorld does, of the image's depth, its origin at (`originX`, `originY`)
// in the image's pixels, holding the image's pixels where the image covers it and `fill`
// elsewhere.
std::unique_ptr<World> MakeWorldOver(const Image& image, int32_t originX, int32_t originY,
                                     int32_t width, int32_t height, int32_t padding, uint8_t fill,
                                     uint8_t paddingByte, WorldMemory* memory = nullptr,
                                     RowPool* pool = nullptr);
// The world's pixels as an image at the world's origin; the second form writes them into
// `image`, whose storage is reused when it is large enough.
Image WorldToImage(const World& world);
void CopyWorldToImage(const World& world, Image& image, RowPool* pool = nullptr);
// True when every padding byte of the world's rows still holds `paddingByte`.
bool PaddingIntact(const World& world, uint8_t paddingByte);

struct CheckedOutParam {
  const PF_ParamDef* def;
  ParamValue value;
};

// The live state of one command or one frame. Callbacks find it through the effect_ref
// (which is the scope's address) or, for calls without one, through CurrentScope().
struct CallScope {
  CallScope(EffectHost& host, const CallOptions& options);
  ~CallScope();

  EffectHost& host;
  const CallOptions& options;
  PF_Cmd cmd = -1;                             // the command being run
  const EffectInstance* instance = nullptr;    // parameter values, when there is one
  EffectInstance* changingInstance = nullptr;  // receives PF_UpdateParamUI
  A_long layerWidth = 0, layerHeight = 0;
  RowPool* pool = nullptr;
  WorldMemory* worldMemory = nullptr;  // the host's, for the layer and output worlds

  PF_InData inData{};
  PF_OutData outData{};

  // Faults, compiled from the options.
  struct Rule {
    int32_t target;  // below kCallTargets
    int32_t occurrence;
    PF_Err error;
  };
  std::vector<Rule> rules;

  // Calls per target. A target that a rule names is counted in `calls`, one sequence in
  // which its n-th occurrence is exact; every other one in the calling thread's own shard
  // (in `calls` when it has none): the host's samplers are called once per pixel from
  // every render thread, and one counter shared by all of them would cost more than the
  // sampling.
  bool ruled[kCallTargets] = {};
  std::atomic<int32_t> calls[kCallTargets];
  // Padded, not aligned, apart: scopes live on the stack, which the Windows compiler does
  // not align beyond 16 bytes.
  struct CallShard {
    std::atomic<int32_t> calls[kCallTargets];
    char apart[64];
  };
  static constexpr int32_t kCallShards = 32;
  CallShard shards[kCallShards];
  // Suite accounting.
  struct SuiteCounters {
    std::atomic<int32_t> acquired{0}, refused{0}, released{0}, releaseFailed{0}, stray{0};
    std::atomic<int32_t> held{0};
  } suites[kSuiteCount];
  std::atomic<int32_t> unknownSuiteRequests{0};
  std::atomic<int32_t> paramCheckouts{0}, paramCheckins{0}, strayCheckins{0};
  std::atomic<int32_t> worldsCreated{0}, worldsDisposed{0};
  std::atomic<int32_t> iterateCalls{0}, rowsIterated{0}, callbackCalls{0};

  // Order of suite calls and the calls to keep whole, written from any thread.
  std::mutex logLock;
  std::vector<std::string> suiteLog;
  std::vector<IterateCall> iterations;
  std::vector<SampleCall> samples;
  void LogSuite(const char* what, int32_t suite);

  std::vector<CheckedOutParam> checkedOut;
  std::vector<ParamUiUpdate> uiUpdates;

  // Worlds handed to the effect during the scope (input, output, PF_NewWorld).
  std::vector<std::unique_ptr<World>> worlds;

  // Render state.
  const Image* layer = nullptr;
  int32_t rowPadding = 0;
  uint8_t outputFill = 0;
  std::vector<LayerCheckout> layerCheckouts;
  std::vector<std::pair<A_long, World*>> layerPixels;  // checkout id -> world handed out
  World* output = nullptr;
  PF_LRect outputRect{};  // the world checkout_output hands out covers this

  // The host's parameter declarations, which add_param extends.
  std::vector<ParamDecl>& DeclaredParams();
  // The control `index` of the instance receiving interface updates (non-null instance).
  PF_ParamDef& ControlOf(PF_ParamIndex index);

  // Fills `def` as checkout_param hands out parameter `index` at `what_time` /
  // `time_scale` seconds, and returns the value it was filled from.
  ParamValue FillCheckout(PF_ParamIndex index, A_long what_time, A_u_long time_scale,
                          PF_ParamDef& def) const;

  // Counts one call of `call` and returns the injected error for it, or 0.
  PF_Err Count(int32_t call);
  // The registered world behind `world`, or null when the host did not hand it out.
  World* FindWorld(const PF_EffectWorld* world);
  // True once the render is to stop: the abort flag of the options is set, or the
  // number of rows the options allow has been iterated.
  bool AbortRequested();

  // Snapshot of the counters for a record; `start` is the snapshot at the command's start.
  struct Snapshot {
    int32_t calls[kCallTargets];
    int32_t suite[kSuiteCount][5];
    int32_t unknown, checkouts, checkins, strayCheckins, created, disposed;
    size_t uiUpdates;
    size_t suiteLog;
  };
  Snapshot Take();
  // Fills the accounting of `record` with what happened since `start`.
  void Account(const Snapshot& start, CommandRecord& record);
};

// The scope of the command running on this thread (null outside commands).
CallScope* CurrentScope();
// The scope an effect_ref stands for.
inline CallScope* ScopeOf(PF_ProgPtr effect_ref) {
  return reinterpret_cast<CallScope*>(effect_ref);
}

// Makes `scope` this thread's current scope for its lifetime, restoring the previous one.
class ScopeBinding {
 public:
  explicit ScopeBinding(CallScope* scope);
  ~ScopeBinding();
  ScopeBinding(const ScopeBinding&) = delete;
  ScopeBinding& operator=(const ScopeBinding&) = delete;

 private:
  CallScope* previous_;
};

// The callbacks of smart pre-render and smart render, and the byte that fills the padding
// at the end of every world row.
PF_PreRenderCallbacks PreRenderCallbacks();
PF_SmartRenderCallbacks SmartRenderCallbacks();
uint8_t PaddingByte();

// Fills `scope.inData` as the host does for a command at `time` on a layer of the scope's
// size.
void FillInData(CallScope& scope, A_long time, A_long timeStep, A_u_long timeScale);

}  // namespace harness
