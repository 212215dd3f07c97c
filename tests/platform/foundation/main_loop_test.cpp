#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/foundation/main_loop.h"

using namespace foundation;

namespace {
PlainMainLoop& loop() {
  return *static_cast<PlainMainLoop*>(MainLoop::installed());
}
}  // namespace

TEST(MainLoop, TestThreadIsTheMainThread) {
  ASSERT_NE(MainLoop::installed(), nullptr);
  EXPECT_TRUE(MainLoop::isMainThread());
  bool onWorker = true;
  std::thread([&] { onWorker = MainLoop::isMainThread(); }).join();
  EXPECT_FALSE(onWorker);
}

TEST(MainLoop, RunSyncOnTheMainThreadRunsInline) {
  bool ran = false;
  MainLoop::runSync([&] { ran = true; });
  EXPECT_TRUE(ran);
}

TEST(MainLoop, RunSyncFromAWorkerBlocksUntilTheMainThreadRanIt) {
  std::atomic<bool> workerDone{false};
  std::thread::id ranOn;
  bool sawMainThread = false;
  std::thread worker([&] {
    MainLoop::runSync([&] {
      ranOn = std::this_thread::get_id();
      sawMainThread = MainLoop::isMainThread();
    });
    // runSync returned, so the task must have run already.
    EXPECT_NE(ranOn, std::thread::id());
    workerDone = true;
  });
  EXPECT_TRUE(loop().runUntil([&] { return workerDone.load(); }, 10));
  worker.join();
  EXPECT_EQ(ranOn, std::this_thread::get_id());
  EXPECT_TRUE(sawMainThread);
}

TEST(MainLoop, PostedWorkRunsInOrderAndDelaysAreHonoured) {
  std::vector<std::string> order;
  const auto start = std::chrono::steady_clock::now();
  std::chrono::steady_clock::duration delayedAfter{};
  MainLoop::postAfter(0.1, [&] {
    order.push_back("late");
    delayedAfter = std::chrono::steady_clock::now() - start;
  });
  MainLoop::postAfter(0.05, [&] { order.push_back("middle"); });
  MainLoop::post([&] { order.push_back("first"); });
  MainLoop::post([&] { order.push_back("second"); });
  EXPECT_TRUE(order.empty());  // nothing runs before the loop does
  EXPECT_TRUE(loop().runUntil([&] { return order.size() == 4; }, 10));
  EXPECT_EQ(order, (std::vector<std::string>{"first", "second", "middle", "late"}));
  EXPECT_GE(delayedAfter, std::chrono::milliseconds(100));
}

TEST(MainLoop, PostsFromManyWorkersAllRun) {
  std::atomic<int> ran{0};
  std::vector<std::thread> workers;
  for (int t = 0; t < 4; ++t) {
    workers.emplace_back([&] {
      for (int i = 0; i < 50; ++i) MainLoop::post([&] { ++ran; });
    });
  }
  for (auto& worker : workers) worker.join();
  EXPECT_TRUE(loop().runUntil([&] { return ran.load() == 200; }, 10));
}
