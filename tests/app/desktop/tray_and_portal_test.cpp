// The tray icon and the appearance on a desktop session bus: with a tray
// watcher our item registers, without one there is no icon and the menu bar
// keeps every command; the icon follows the portal's colour scheme. In a
// tray of the older embedding protocol the icon outlives Hide.
#include <gtest/gtest.h>

#include <xcb/xcb.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDBusReply>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QTest>
#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "app/app_delegate.h"
#include "app/appearance.h"
#include "app/status_item.h"
#include "converter/converter_window.h"
#include "platform/foundation/user_defaults.h"
#include "support/test_support.h"

using namespace velumar;

namespace {

// A system tray of the older embedding protocol (XEmbed), as a desktop
// without a StatusNotifier host has: it owns the tray selection of screen 0
// and embeds each icon that asks to dock in a window of its own.
class XEmbedTray {
 public:
  XEmbedTray() : connection_(xcb_connect(nullptr, nullptr)) {
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data;
    host_ = xcb_generate_id(connection_);
    xcb_create_window(connection_, XCB_COPY_FROM_PARENT, host_, screen->root, 0, 0, 64, 32, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, 0, nullptr);
    xcb_map_window(connection_, host_);
    const xcb_atom_t selection = atom("_NET_SYSTEM_TRAY_S0");
    xcb_set_selection_owner(connection_, host_, selection, XCB_CURRENT_TIME);
    send(screen->root, atom("MANAGER"), {XCB_CURRENT_TIME, selection, host_, 0, 0},
         XCB_EVENT_MASK_STRUCTURE_NOTIFY);
  }
  ~XEmbedTray() { xcb_disconnect(connection_); }

  // Embeds the icons that asked to dock since the last call (the atom's
  // round trip brings in every event sent before it).
  void serve() {
    const xcb_atom_t opcode = atom("_NET_SYSTEM_TRAY_OPCODE");
    while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
      const auto* message = reinterpret_cast<const xcb_client_message_event_t*>(event);
      // SYSTEM_TRAY_REQUEST_DOCK is opcode 0; the icon's window follows.
      if ((event->response_type & 0x7f) == XCB_CLIENT_MESSAGE && message->type == opcode &&
          message->data.data32[1] == 0)
        dock(message->data.data32[2]);
      std::free(event);
    }
  }
  bool iconViewable() {
    serve();
    if (icon_ == XCB_NONE) return false;
    std::unique_ptr<xcb_get_window_attributes_reply_t, decltype(&std::free)> attributes(
        xcb_get_window_attributes_reply(connection_, xcb_get_window_attributes(connection_, icon_), nullptr),
        &std::free);
    return attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE;
  }

 private:
  xcb_atom_t atom(const char* name) {
    std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
        xcb_intern_atom_reply(connection_, xcb_intern_atom(connection_, 0, std::uint16_t(strlen(name)), name),
                              nullptr),
        &std::free);
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
  }
  void send(xcb_window_t window, xcb_atom_t type, std::array<std::uint32_t, 5> data, std::uint32_t mask) {
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = type;
    std::copy(data.begin(), data.end(), message.data.data32);
    xcb_send_event(connection_, 0, window, mask, reinterpret_cast<const char*>(&message));
    xcb_flush(connection_);
  }
  void dock(xcb_window_t icon) {
    icon_ = icon;
    xcb_reparent_window(connection_, icon, host_, 0, 0);
    xcb_map_window(connection_, icon);
    // XEMBED_EMBEDDED_NOTIFY (0): the icon learns it is embedded.
    send(icon, atom("_XEMBED"), {XCB_CURRENT_TIME, 0, 0, host_, 0}, XCB_EVENT_MASK_NO_EVENT);
  }

  xcb_connection_t* connection_;
  xcb_window_t host_ = XCB_NONE;
  xcb_window_t icon_ = XCB_NONE;
};

// Waits until the X server has carried out every request of the application.
void syncWithServer() {
  xcb_connection_t* connection = qApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
  std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
}

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

TEST_F(DesktopTest, HideLeavesTheIconInAnXEmbedTrayAndTheIconBringsTheWindowsBack) {
  XEmbedTray tray;
  startDelegate();
  ASSERT_TRUE(delegate_->menuBar().isShown());
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&delegate_->window(), 20000));
  // Qt may make the icon's window anew and dock it again while it starts:
  // the last one docked counts.
  syncWithServer();
  ASSERT_TRUE(QTest::qWaitFor([&tray] { return tray.iconViewable(); }, 20000));
  delegate_->hideApplication();
  syncWithServer();
  EXPECT_FALSE(delegate_->window().isVisible());
  EXPECT_TRUE(tray.iconViewable()) << "hidden";
  delegate_->showBringToFrontAppFrom();  // the icon's primary click
  EXPECT_TRUE(QTest::qWaitForWindowExposed(&delegate_->window(), 20000));
  EXPECT_TRUE(tray.iconViewable()) << "shown again";
}
