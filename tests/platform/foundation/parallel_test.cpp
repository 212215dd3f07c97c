#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "platform/foundation/parallel.h"

using namespace foundation;

TEST(Parallel, RangesCoverEveryIndexOnce) {
  struct Case {
    std::int64_t first, last, grain;
  };
  const Case cases[] = {{0, 0, 1},    {5, 3, 1},       {0, 1, 1},   {0, 1000, 1},
                        {-50, 50, 7}, {0, 100000, 64}, {3, 10, 100}};
  for (const Case& c : cases) {
    const std::int64_t count = std::max<std::int64_t>(0, c.last - c.first);
    std::vector<std::atomic<int>> hits(std::size_t(count + 1));
    parallelForRange(
        c.first, c.last,
        [&](std::int64_t begin, std::int64_t end) {
          EXPECT_LE(c.first, begin);
          EXPECT_LE(end, c.last);
          for (std::int64_t i = begin; i < end; ++i) hits[std::size_t(i - c.first)]++;
        },
        c.grain);
    for (std::int64_t i = 0; i < count; ++i) ASSERT_EQ(hits[std::size_t(i)], 1) << i;
  }
}

TEST(Parallel, NestedParallelForCompletes) {
  constexpr int outer = 64;
  constexpr int inner = 256;
  std::vector<std::atomic<int>> cells(outer * inner);
  parallelFor(0, outer, [&](std::int64_t row) {
    parallelFor(0, inner, [&](std::int64_t column) { cells[std::size_t(row * inner + column)]++; });
  });
  for (const auto& cell : cells) ASSERT_EQ(cell, 1);
}

TEST(Parallel, ConcurrentCallersFromPlainThreads) {
  std::atomic<std::int64_t> total{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] { parallelFor(0, 10000, [&](std::int64_t i) { total += i; }); });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(total, 4 * (9999LL * 10000 / 2));
  EXPECT_GE(hardwareConcurrency(), 1);
}

// Loops inside an interactive task, nested ones included, run every index
// once and still spread over the pool.
TEST(Parallel, InteractiveLoopsCoverEveryIndexOnAllThreads) {
  if (hardwareConcurrency() < 2) GTEST_SKIP() << "needs two cores";
  std::mutex lock;
  std::set<std::thread::id> threads;
  std::atomic<std::int64_t> total{0};
  runInteractively([&] {
    parallelFor(0, 16, [&](std::int64_t row) {
      parallelFor(0, 4, [&](std::int64_t column) {
        {
          std::lock_guard guard(lock);
          threads.insert(std::this_thread::get_id());
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        total += row * 4 + column;
      });
    });
  });
  EXPECT_EQ(total, 63 * 64 / 2);
#ifndef __SANITIZE_THREAD__  // there the pool runs on the caller
  EXPECT_GE(threads.size(), 2u);
#endif
}
