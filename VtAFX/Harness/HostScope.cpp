#include "HostScope.h"

#include <cstring>

#include "AE_EffectVers.h"
#include "RowPool.h"

namespace harness {
namespace {

const char* const kCallNames[kCallCount] = {
    "checkout_param",
    "checkin_param",
    "add_param",
    "abort",
    "progress",
    "sprintf",
    "strcpy",
    "sin",
    "get_pixel_data8",
    "get_pixel_data16",
    "get_pixel_data_float",
    "checkout_layer",
    "GuidMixInPtr",
    "checkout_layer_pixels",
    "checkin_layer_pixels",
    "checkout_output",
    "PF_UpdateParamUI",
    "PF_GetFloatingPointValueFromPointDef",
    "PF_NewWorld",
    "PF_DisposeWorld",
    "PF_GetPixelFormat",
    "PF_GetConstSequenceData",
    "iterate8",
    "iterate16",
    "iterate_float",
    "nn_sample",
    "subpixel_sample",
    "area_sample",
    "nn_sample16",
    "subpixel_sample16",
    "area_sample16",
    "nn_sample_float",
    "subpixel_sample_float",
    "area_sample_float",
};

thread_local CallScope* tCurrent = nullptr;

// The calling thread's own shard of every scope's counters, or -1 when none is left: the
// first kCallShards threads of the process to count own one each, and count in it without
// a locked instruction (which here costs as much as a bilinear sample).
std::atomic<int32_t> shardsTaken{0};
int32_t ThreadShard() {
  thread_local const int32_t shard = [] {
    int32_t taken = shardsTaken.load(std::memory_order_relaxed);
    while (taken < CallScope::kCallShards &&
           !shardsTaken.compare_exchange_weak(taken, taken + 1, std::memory_order_relaxed)) {
    }
    return taken < CallScope::kCallShards ? taken : -1;
  }();
  return shard;
}

int32_t FindTarget(const std::string& name) {
  for (int32_t i = 0; i < kCallCount; ++i) {
    if (name == kCallNames[i]) return i;
  }
  const std::string acquire = "AcquireSuite:", release = "ReleaseSuite:";
  for (int32_t s = 0; s < kSuiteCount; ++s) {
    if (name == acquire + SuiteAt(s).name) return kCallCount + 2 * s;
    if (name == release + SuiteAt(s).name) return kCallCount + 2 * s + 1;
  }
  return -1;
}

}  // namespace

const char* CallName(int32_t call) {
  return call >= 0 && call < kCallCount ? kCallNames[call] : "";
}

CallScope::CallScope(EffectHost& h, const CallOptions& o) : host(h), options(o) {
  for (const FaultRule& f : options.faults) {
    const int32_t target = FindTarget(f.call);
    if (target < 0) throw std::invalid_argument("no host call named \"" + f.call + "\"");
    if (f.occurrence < 0) throw std::invalid_argument("negative occurrence for " + f.call);
    rules.push_back({target, f.occurrence, f.error});
    ruled[target] = true;
  }
  for (std::atomic<int32_t>& c : calls) c.store(0);
  for (CallShard& shard : shards) {
    for (std::atomic<int32_t>& c : shard.calls) c.store(0);
  }
  worldMemory = h.worldMemory_.get();
  pool = &h.PoolWith(options.iterateThreads);
}

CallScope::~CallScope() = default;

std::vector<ParamDecl>& CallScope::DeclaredParams() { return host.params_; }

ParamValue CallScope::FillCheckout(PF_ParamIndex index, A_long what_time, A_u_long time_scale,
                                   PF_ParamDef& def) const {
  // Into the instance's time units: exact (integers) when both use the same scale, so a
  // key at the asked time is met exactly.
  const double units = double(what_time) * double(instance->TimeScale()) / double(time_scale);
  instance->FillParamDefAtUnits(index, units, layerWidth, layerHeight, def);
  return instance->ValueAtUnits(index, units, layerWidth, layerHeight);
}

PF_ParamDef& CallScope::ControlOf(PF_ParamIndex index) {
  return changingInstance->ui_[size_t(index)];
}

PF_Err CallScope::Count(int32_t call) {
  if (!ruled[call]) {
    const int32_t shard = ThreadShard();
    if (shard < 0) {
      calls[call].fetch_add(1, std::memory_order_relaxed);
    } else {
      // No other thread writes this shard; the scope reads it once the threads are done.
      std::atomic<int32_t>& count = shards[shard].calls[call];
      count.store(count.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
    }
    return PF_Err_NONE;
  }
  const int32_t n = calls[call].fetch_add(1, std::memory_order_relaxed) + 1;
  for (const Rule& r : rules) {
    if (r.target == call && (r.occurrence == 0 || r.occurrence == n)) return r.error;
  }
  return PF_Err_NONE;
}

World* CallScope::FindWorld(const PF_EffectWorld* world) {
  if (world == nullptr) return nullptr;
  for (const std::unique_ptr<World>& w : worlds) {
    if (&w->world == world) return w.get();
  }
  // Worlds made with PF_NewWorld live in the effect's own records: known by their pixels.
  for (const std::unique_ptr<World>& w : worlds) {
    if (w->world.data == world->data) return w.get();
  }
  return nullptr;
}

bool CallScope::AbortRequested() {
  if (options.abort != nullptr && options.abort->load(std::memory_order_relaxed)) return true;
  return options.abortAfterRows >= 0 &&
         rowsIterated.load(std::memory_order_relaxed) >= options.abortAfterRows;
}

void CallScope::LogSuite(const char* what, int32_t suite) {
  std::lock_guard<std::mutex> hold(logLock);
  suiteLog.push_back(std::string(what) + " " + SuiteAt(suite).name);
}

CallScope::Snapshot CallScope::Take() {
  Snapshot s{};
  for (int32_t i = 0; i < kCallTargets; ++i) {
    s.calls[i] = calls[i].load();
    for (const CallShard& shard : shards) s.calls[i] += shard.calls[i].load();
  }
  for (int32_t i = 0; i < kSuiteCount; ++i) {
    s.suite[i][0] = suites[i].acquired.load();
    s.suite[i][1] = suites[i].refused.load();
    s.suite[i][2] = suites[i].released.load();
    s.suite[i][3] = suites[i].releaseFailed.load();
    s.suite[i][4] = suites[i].stray.load();
  }
  s.unknown = unknownSuiteRequests.load();
  s.checkouts = paramCheckouts.load();
  s.checkins = paramCheckins.load();
  s.strayCheckins = strayCheckins.load();
  s.created = worldsCreated.load();
  s.disposed = worldsDisposed.load();
  s.uiUpdates = uiUpdates.size();
  std::lock_guard<std::mutex> hold(logLock);
  s.suiteLog = suiteLog.size();
  return s;
}

void CallScope::Account(const Snapshot& start, CommandRecord& record) {
  const Snapshot now = Take();
  for (int32_t i = 0; i < kCallCount; ++i) {
    if (now.calls[i] != start.calls[i]) record.calls[kCallNames[i]] = now.calls[i] - start.calls[i];
  }
  for (int32_t i = 0; i < kSuiteCount; ++i) {
    const int32_t requests = now.calls[kCallCount + 2 * i] - start.calls[kCallCount + 2 * i];
    const int32_t releases =
        now.calls[kCallCount + 2 * i + 1] - start.calls[kCallCount + 2 * i + 1];
    if (requests == 0 && releases == 0) continue;
    SuiteUse use;
    use.name = SuiteAt(i).name;
    use.version = SuiteAt(i).version;
    use.acquired = now.suite[i][0] - start.suite[i][0];
    use.refused = now.suite[i][1] - start.suite[i][1];
    use.released = now.suite[i][2] - start.suite[i][2];
    use.releaseFailed = now.suite[i][3] - start.suite[i][3];
    use.stray = now.suite[i][4] - start.suite[i][4];
    record.suites.push_back(use);
  }
  record.unknownSuiteRequests = now.unknown - start.unknown;
  record.paramCheckouts = now.checkouts - start.checkouts;
  record.paramCheckins = now.checkins - start.checkins;
  record.strayCheckins = now.strayCheckins - start.strayCheckins;
  record.worldsCreated = now.created - start.created;
  record.worldsDisposed = now.disposed - start.disposed;
  record.uiUpdates.assign(uiUpdates.begin() + std::ptrdiff_t(start.uiUpdates), uiUpdates.end());
  std::lock_guard<std::mutex> hold(logLock);
  record.suiteLog.assign(suiteLog.begin() + std::ptrdiff_t(start.suiteLog), suiteLog.end());
}

CallScope* CurrentScope() { return tCurrent; }

ScopeBinding::ScopeBinding(CallScope* scope) : previous_(tCurrent) { tCurrent = scope; }
ScopeBinding::~ScopeBinding() { tCurrent = previous_; }

void FillInData(CallScope& scope, A_long time, A_long timeStep, A_u_long timeScale) {
  PF_InData& in = scope.inData;
  std::memset(&in, 0, sizeof in);
  in.inter = InteractCallbacks();
  in.utils = UtilCallbacks();
  in.effect_ref = reinterpret_cast<PF_ProgPtr>(&scope);
  in.quality = PF_Quality_HI;
  in.version.major = PF_AE_PLUG_IN_VERSION;
  in.version.minor = PF_AE_PLUG_IN_SUBVERS;
  in.serial_num = 1;
  in.appl_id = 0x46585443;  // 'FXTC', the host application's code
  in.num_params = A_long(scope.host.Params().size());
  in.current_time = time;
  in.time_step = timeStep;
  in.total_time = time + timeStep;
  in.local_time_step = timeStep;
  in.time_scale = timeScale;
  in.field = PF_Field_FRAME;
  in.shutter_angle = 180 << 16;
  in.width = scope.layerWidth;
  in.height = scope.layerHeight;
  in.extent_hint = PF_Rect{0, 0, scope.layerWidth, scope.layerHeight};
  in.downsample_x = PF_RationalScale{1, 1};
  in.downsample_y = PF_RationalScale{1, 1};
  in.pixel_aspect_ratio = PF_RationalScale{1, 1};
  in.pica_basicP = scope.options.noBasicSuite ? nullptr : const_cast<SPBasicSuite*>(BasicSuite());
}

}  // namespace harness
