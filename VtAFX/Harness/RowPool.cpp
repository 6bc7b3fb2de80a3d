#include "RowPool.h"

#include <algorithm>
#include <atomic>
#include <climits>

namespace harness {
namespace {

thread_local bool tOnWorker = false;

// Items are handed out in bands of neighbouring ones, about this many bands per worker.
// Neighbouring rows read the same source lines, so a worker that takes a band finds them in
// its own cache, where workers taking alternate rows would each fetch every line (the
// resampling of a frame scales 1.5x on two threads that way, 2x in bands). Several bands per
// worker keep the load even when rows differ in cost, as rows outside the source do.
constexpr int32_t kBandsPerWorker = 8;

}  // namespace

struct RowPool::Job {
  const std::function<bool(int32_t)>* item = nullptr;
  int32_t count = 0;
  int32_t band = 1;
  std::atomic<int64_t> next{0};  // first item of the next band (wide: bands overshoot the count)
  std::atomic<int32_t> stoppedAt{INT32_MAX};  // lowest item that returned false
  int32_t active = 0;                         // workers inside the job; guarded by the pool's mutex
  bool queued = true;                         // still in jobs_; guarded by the pool's mutex
};

RowPool::RowPool(int32_t threads) {
  if (threads <= 0) threads = int32_t(std::max(1u, std::thread::hardware_concurrency()));
  workers_.reserve(size_t(threads));
  for (int32_t i = 0; i < threads; ++i) workers_.emplace_back([this] { Work(); });
}

RowPool::~RowPool() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  for (std::thread& t : workers_) t.join();
}

void RowPool::Run(int32_t count, const std::function<bool(int32_t)>& item) {
  if (count <= 0) return;
  Job job;
  job.item = &item;
  job.count = count;
  job.band = std::max<int32_t>(1, count / (Threads() * kBandsPerWorker));
  std::unique_lock<std::mutex> lock(mutex_);
  jobs_.push_back(&job);
  wake_.notify_all();
  finished_.wait(lock, [&] { return !job.queued && job.active == 0; });
}

// Bands are handed out in increasing order, so a band taken after an item stopped the job
// lies wholly above it, and in a band taken before, only the items below it still run.
void RowPool::RunBands(Job& job) {
  for (;;) {
    const int64_t first = job.next.fetch_add(job.band, std::memory_order_relaxed);
    if (first >= job.count || first > job.stoppedAt.load(std::memory_order_relaxed)) return;
    const int32_t end = int32_t(std::min<int64_t>(job.count, first + job.band));
    for (int32_t i = int32_t(first); i < end; ++i) {
      int32_t stoppedAt = job.stoppedAt.load(std::memory_order_relaxed);
      if (i > stoppedAt) return;
      if (!(*job.item)(i)) {
        while (i < stoppedAt && !job.stoppedAt.compare_exchange_weak(stoppedAt, i)) {
        }
        return;
      }
    }
  }
}

void RowPool::Work() {
  tOnWorker = true;
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    wake_.wait(lock, [&] { return stopping_ || !jobs_.empty(); });
    if (jobs_.empty()) return;  // stopping, and nothing left to do
    Job* job = jobs_.front();
    // Rotate so that concurrent jobs share the workers instead of queueing behind each other.
    jobs_.pop_front();
    jobs_.push_back(job);
    ++job->active;
    lock.unlock();
    RunBands(*job);
    lock.lock();
    if (job->queued) {
      job->queued = false;
      jobs_.remove(job);
    }
    if (--job->active == 0) finished_.notify_all();
  }
}

void ShareRows(RowPool* pool, int32_t rows, const std::function<void(int32_t)>& row) {
  if (pool == nullptr || tOnWorker) {
    for (int32_t y = 0; y < rows; ++y) row(y);
    return;
  }
  pool->Run(rows, [&row](int32_t y) {
    row(y);
    return true;
  });
}

}  // namespace harness
