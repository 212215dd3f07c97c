#include <gtest/gtest.h>
#include <linux/input-event-codes.h>

#include <QTest>

#include "platform/foundation/binary_plist_builder.h"
#include "platform/foundation/notification_center.h"
#include "platform/foundation/user_defaults.h"
#include "recorder_keys.h"
#include "shortcut/key_shortcut_defaults_observer.h"
#include "shortcut/key_shortcut_view.h"
#include "support/test_support.h"

using namespace shortcut;
namespace m = shortcut::modifiers;

namespace {

struct Binding {
  testsupport::TempDir dir;
  std::string path = dir.file("velumar/velumar.plist");
  foundation::UserDefaults defaults{path};
  KeyShortcutView view;
  int announcements = 0;
  foundation::ObserverToken token = foundation::NotificationCenter::defaultCenter().addObserver(
      foundation::UserDefaults::kDidChangeNotification, &defaults,
      [this](const foundation::Notification&) { ++announcements; });

  std::optional<foundation::Data> onDisk() const {
    return foundation::UserDefaults(path).dataForKey("KeyShortcut");
  }
};

}  // namespace

TEST(ShortcutBinding, RecordingAndClearingAreStoredAtOnce) {
  Binding b;
  KeyShortcutDefaultsObserver observer(b.view, "KeyShortcut", b.defaults);
  EXPECT_EQ(b.view.shortcutText(), "Record Shortcut");
  b.view.setRecording(true);
  recorder_keys::press(&b.view, Qt::Key_K, Qt::ControlModifier | Qt::AltModifier, KEY_K);
  const KeyShortcut recorded(40, m::kCommand | m::kOption);
  EXPECT_EQ(b.announcements, 1);
  ASSERT_TRUE(b.onDisk());
  EXPECT_EQ(KeyShortcut::fromData(*b.onDisk()), recorded);

  b.view.setShortcutValue(std::nullopt);
  EXPECT_EQ(b.onDisk(), KeyShortcut::emptyData());  // stored as the empty archive, not removed
  EXPECT_EQ(b.announcements, 2);
}

TEST(ShortcutBinding, OutsideChangesShowWithoutWriteBackAndDetachingRestores) {
  Binding b;
  const KeyShortcut before(96, 0), stored(40, m::kCommand), outside(14, m::kControl);
  b.defaults.set("KeyShortcut", stored.data());
  b.view.setShortcutValue(before);
  {
    KeyShortcutDefaultsObserver observer(b.view, "KeyShortcut", b.defaults);
    EXPECT_EQ(b.view.shortcutValue(), stored);
    b.defaults.synchronize();
    b.announcements = 0;

    foundation::UserDefaults other(b.path);  // another program edits the file
    other.set("KeyShortcut", outside.data());
    ASSERT_TRUE(other.synchronize());
    EXPECT_TRUE(QTest::qWaitFor([&] { return b.view.shortcutValue() == outside; }, 5000));
    EXPECT_EQ(b.announcements, 1);  // the reload only: nothing written back

    b.defaults.set("KeyShortcut", foundation::Data{'x'});  // not a shortcut
    EXPECT_FALSE(b.view.shortcutValue());
  }
  EXPECT_EQ(b.view.shortcutValue(), before);
}

TEST(ShortcutBinding, AStoredShortcutTooLargeOnceResolvedIsRefusedOnceAndTheRestLoads) {
  Binding b;
  using plisttest::BinaryPlistBuilder;
  // One 1 MB string used 100 times by a field: 100 MB once resolved.
  const BinaryPlistBuilder::Bytes hostile = plisttest::keyedArchiveWith(
      [](BinaryPlistBuilder& builder, std::vector<std::uint32_t>& objects, std::vector<std::uint32_t>& keys,
         std::vector<std::uint32_t>& values) {
        objects.push_back(builder.add(BinaryPlistBuilder::ascii(std::string(1 << 20, 'x'))));
        const std::uint32_t uid = builder.add(BinaryPlistBuilder::uid(std::uint32_t(objects.size() - 1)));
        keys.push_back(builder.add(BinaryPlistBuilder::ascii("Junk")));
        values.push_back(builder.add(BinaryPlistBuilder::array(std::vector<std::uint32_t>(100, uid))));
      });
  b.defaults.set("KeyShortcut", foundation::Data(hostile));
  b.defaults.set("Other", 7);
  ASSERT_TRUE(b.defaults.synchronize());

  testing::internal::CaptureStderr();
  foundation::UserDefaults restarted(b.path);
  KeyShortcutDefaultsObserver observer(b.view, "KeyShortcut", restarted);
  for (int i = 0; i < 20; ++i) restarted.set("Key" + std::to_string(i), i);  // each change is announced
  const std::string log = testing::internal::GetCapturedStderr();
  EXPECT_FALSE(b.view.shortcutValue());
  EXPECT_EQ(restarted.integerForKey("Other"), 7);
  std::size_t lines = 0;
  for (std::size_t at = log.find("Keyed archive:"); at != std::string::npos; at = log.find("Keyed archive:", at + 1))
    ++lines;
  EXPECT_EQ(lines, 1u) << log;
}

TEST(ShortcutBinding, TheViewAttachesToTheStandardDefaults) {
  KeyShortcutView view;
  foundation::UserDefaults::standard().set("Recorder", KeyShortcut(0, m::kCommand).data());
  view.setAssociatedUserDefaultsKey("Recorder");
  EXPECT_EQ(view.associatedUserDefaultsKey(), "Recorder");
  EXPECT_EQ(view.shortcutValue(), KeyShortcut(0, m::kCommand));
  view.setAssociatedUserDefaultsKey("");
  EXPECT_FALSE(view.shortcutValue());
  EXPECT_EQ(view.associatedUserDefaultsKey(), "");
}
