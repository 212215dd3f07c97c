#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/notification_center.h"

using namespace foundation;

TEST(NotificationCenter, DeliversByNameAndSender) {
  NotificationCenter center;
  int senderA = 0;
  int senderB = 0;
  std::vector<std::string> calls;
  auto any = center.addObserver("Changed", [&](const Notification& n) {
    calls.push_back("any:" + n.userInfo.stringOr("") + (n.object == &senderA ? ":A" : ":B"));
  });
  auto onlyA =
      center.addObserver("Changed", &senderA, [&](const Notification&) { calls.push_back("onlyA"); });
  auto other = center.addObserver("Other", [&](const Notification&) { calls.push_back("other"); });
  center.post("Changed", &senderA, Value("x"));
  center.post("Changed", &senderB, Value("y"));
  EXPECT_EQ(calls, (std::vector<std::string>{"any:x:A", "onlyA", "any:y:B"}));
}

TEST(NotificationCenter, CarriesAnyPayload) {
  NotificationCenter center;
  struct Progress {
    int done;
    int total;
  };
  std::optional<Progress> seen;
  auto token = center.addObserver("Progress", [&](const Notification& n) {
    if (const auto* p = std::any_cast<Progress>(&n.payload)) seen = *p;
  });
  center.post("Progress", nullptr, Value(), Progress{3, 7});
  ASSERT_TRUE(seen);
  EXPECT_EQ(seen->done, 3);
  EXPECT_EQ(seen->total, 7);
}

TEST(NotificationCenter, DestroyingOrMovingTheTokenRemovesOnce) {
  NotificationCenter center;
  int calls = 0;
  {
    auto token = center.addObserver("N", [&](const Notification&) { ++calls; });
    center.post("N");
    ObserverToken moved = std::move(token);
    EXPECT_FALSE(token.active());
    center.post("N");
  }
  center.post("N");
  EXPECT_EQ(calls, 2);
  ObserverToken outlives;
  {
    NotificationCenter shortLived;
    outlives = shortLived.addObserver("N", [](const Notification&) {});
  }
  outlives.reset();  // the centre is gone; must not crash
}

TEST(NotificationCenter, ObserverRemovedDuringAPostIsNotCalledAfterwards) {
  NotificationCenter center;
  std::vector<std::string> calls;
  ObserverToken second;
  auto first = center.addObserver("N", [&](const Notification&) {
    calls.push_back("first");
    second.reset();
  });
  second = center.addObserver("N", [&](const Notification&) { calls.push_back("second"); });
  center.post("N");
  EXPECT_EQ(calls, std::vector<std::string>{"first"});
}

TEST(NotificationCenter, ObserverMayRemoveItselfPostAndAdd) {
  NotificationCenter center;
  std::vector<std::string> calls;
  ObserverToken self;
  ObserverToken added;
  self = center.addObserver("Start", [&](const Notification&) {
    calls.push_back("start");
    self.reset();  // destroys the running callback's registration only
    added = center.addObserver("Start", [&](const Notification&) { calls.push_back("added"); });
    center.post("Nested");
  });
  auto nested = center.addObserver("Nested", [&](const Notification&) { calls.push_back("nested"); });
  center.post("Start");
  center.post("Start");
  EXPECT_EQ(calls, (std::vector<std::string>{"start", "nested", "added"}));
}

TEST(NotificationCenter, DefaultCenterIsOneObject) {
  EXPECT_EQ(&NotificationCenter::defaultCenter(), &NotificationCenter::defaultCenter());
  int calls = 0;
  auto token =
      NotificationCenter::defaultCenter().addObserver("velumar.test", [&](const Notification&) { ++calls; });
  NotificationCenter::defaultCenter().post("velumar.test");
  EXPECT_EQ(calls, 1);
}
