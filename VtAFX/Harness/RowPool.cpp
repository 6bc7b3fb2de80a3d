#include "RowPool.h"

#include <algorithm>
#include <atomic>

namespace harness {
namespace {

thread_local bool tOnWorker = false;

}  // namespace

struct RowPool::Job {
  const std::function<bool(int32_t)>* item = nullptr;
  int32_t count = 0;
  std::atomic<int32_t> next{0};
  std::atomic<bool> stop{false};
  int32_t active = 0;  // workers inside the job; guarded by the pool's mutex
  bool queued = true;  // still in jobs_; guarded by the pool's mutex
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
  std::unique_lock<std::mutex> lock(mutex_);
  jobs_.push_back(&job);
  wake_.notify_all();
  finished_.wait(lock, [&] { return !job.queued && job.active == 0; });
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
    for (;;) {
      if (job->stop.load(std::memory_order_relaxed)) break;
      const int32_t i = job->next.fetch_add(1, std::memory_order_relaxed);
      if (i >= job->count) break;
      if (!(*job->item)(i)) job->stop.store(true, std::memory_order_relaxed);
    }
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
