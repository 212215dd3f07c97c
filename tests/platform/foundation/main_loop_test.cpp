#include <gtest/gtest.h>

#include <atomic>
#include <future>
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

// The loop ends with a worker waiting in runSync (the program exits): the
// worker returns, its task never runs, and nothing posted later runs either.
TEST(MainLoop, CloseReleasesRunSyncWaitersAndDropsLaterWork) {
  std::atomic<bool> ran{false};
  std::atomic<int> answers{0};
  auto waitOffMain = [&] {
    return std::async(std::launch::async, [&] { return MainLoop::runSync([&] { ran = true; }); });
  };
  auto waiting = waitOffMain();
  EXPECT_EQ(waiting.wait_for(std::chrono::milliseconds(100)), std::future_status::timeout);
  MainLoop::close();
  ASSERT_EQ(waiting.wait_for(std::chrono::seconds(5)), std::future_status::ready);
  EXPECT_FALSE(waiting.get());
  EXPECT_FALSE(waitOffMain().get());
  MainLoop::post([&] { ++answers; });
  loop().runPending();
  EXPECT_FALSE(ran);
  EXPECT_EQ(answers, 0);
  // A loop installed again opens the queue.
  MainLoop::install(&loop());
  EXPECT_FALSE(MainLoop::isClosed());
  auto reopened = waitOffMain();
  EXPECT_TRUE(loop().runUntil([&] { return ran.load(); }, 10));
  EXPECT_TRUE(reopened.get());
}
