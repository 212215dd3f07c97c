#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/foundation/serial_queue.h"

using namespace foundation;

TEST(SerialQueue, RunsAsyncWorkInOrderOnOneThread) {
  SerialQueue queue("test.order");
  std::vector<int> order;
  std::set<std::thread::id> threads;
  for (int i = 0; i < 200; ++i) {
    queue.async([&, i] {
      order.push_back(i);
      threads.insert(std::this_thread::get_id());
    });
  }
  queue.waitUntilIdle();
  ASSERT_EQ(order.size(), 200u);
  for (int i = 0; i < 200; ++i) EXPECT_EQ(order[std::size_t(i)], i);
  EXPECT_EQ(threads.size(), 1u);
  EXPECT_EQ(threads.count(std::this_thread::get_id()), 0u);
}

TEST(SerialQueue, SyncRunsOnTheCallerAfterEarlierWorkAndBeforeLaterWork) {
  SerialQueue queue("test.sync");
  std::mutex mutex;
  std::vector<std::string> events;
  auto record = [&](std::string what) {
    std::lock_guard lock(mutex);
    events.push_back(std::move(what));
  };
  queue.async([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    record("earlier");
  });
  std::thread::id ranOn;
  queue.sync([&] {
    ranOn = std::this_thread::get_id();
    // Work queued now must wait until this returns.
    queue.async([&] { record("later"); });
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    record("sync");
  });
  queue.waitUntilIdle();
  EXPECT_EQ(ranOn, std::this_thread::get_id());
  EXPECT_EQ(events, (std::vector<std::string>{"earlier", "sync", "later"}));
}

TEST(SerialQueue, SyncFromItsOwnWorkerRunsInline) {
  SerialQueue queue("test.reentrant");
  std::atomic<bool> ran{false};
  queue.async([&] {
    EXPECT_TRUE(queue.isCurrent());
    queue.sync([&] { ran = true; });
  });
  queue.waitUntilIdle();
  EXPECT_TRUE(ran);
  EXPECT_FALSE(queue.isCurrent());
}

TEST(SerialQueue, DestructorFinishesQueuedWork) {
  std::atomic<int> done{0};
  {
    SerialQueue queue("test.drain");
    for (int i = 0; i < 50; ++i) {
      queue.async([&] {
        std::this_thread::sleep_for(std::chrono::microseconds(200));
        ++done;
      });
    }
  }
  EXPECT_EQ(done, 50);
}

TEST(SerialQueue, ManyThreadsCallingSyncAndAsyncNeverOverlap) {
  SerialQueue queue("test.exclusive");
  std::atomic<int> inside{0};
  std::atomic<bool> overlapped{false};
  int counter = 0;
  auto work = [&] {
    if (inside.fetch_add(1) != 0) overlapped = true;
    ++counter;
    inside.fetch_sub(1);
  };
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 100; ++i) {
        if ((i + t) % 2) {
          queue.sync(work);
        } else {
          queue.async(work);
        }
      }
    });
  }
  for (auto& thread : threads) thread.join();
  queue.waitUntilIdle();
  EXPECT_FALSE(overlapped);
  EXPECT_EQ(counter, 400);
}
