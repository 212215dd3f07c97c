#include "preview/launcher_badge.h"

#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <QTest>
#include <QVariantMap>
#include <filesystem>

#include "preview/preview_window.h"
#include "support/private_session_bus.h"
#include "support/test_support.h"

namespace velumar {

// Records the badge updates seen on the session bus.
class BadgeListener : public QObject {
  Q_OBJECT

 public:
  std::vector<std::pair<qint64, bool>> updates;

 public slots:
  void update(const QString&, const QVariantMap& properties) {
    updates.emplace_back(properties.value("count").toLongLong(), properties.value("count-visible").toBool());
  }
};

namespace {

TEST(LauncherBadge, CountsTheListedImages) {
  if (!testsupport::onPrivateSessionBus()) return;
  BadgeListener listener;
  ASSERT_TRUE(QDBusConnection::sessionBus().connect({}, kLauncherEntryPath, kLauncherEntryInterface, "Update",
                                                    &listener, SLOT(update(QString, QVariantMap))));
  testsupport::TempDir dir;
  for (const char* name : {"a.png", "b.png"})
    ASSERT_EQ(
        testsupport::runCommand({"/usr/bin/convert", "-size", "8x8", "xc:red", dir.file(name)}).exitCode, 0);
  PreviewWindow window;
  ASSERT_TRUE(window.importPaths({dir.file("a.png"), dir.file("b.png")}, dir.path().string(), false));
  // A loaded machine can take seconds to pass the signals through the bus.
  const auto waitFor = [](auto seen) {
    for (int i = 0; i < 500 && !seen(); ++i) QTest::qWait(20);
  };
  const auto listedTwo = [&listener] {
    return std::find(listener.updates.begin(), listener.updates.end(), std::pair<qint64, bool>(2, true)) !=
           listener.updates.end();
  };
  waitFor(listedTwo);
  window.resetPreview();
  waitFor([&listener] { return !listener.updates.empty() && !listener.updates.back().second; });
  ASSERT_GE(listener.updates.size(), 2u);
  EXPECT_TRUE(listedTwo());
  EXPECT_FALSE(listener.updates.back().second);  // removed after the reset
}

}  // namespace
}  // namespace velumar

#include "launcher_badge_test.moc"
