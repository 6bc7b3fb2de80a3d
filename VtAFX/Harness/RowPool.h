// The host's render threads: a fixed set of worker threads that share out the items of a
// job (the rows of an iteration). Several jobs may run at once, from different threads;
// each is spread over every worker that is free.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <list>
#include <mutex>
#include <thread>
#include <vector>

namespace harness {

class RowPool {
 public:
  // Starts `threads` workers; 0 means one per hardware thread (at least one).
  explicit RowPool(int32_t threads);
  // Waits for running jobs to end, then stops the workers.
  ~RowPool();
  RowPool(const RowPool&) = delete;
  RowPool& operator=(const RowPool&) = delete;

  int32_t Threads() const { return int32_t(workers_.size()); }

  // Calls `item`(i) for the items i = 0 .. count-1, on the workers, concurrently, handing
  // them out in bands of neighbouring items in increasing order; returns when every call
  // has returned. When a call returns false no item above it starts (the ones already
  // running finish), and every item below it runs. Must not be called from an item.
  void Run(int32_t count, const std::function<bool(int32_t)>& item);

 private:
  struct Job;
  static void RunBands(Job& job);
  void Work();

  std::mutex mutex_;
  std::condition_variable wake_;      // workers: a job arrived, or shut down
  std::condition_variable finished_;  // callers: a job has ended
  std::list<Job*> jobs_;              // jobs with items left to hand out
  bool stopping_ = false;
  std::vector<std::thread> workers_;
};

// Calls `row`(y) for y = 0 .. rows-1: shared out on `pool` when there is one and the caller
// is not a worker of any pool (where Run may not be called), else on this thread in order.
// For the host's own per-row work on its worlds (filling, copying, comparing).
void ShareRows(RowPool* pool, int32_t rows, const std::function<void(int32_t)>& row);

}  // namespace harness
