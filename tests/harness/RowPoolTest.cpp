#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "RowPool.h"

using harness::RowPool;

// Every item runs exactly once; a job whose item 37 stops has run every earlier item and a
// lone worker starts none after it (others may have taken some while 37 ran).
TEST(RowPool, RunsEveryItemOnceAndStopsAfterAFailure) {
  for (int32_t threads : {1, 3, 16}) {
    RowPool pool(threads);
    EXPECT_EQ(pool.Threads(), threads);
    for (int32_t count : {0, 1, 7, 1000}) {
      for (bool stop : {false, true}) {
        std::vector<std::atomic<int32_t>> runs(size_t(count) + 1);
        pool.Run(count, [&](int32_t i) { return runs[size_t(i)].fetch_add(1), !stop || i != 37; });
        for (int32_t i = 0; i < count; ++i) {
          const int32_t n = runs[size_t(i)].load();
          EXPECT_TRUE(!stop || i <= 37 ? n == 1
                      : threads == 1   ? n == 0
                                       : n <= 1)
              << threads << " threads, item " << i << " ran " << n;
        }
      }
    }
  }
}

TEST(RowPool, ServesJobsFromSeveralThreadsAtOnce) {
  RowPool pool(3);
  std::atomic<int64_t> total{0};
  std::vector<std::thread> callers;
  for (int c = 0; c < 6; ++c) {
    callers.emplace_back([&, c] {
      for (int round = 0; round < 20; ++round) {
        pool.Run(50 + c, [&](int32_t i) { return total.fetch_add(i + 1), true; });
      }
    });
  }
  for (std::thread& t : callers) t.join();
  int64_t expected = 0;
  for (int c = 0; c < 6; ++c) expected += 20 * int64_t(50 + c) * (51 + c) / 2;
  EXPECT_EQ(total.load(), expected);
}
