#include <gtest/gtest.h>

#include <time.h>

#include <algorithm>
#include <string>
#include <thread>

#include "platform/foundation/binary_plist_builder.h"
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
  defaults.set("removed here", 1);
  ASSERT_TRUE(defaults.synchronize());
  defaults.set("unsaved", 1);  // not yet written: an outside edit must not lose it
  defaults.remove("removed here");  // nor bring this back
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
  EXPECT_FALSE(defaults.object("removed here"));

  ASSERT_TRUE(defaults.synchronize());
  defaults.reload();  // its own write read back: nothing changed
  EXPECT_EQ(announced, 1);
  UserDefaults remover(path);  // an outside edit that only removes a key
  remover.remove("kept");
  ASSERT_TRUE(remover.synchronize());
  defaults.reload();
  EXPECT_EQ(announced, 2);
  EXPECT_FALSE(defaults.object("kept"));
  ASSERT_TRUE(writeFileAtomically(path, Data{'x'}));
  defaults.reload();  // unreadable: kept
  EXPECT_EQ(announced, 2);
  EXPECT_EQ(defaults.integerForKey("new"), 3);
}

namespace {

double threadProcessorSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

// A preferences file of keys keys, "Key0" holding first.
void writeManyKeys(const std::string& path, int keys, int first) {
  std::string xml = "<?xml version=\"1.0\"?><plist><dict><key>Key0</key><integer>" + std::to_string(first) +
                    "</integer>";
  for (int i = 1; i < keys; ++i) xml += "<key>Key" + std::to_string(i) + "</key><string>v</string>";
  xml += "</dict></plist>";
  ASSERT_TRUE(writeFileAtomically(path, Data(xml.begin(), xml.end())));
}

// The processor time of reading a file of keys keys, reloading it after
// another program changed a key and reloading it unchanged (comparing
// every key), the least of runs runs.
double readAndReloadSeconds(const testsupport::TempDir& dir, int keys, int runs) {
  double least = 1e9;
  for (int run = 0; run < runs; ++run) {
    const std::string path = dir.file("many-" + std::to_string(keys) + ".plist");
    writeManyKeys(path, keys, 1);
    const double start = threadProcessorSeconds();
    UserDefaults defaults(path);
    EXPECT_EQ(defaults.integerForKey("Key0"), 1);
    const double read = threadProcessorSeconds();
    writeManyKeys(path, keys, 2);
    const double written = threadProcessorSeconds();
    defaults.reload();
    defaults.reload();
    EXPECT_EQ(defaults.integerForKey("Key0"), 2);
    least = std::min(least, threadProcessorSeconds() - written + read - start);
  }
  return least;
}

}  // namespace

// About linear in the number of keys, not quadratic: sixteen times the keys
// may take at most 100 times the processor time (about 26 measured; a scan
// per key took about 600).
TEST(UserDefaults, ManyKeysReadAndReloadInLinearTime) {
  testsupport::TempDir dir;
  const double small = readAndReloadSeconds(dir, 5000, 3);
  const double large = readAndReloadSeconds(dir, 80000, 2);
  EXPECT_LT(large, 100 * small) << small << " s for 5,000 keys, " << large << " s for 80,000";
}

// A file the readers take is written back whatever its size: in the binary
// form when the XML one would be over the limit. One that could not be
// written back at all is kept aside as an unreadable one is.
TEST(UserDefaults, WhatWasReadCanBeWrittenBack) {
  using Builder = plisttest::BinaryPlistBuilder;
  // {"Key0": 1, "Data": [copyBytes of data] * copies, "Numbers": [0, 1, ..., numbers - 1],
  //  "Keys": {"0": 0, "1": 1, ..., keys - 1}}
  auto file = [](std::uint32_t copies, std::uint32_t numbers, std::uint32_t keys, std::size_t copyBytes = 1 << 20) {
    Builder b;
    b.add({});
    const std::uint32_t data = b.add(Builder::data(copyBytes));
    std::vector<std::uint32_t> counted, names;
    for (std::uint32_t i = 0; i < std::max(numbers, keys); ++i) counted.push_back(b.add(Builder::integer(i)));
    for (std::uint32_t i = 0; i < keys; ++i) names.push_back(b.add(Builder::ascii(std::to_string(i))));
    const std::uint32_t containers[] = {
        b.add(Builder::array(std::vector<std::uint32_t>(copies, data))),
        b.add(Builder::array(std::vector<std::uint32_t>(counted.begin(), counted.begin() + numbers))),
        b.add(Builder::dictionary(names, std::vector<std::uint32_t>(counted.begin(), counted.begin() + keys)))};
    b.set(0, Builder::dictionary({b.add(Builder::ascii("Key0")), b.add(Builder::ascii("Data")),
                                  b.add(Builder::ascii("Numbers")), b.add(Builder::ascii("Keys"))},
                                 {b.add(Builder::integer(1)), containers[0], containers[1], containers[2]}));
    return b.build();
  };
  const struct {
    const char* name;
    Data bytes;
    bool read;
    std::uint32_t copies;
  } rows[] = {
      {"60 MB of data: 80 MB as XML", file(60, 0, 0), true, 60},
      {"200,000 keys: more than the XML reader takes", file(0, 200000, 200000), true, 0},
      {"63 MB of data and 900,000 numbers: too large in either form", file(63, 900000, 0), false, 0},
      {"995,000 numbers: no room left for this program's settings", file(0, 995000, 0), false, 0},
      {"63.5 MB of data alone: no room left for this program's settings", file(127, 0, 0, 1 << 19), false, 0},
      {"496,000 keys: no room left for this program's settings", file(0, 0, 496000), false, 0},
  };
  for (const auto& row : rows) {
    testsupport::TempDir dir;
    const std::string path = dir.file("velumar.plist");
    ASSERT_TRUE(writeFileAtomically(path, row.bytes));
    UserDefaults defaults(path);
    EXPECT_EQ(defaults.integerForKey("Key0").has_value(), row.read) << row.name;
    EXPECT_EQ(defaults.unreadableFileKeptAs().has_value(), !row.read) << row.name;
    defaults.set("Touched", true);
    ASSERT_TRUE(defaults.synchronize()) << row.name;
    UserDefaults reread(path);
    EXPECT_EQ(reread.boolForKey("Touched"), true) << row.name;
    const std::optional<Value> data = reread.object("Data");
    EXPECT_EQ(data && data->asArray() ? data->asArray()->size() : 0, row.copies) << row.name;
    if (!row.read) {
      EXPECT_EQ(readFile(*defaults.unreadableFileKeptAs()), row.bytes) << row.name;
    }
  }
}
