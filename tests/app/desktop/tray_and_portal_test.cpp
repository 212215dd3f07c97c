// The tray icon and the appearance on a desktop session bus: with a tray
// watcher our item registers, without one there is no icon and the menu bar
// keeps every command; the icon follows the portal's colour scheme.
#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDBusReply>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QTest>

#include "app/app_delegate.h"
#include "app/appearance.h"
#include "app/status_item.h"
#include "converter/converter_window.h"
#include "platform/foundation/user_defaults.h"
#include "support/test_support.h"

using namespace velumar;

namespace {

class DesktopTest : public ::testing::Test {
 protected:
  ~DesktopTest() override {
    delegate_.reset();
    if (services_.state() != QProcess::NotRunning) {
      services_.kill();
      services_.waitForFinished();
    }
  }
  void startServices(const QStringList& arguments) {
    services_.start(QStringLiteral(FAKE_DESKTOP_SERVICES), arguments);
    ASSERT_TRUE(services_.waitForReadyRead(30000));
  }
  void startDelegate() {
    delegate_ = std::make_unique<AppDelegate>(defaults_, false);
    delegate_->launch();
  }
  QStringList registeredItems() {
    QDBusInterface watcher(QStringLiteral("org.kde.StatusNotifierWatcher"),
                           QStringLiteral("/StatusNotifierWatcher"),
                           QStringLiteral("org.kde.StatusNotifierWatcher"));
    return watcher.property("RegisteredStatusNotifierItems").toStringList();
  }
  void setColorScheme(uint scheme) {
    QDBusInterface portal(QStringLiteral("org.freedesktop.portal.Desktop"),
                          QStringLiteral("/org/freedesktop/portal/desktop"),
                          QStringLiteral("org.velumar.FakePortal"));
    ASSERT_TRUE(QDBusReply<void>(portal.call(QStringLiteral("SetColorScheme"), scheme)).isValid());
  }
  static QStringList titles(const QList<QAction*>& actions) {
    QStringList result;
    for (QAction* action : actions) {
      if (action->menu())
        result << titles(action->menu()->actions());
      else if (!action->isSeparator())
        result << action->text();
    }
    return result;
  }

  QProcess services_;
  testsupport::TempDir dir_;
  foundation::UserDefaults defaults_{dir_.file("settings.plist")};
  std::unique_ptr<AppDelegate> delegate_;
};

}  // namespace

TEST_F(DesktopTest, WithoutATrayTheMenuBarHoldsEveryCommand) {
  ASSERT_TRUE(QDBusConnection::sessionBus().isConnected());
  startDelegate();
  EXPECT_FALSE(delegate_->menuBar().isShown());
  const QStringList inMenuBar = titles(delegate_->window().menuBar()->actions());
  for (const QString& command : titles(delegate_->appMenu()->actions())) {
    const bool found = inMenuBar.contains(command) ||
                       (command == "Quit Velumar" && inMenuBar.contains("Quit")) ||
                       (command == "Show Velumar" && inMenuBar.contains("Bring Converter to Front")) ||
                       (command == "Hide or Show Velumar" && inMenuBar.contains("Hide Velumar"));
    EXPECT_TRUE(found) << command.toStdString();
  }
}

TEST_F(DesktopTest, TrayItemRegistersWithTheWatcher) {
  startServices({QStringLiteral("--watcher")});
  startDelegate();
  EXPECT_TRUE(delegate_->menuBar().isShown());
  EXPECT_TRUE(QTest::qWaitFor([this] { return registeredItems().size() == 1; }, 20000));
  // Registered by this process, whichever of its bus connections it used.
  const QString item = registeredItems().value(0).section(QLatin1Char('/'), 0, 0);
  const QDBusReply<uint> owner = QDBusConnection::sessionBus().interface()->servicePid(item);
  ASSERT_TRUE(owner.isValid()) << item.toStdString();
  EXPECT_EQ(qint64(owner.value()), QCoreApplication::applicationPid());
}

TEST_F(DesktopTest, IconFollowsThePortalsColorScheme) {
  startServices({QStringLiteral("--watcher"), QStringLiteral("--portal=1")});
  startDelegate();
  EXPECT_TRUE(delegate_->appearance().isDark());
  EXPECT_EQ(delegate_->menuBar().imageName(), "MenuBarAlt");
  setColorScheme(2);
  EXPECT_TRUE(QTest::qWaitFor([this] { return delegate_->menuBar().imageName() == "MenuBar"; }, 20000));
  setColorScheme(1);
  EXPECT_TRUE(QTest::qWaitFor([this] { return delegate_->menuBar().imageName() == "MenuBarAlt"; }, 20000));
  // No preference leaves it to the desktop palette (light here).
  setColorScheme(0);
  EXPECT_TRUE(QTest::qWaitFor([this] { return delegate_->menuBar().imageName() == "MenuBar"; }, 20000));
}

TEST_F(DesktopTest, ATrayThatStartsLaterGetsTheIconAndAPrimaryClickShowsTheConverter) {
  startDelegate();
  EXPECT_FALSE(delegate_->menuBar().isShown());
  startServices({QStringLiteral("--watcher")});
  EXPECT_TRUE(QTest::qWaitFor([this] { return delegate_->menuBar().isShown(); }, 20000));
  ASSERT_TRUE(QTest::qWaitFor([this] { return registeredItems().size() == 1; }, 20000));
  delegate_->window().hide();
  const QString item = registeredItems().value(0);
  const QString service = item.section(QLatin1Char('/'), 0, 0);
  const QString path = item.contains(QLatin1Char('/')) ? "/" + item.section(QLatin1Char('/'), 1)
                                                       : QStringLiteral("/StatusNotifierItem");
  QDBusInterface tray(service, path, QStringLiteral("org.kde.StatusNotifierItem"));
  tray.asyncCall(QStringLiteral("Activate"), 0, 0);
  EXPECT_TRUE(QTest::qWaitFor([this] { return delegate_->window().isVisible(); }, 20000));
}
