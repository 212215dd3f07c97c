// Focus and hiding on a real X server: another program taking the focus
// dims the drop zone and giving it back restores it; hiding and showing the
// application brings the converter back as the active window.
#include <gtest/gtest.h>

#include <xcb/xtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <vector>

#include <QApplication>
#include <QGuiApplication>
#include <QMessageBox>
#include <QProcess>
#include <QTest>

#include "app/app_delegate.h"
#include "converter/converter_view.h"
#include "converter/converter_window.h"
#include "platform/foundation/user_defaults.h"
#include "shortcut/key_shortcut_hot_key.h"
#include "support/test_support.h"

using namespace velumar;

namespace {

// A real click through XTest at the middle of widget.
void clickOn(QWidget& widget) {
  auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
  ASSERT_NE(x11, nullptr);
  xcb_connection_t* connection = x11->connection();
  const QPoint middle = widget.mapToGlobal(widget.rect().center());
  const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
  xcb_test_fake_input(connection, XCB_MOTION_NOTIFY, 0, XCB_CURRENT_TIME, root, std::int16_t(middle.x()),
                      std::int16_t(middle.y()), 0);
  xcb_test_fake_input(connection, XCB_BUTTON_PRESS, 1, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
  xcb_test_fake_input(connection, XCB_BUTTON_RELEASE, 1, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
  xcb_flush(connection);
  QTest::qWait(100);
}

// The top-level windows on the X server, bottom of the stack first.
std::vector<xcb_window_t> stackingOrder() {
  xcb_connection_t* connection = qApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
  const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
  xcb_query_tree_reply_t* tree = xcb_query_tree_reply(connection, xcb_query_tree(connection, root), nullptr);
  if (!tree) return {};
  const xcb_window_t* children = xcb_query_tree_children(tree);
  std::vector<xcb_window_t> order(children, children + xcb_query_tree_children_length(tree));
  std::free(tree);
  return order;
}

class FocusTest : public ::testing::Test {
 protected:
  FocusTest() {
    delegate_.launch();
    window().activateWindow();
    (void)QTest::qWaitForWindowActive(&window(), 20000);
  }
  ~FocusTest() override {
    if (other_.state() != QProcess::NotRunning) {
      other_.kill();
      other_.waitForFinished();
    }
  }
  ConverterWindow& window() { return delegate_.window(); }

  testsupport::TempDir dir_;
  foundation::UserDefaults defaults_{dir_.file("settings.plist")};
  AppDelegate delegate_{defaults_, true};
  QProcess other_;
};

}  // namespace

TEST_F(FocusTest, AnotherProgramsFocusDimsTheDropZone) {
  ASSERT_EQ(QApplication::activeWindow(), &window());
  EXPECT_FALSE(delegate_.converterView().drawForDeactive());
  other_.start(QStringLiteral(FAKE_DESKTOP_SERVICES), {QStringLiteral("--window")});
  ASSERT_TRUE(other_.waitForReadyRead(30000));
  EXPECT_TRUE(QTest::qWaitFor([this] { return delegate_.converterView().drawForDeactive(); }, 20000));
  EXPECT_EQ(QGuiApplication::applicationState(), Qt::ApplicationInactive);
  // The user clicks the converter: the X server grants the focus only to a
  // request newer than the other program's.
  clickOn(window());
  delegate_.showBringToFrontAppFrom();
  EXPECT_TRUE(QTest::qWaitFor([this] { return !delegate_.converterView().drawForDeactive(); }, 20000));
  EXPECT_EQ(QGuiApplication::applicationState(), Qt::ApplicationActive);
}

TEST_F(FocusTest, HideThenUnhideShowsTheConverterActive) {
  delegate_.showHideAppFrom();
  EXPECT_TRUE(delegate_.isHidden());
  QTest::qWait(200);
  delegate_.showBringToFrontAppFrom();
  EXPECT_FALSE(delegate_.isHidden());
  EXPECT_TRUE(QTest::qWaitForWindowActive(&window(), 20000));
  EXPECT_TRUE(window().isVisible());
  EXPECT_FALSE(window().isMinimized());
}

// However the converter comes forward, a refused-files alert still open
// stays above it.
TEST_F(FocusTest, TheRefusedFilesAlertStaysAboveTheConverterBroughtForward) {
  const struct {
    const char* way;
    std::function<void()> bringForward;
  } rows[] = {{"bring to front", [this] { delegate_.showBringToFrontAppFrom(); }},
              {"hide and show", [this] {
                 delegate_.showHideAppFrom();
                 QTest::qWait(200);
                 delegate_.showHideAppFrom();
               }}};
  delegate_.refuseFilesDuringConversion({"/a.jpg"});
  QMessageBox* alert = delegate_.refusedFilesAlert();
  ASSERT_TRUE(alert);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(alert, 20000));
  for (const auto& row : rows) {
    row.bringForward();
    QTest::qWait(300);
    const std::vector<xcb_window_t> order = stackingOrder();
    const auto at = [&order](QWidget* widget) {
      return std::find(order.begin(), order.end(), xcb_window_t(widget->winId())) - order.begin();
    };
    ASSERT_TRUE(alert->isVisible()) << row.way;
    EXPECT_LT(at(&window()), at(alert)) << row.way;
    EXPECT_LT(at(alert), std::ptrdiff_t(order.size())) << row.way;
  }
}

TEST(GlobalShortcut, StoredShortcutIsRegisteredOnceLaunched) {
  testsupport::TempDir dir;
  foundation::UserDefaults defaults(dir.file("settings.plist"));
  shortcut::setGlobalShortcut(
      shortcut::KeyShortcut(37, shortcut::modifiers::kCommand | shortcut::modifiers::kOption), "KeyShortcut",
      defaults);
  AppDelegate delegate(defaults, true);
  EXPECT_FALSE(delegate.isShortcutEnabled());
  delegate.launch();
  EXPECT_TRUE(delegate.isShortcutEnabled());
  // Removing the stored shortcut releases the hot key.
  shortcut::setGlobalShortcut(std::nullopt, "KeyShortcut", defaults);
  EXPECT_FALSE(delegate.isShortcutEnabled());
}
