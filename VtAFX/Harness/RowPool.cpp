#include "RowPool.h"

#include <algorithm>
#include <atomic>
#include <cstdint>

namespace harness {
namespace {

thread_local bool tOnWorker = false;

// Items are handed out in bands of neighbouring ones, each band the items left divided by
// this many per worker: large bands first, single items at the end. Neighbouring rows read
// the same source lines, so a worker that takes a band finds them in its own cache, where
// workers taking alternate rows would each fetch every line (the resampling of a frame
// scales 1.5x on two threads that way, 2x in bands). The shrinking bands bring the workers
// to the end together when rows differ in cost, as rows far from a lens's centre do: bands
// of one size leave a worker idle while the other finishes its last band.
constexpr int32_t kSharesPerWorker = 2;

}  // namespace

struct RowPool::Job {
  const std::function<bool(int32_t)>* item = nullptr;
  int32_t count = 0;
  int32_t shares = 1;                         // a band is the items left divided by this
  std::atomic<int32_t> next{0};               // first item of the next band
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
  job.shares = Threads() * kSharesPerWorker;
  std::unique_lock<std::mutex> lock(mutex_);
  jobs_.push_back(&job);
  wake_.notify_all();
  finished_.wait(lock, [&] { return !job.queued && job.active == 0; });
}

// Bands are handed out in increasing order, so a band taken after an item stopped the job
// lies wholly above it, and in a band taken before, only the items below it still run.
void RowPool::RunBands(Job& job) {
  for (;;) {
    int32_t first = job.next.load(std::memory_order_relaxed);
    int32_t end = 0;
    do {
      if (first >= job.count || first > job.stoppedAt.load(std::memory_order_relaxed)) return;
      end = first + std::max<int32_t>(1, (job.count - first) / job.shares);
    } while (!job.next.compare_exchange_weak(first, end, std::memory_order_relaxed));
    for (int32_t i = first; i < end; ++i) {
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
