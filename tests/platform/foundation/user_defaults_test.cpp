#include <gtest/gtest.h>

#include <thread>

#include "platform/foundation/files.h"
#include "platform/foundation/notification_center.h"
#include "platform/foundation/property_list.h"
#include "platform/foundation/user_defaults.h"
#include "support/test_support.h"

using namespace foundation;

TEST(UserDefaults, MissingIsDistinctFromStoredFalsyValues) {
  testsupport::TempDir dir;
  UserDefaults defaults(dir.file("velumar.plist"));
  EXPECT_FALSE(defaults.object("flag"));
  EXPECT_FALSE(defaults.boolForKey("flag"));
  EXPECT_FALSE(defaults.integerForKey("count"));
  EXPECT_FALSE(defaults.doubleForKey("ratio"));
  EXPECT_FALSE(defaults.stringForKey("name"));
  EXPECT_FALSE(defaults.dataForKey("bookmark"));

  defaults.set("flag", false);
  defaults.set("count", 0);
  defaults.set("ratio", 0.0);
  defaults.set("name", "");
  defaults.set("bookmark", Data{});
  EXPECT_EQ(defaults.boolForKey("flag"), false);
  EXPECT_EQ(defaults.integerForKey("count"), 0);
  EXPECT_EQ(defaults.doubleForKey("ratio"), 0.0);
  EXPECT_EQ(defaults.stringForKey("name"), "");
  EXPECT_EQ(defaults.dataForKey("bookmark"), Data{});
}

TEST(UserDefaults, GettersCoerceNumbersButNotOtherTypes) {
  testsupport::TempDir dir;
  UserDefaults defaults(dir.file("velumar.plist"));
  defaults.set("real", 2.9);
  defaults.set("bool", true);
  defaults.set("text", "12");
  EXPECT_EQ(defaults.integerForKey("real"), 2);
  EXPECT_EQ(defaults.boolForKey("real"), true);
  EXPECT_EQ(defaults.doubleForKey("bool"), 1.0);
  EXPECT_FALSE(defaults.integerForKey("text"));
  EXPECT_FALSE(defaults.stringForKey("real"));
  EXPECT_FALSE(defaults.dataForKey("text"));
}

TEST(UserDefaults, SynchronizePersistsAndRemoveForgets) {
  testsupport::TempDir dir;
  const std::string path = dir.file("config/velumar/velumar.plist");  // folders made on demand
  {
    UserDefaults defaults(path);
    defaults.set("NSWindow Frame converter", "10 10 500 400");
    defaults.set("preset/last:selected", -5);
    defaults.set("gone", 1);
    defaults.set("nested", Dictionary{{"list", Array{1, "a"}}});
    defaults.remove("gone");
    ASSERT_TRUE(defaults.synchronize());
  }
  UserDefaults reread(path);
  EXPECT_EQ(reread.stringForKey("NSWindow Frame converter"), "10 10 500 400");
  EXPECT_EQ(reread.integerForKey("preset/last:selected"), -5);
  EXPECT_FALSE(reread.object("gone"));
  EXPECT_EQ(reread.object("nested"), Value(Dictionary{{"list", Array{1, "a"}}}));
  reread.set("preset/last:selected", Value());  // null removes
  EXPECT_FALSE(reread.object("preset/last:selected"));
}

TEST(UserDefaults, UnreadableFileIsKeptAsideAndFailedWritesAreAnnounced) {
  testsupport::TempDir dir;
  const std::string path = dir.file("velumar.plist");
  const Data damaged{'<', 'p', 'l'};
  ASSERT_TRUE(writeFileAtomically(path, damaged));
  UserDefaults defaults(path);
  EXPECT_FALSE(defaults.object("anything"));
  const std::optional<std::string> keptAs = defaults.unreadableFileKeptAs();
  ASSERT_TRUE(keptAs);
  EXPECT_TRUE(keptAs->starts_with(path + ".unreadable-")) << *keptAs;
  // Nothing moves until the first write, which then keeps the old bytes.
  EXPECT_EQ(readFile(path), damaged);
  defaults.set("key", 2);
  ASSERT_TRUE(defaults.synchronize());
  EXPECT_EQ(readFile(*keptAs), damaged);
  EXPECT_EQ(UserDefaults(path).integerForKey("key"), 2);
  EXPECT_FALSE(UserDefaults(path).unreadableFileKeptAs());

  int failures = 0;
  ASSERT_TRUE(writeFileAtomically(dir.file("file"), Data{'x'}));
  UserDefaults unwritable(dir.file("file") + "/velumar.plist");
  auto observer = NotificationCenter::defaultCenter().addObserver(
      UserDefaults::kWriteFailedNotification, &unwritable, [&](const Notification&) { ++failures; });
  EXPECT_FALSE(unwritable.canWrite());
  unwritable.set("key", 1);
  EXPECT_FALSE(unwritable.synchronize());
  EXPECT_EQ(unwritable.integerForKey("key"), 1);
  EXPECT_EQ(failures, 2);
  EXPECT_TRUE(defaults.canWrite());
}

TEST(UserDefaults, StandardLivesUnderTheConfigurationFolder) {
  const std::string path = UserDefaults::standardPath();
  EXPECT_TRUE(path.ends_with("/velumar/velumar.plist")) << path;
}

TEST(UserDefaults, ConcurrentUseIsSafe) {
  testsupport::TempDir dir;
  UserDefaults defaults(dir.file("velumar.plist"));
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 200; ++i) {
        defaults.set("key" + std::to_string(t), i);
        (void)defaults.integerForKey("key" + std::to_string((t + 1) % 4));
        if (i % 50 == 0) defaults.synchronize();
      }
    });
  }
  for (auto& thread : threads) thread.join();
  ASSERT_TRUE(defaults.synchronize());
  auto stored = readPropertyList(defaults.path());
  ASSERT_TRUE(stored);
  for (int t = 0; t < 4; ++t) EXPECT_EQ(stored->get("key" + std::to_string(t))->toInt(), 199);
}

TEST(UserDefaults, ChangesAreAnnouncedAndOutsideEditsReloadWithoutLosingOwnOnes) {
  testsupport::TempDir dir;
  const std::string path = dir.file("velumar.plist");
  UserDefaults defaults(path);
  int announced = 0;
  auto token = NotificationCenter::defaultCenter().addObserver(
      UserDefaults::kDidChangeNotification, &defaults, [&](const Notification&) { ++announced; });
  defaults.set("a", 1);
  defaults.remove("a");
  defaults.remove("never there");
  EXPECT_EQ(announced, 2);

  defaults.set("kept", 1);
  defaults.set("shared", 1);
  ASSERT_TRUE(defaults.synchronize());
  defaults.set("unsaved", 1);  // not yet written: an outside edit must not lose it
  UserDefaults outside(path);
  outside.set("shared", 2);
  outside.set("new", 3);
  ASSERT_TRUE(outside.synchronize());

  announced = 0;
  defaults.reload();
  EXPECT_EQ(announced, 1);
  EXPECT_EQ(defaults.integerForKey("shared"), 2);
  EXPECT_EQ(defaults.integerForKey("new"), 3);
  EXPECT_EQ(defaults.integerForKey("unsaved"), 1);
  EXPECT_EQ(defaults.integerForKey("kept"), 1);

  ASSERT_TRUE(defaults.synchronize());
  defaults.reload();  // its own write read back: nothing changed
  ASSERT_TRUE(writeFileAtomically(path, Data{'x'}));
  defaults.reload();  // unreadable: kept
  EXPECT_EQ(announced, 1);
  EXPECT_EQ(defaults.integerForKey("new"), 3);
}
