#include "platform/ui/qt_main_loop.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTest>
#include <QThread>
#include <atomic>
#include <thread>
#include <vector>

namespace {

TEST(QtMainLoop, PostsFromAnyThreadRunInOrderOnTheMainThread) {
  ASSERT_TRUE(foundation::MainLoop::isMainThread());
  std::vector<int> order;
  std::atomic<bool> offMain{false};
  std::thread worker([&] {
    offMain = !foundation::MainLoop::isMainThread();
    for (int i = 0; i < 5; ++i)
      foundation::MainLoop::post([&, i] {
        if (QThread::currentThread() == qApp->thread()) order.push_back(i);
      });
  });
  worker.join();
  EXPECT_TRUE(offMain);
  EXPECT_TRUE(QTest::qWaitFor([&] { return order.size() == 5; }, 2000));
  EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, 4}));
}

TEST(QtMainLoop, DelayedTasksWaitTheirTime) {
  QElapsedTimer clock;
  clock.start();
  std::vector<int> order;
  qint64 ranAfter = -1;
  foundation::MainLoop::postAfter(0.1, [&] {
    ranAfter = clock.elapsed();
    order.push_back(2);
  });
  foundation::MainLoop::post([&] { order.push_back(1); });
  EXPECT_TRUE(QTest::qWaitFor([&] { return order.size() == 2; }, 2000));
  EXPECT_EQ(order, (std::vector<int>{1, 2}));
  EXPECT_GE(ranAfter, 95);
}

TEST(QtMainLoop, RunSyncFromAWorkerWaitsForTheMainThread) {
  std::atomic<bool> ranOnMain{false};
  std::atomic<bool> returned{false};
  std::thread worker([&] {
    foundation::MainLoop::runSync([&] { ranOnMain = QThread::currentThread() == qApp->thread(); });
    returned = true;
  });
  EXPECT_TRUE(QTest::qWaitFor([&] { return returned.load(); }, 2000));
  worker.join();
  EXPECT_TRUE(ranOnMain);
}

}  // namespace
