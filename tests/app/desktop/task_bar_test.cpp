// "DockState" on a real X server: launched with 1, every window the
// application shows carries the skip-taskbar and skip-pager states; with 0
// none does, and the preferences offer the choice.
#include <gtest/gtest.h>

#include <xcb/xcb.h>

#include <QApplication>
#include <QComboBox>
#include <QTest>
#include <cstdlib>
#include <memory>
#include <set>
#include <string>

#include "app/app_delegate.h"
#include "app/preferences_window.h"
#include "converter/converter_window.h"
#include "platform/foundation/user_defaults.h"
#include "preview/preview_window.h"
#include "support/test_support.h"

using namespace velumar;

namespace {

// The names in a window's _NET_WM_STATE, as the window manager reads them.
std::set<std::string> netWmState(QWidget& widget) {
  xcb_connection_t* connection = qApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
  const auto atom = [connection](const char* name) {
    std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, std::uint16_t(strlen(name)), name),
                              nullptr),
        &std::free);
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
  };
  std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> reply(
      xcb_get_property_reply(connection,
                             xcb_get_property(connection, 0, xcb_window_t(widget.winId()),
                                              atom("_NET_WM_STATE"), XCB_ATOM_ATOM, 0, 64),
                             nullptr),
      &std::free);
  std::set<std::string> names;
  if (!reply || reply->format != 32) return names;
  const auto* atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply.get()));
  for (int i = 0; i < xcb_get_property_value_length(reply.get()) / 4; ++i) {
    std::unique_ptr<xcb_get_atom_name_reply_t, decltype(&std::free)> name(
        xcb_get_atom_name_reply(connection, xcb_get_atom_name(connection, atoms[i]), nullptr), &std::free);
    if (name) names.emplace(xcb_get_atom_name_name(name.get()), xcb_get_atom_name_name_length(name.get()));
  }
  return names;
}

TEST(TaskBar, DockStateOneKeepsEveryWindowOutOfTheTaskBarAndPager) {
  ASSERT_EQ(QGuiApplication::platformName(), "xcb");
  for (const std::int64_t dockState : {1, 0}) {
    testsupport::TempDir dir;
    foundation::UserDefaults defaults(dir.file("settings.plist"));
    defaults.set("DockState", foundation::Value(dockState));
    AppDelegate delegate(defaults, true);
    delegate.launch();
    delegate.showHidePreferencesFrom();
    delegate.previewWindow().show();
    PreferencesWindow& preferences = delegate.preferencesPanel();
    preferences.showPage(PreferencesWindow::Page::Appearance);
    EXPECT_TRUE(preferences.dockStatePopUp()->isVisibleTo(&preferences) &&
                preferences.dockStatePopUp()->isEnabled());
    EXPECT_EQ(preferences.dockStatePopUp()->currentIndex(), dockState);
    for (QWidget* window : {static_cast<QWidget*>(&delegate.window()), static_cast<QWidget*>(&preferences),
                            static_cast<QWidget*>(&delegate.previewWindow())}) {
      ASSERT_TRUE(QTest::qWaitForWindowExposed(window, 20000)) << window->windowTitle().toStdString();
      const std::set<std::string> states = netWmState(*window);
      EXPECT_EQ(states.count("_NET_WM_STATE_SKIP_TASKBAR"), std::size_t(dockState))
          << dockState << " " << window->windowTitle().toStdString();
      EXPECT_EQ(states.count("_NET_WM_STATE_SKIP_PAGER"), std::size_t(dockState))
          << dockState << " " << window->windowTitle().toStdString();
    }
  }
}

}  // namespace
