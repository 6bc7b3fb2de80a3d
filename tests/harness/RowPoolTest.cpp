#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "RowPool.h"

using harness::RowPool;

TEST(RowPool, RunsEveryItemExactlyOnce) {
  for (int32_t threads : {1, 3, 16}) {
    RowPool pool(threads);
    EXPECT_EQ(pool.Threads(), threads);
    for (int32_t count : {0, 1, 7, 1000}) {
      std::vector<std::atomic<int32_t>> runs(size_t(count) + 1);
      pool.Run(count, [&](int32_t i) {
        runs[size_t(i)].fetch_add(1);
        return true;
      });
      for (int32_t i = 0; i < count; ++i) EXPECT_EQ(runs[size_t(i)].load(), 1) << threads << " " << i;
    }
  }
}

TEST(RowPool, AStoppedJobHasRunEveryEarlierItemAndStartsNoMore) {
  for (int32_t threads : {1, 2, 8}) {
    RowPool pool(threads);
    std::vector<std::atomic<int32_t>> runs(500);
    pool.Run(500, [&](int32_t i) {
      runs[size_t(i)].fetch_add(1);
      return i != 37;
    });
    for (int32_t i = 0; i <= 37; ++i) EXPECT_EQ(runs[size_t(i)].load(), 1) << threads << " " << i;
    int32_t after = 0;
    for (int32_t i = 38; i < 500; ++i) {
      EXPECT_LE(runs[size_t(i)].load(), 1);
      after += runs[size_t(i)].load();
    }
    // Other workers may take items while 37 runs; a lone worker takes none after it.
    if (threads == 1) {
      EXPECT_EQ(after, 0);
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
        pool.Run(50 + c, [&](int32_t i) {
          total.fetch_add(i + 1);
          return true;
        });
      }
    });
  }
  for (std::thread& t : callers) t.join();
  int64_t expected = 0;
  for (int c = 0; c < 6; ++c) expected += 20 * int64_t(50 + c) * (51 + c) / 2;
  EXPECT_EQ(total.load(), expected);
}
