// Global hot keys on a real X server, with keys typed through XTest.
#include <gtest/gtest.h>
#include <linux/input-event-codes.h>
#include <xcb/xtest.h>

#include <QKeyEvent>
#include <QTest>
#include <QWidget>

#include <initializer_list>

#include "shortcut/hot_key_backend.h"
#include "shortcut/key_shortcut_hot_key.h"
#include "shortcut/key_shortcut_view.h"
#include "shortcut/x11_hot_key_backend.h"
#include "shortcut/x11_key_grabs.h"
#include "support/test_support.h"

using namespace shortcut;
namespace m = shortcut::modifiers;

namespace {

// Presses the keys in order and releases them in reverse, as a person would.
void type(std::initializer_list<int> evdevs) {
  xcb_connection_t* conn = x11::connection();
  for (int evdev : evdevs)
    xcb_test_fake_input(conn, XCB_KEY_PRESS, std::uint8_t(evdev + 8), XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
  for (auto it = std::rbegin(evdevs); it != std::rend(evdevs); ++it)
    xcb_test_fake_input(conn, XCB_KEY_RELEASE, std::uint8_t(*it + 8), XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
  xcb_flush(conn);
}

// Waits until count reaches expected, then a little longer so that a
// second, unwanted run would show.
bool settlesAt(const int& count, int expected) {
  (void)QTest::qWaitFor([&] { return count >= expected; }, 3000);
  QTest::qWait(150);
  return count == expected;
}

X11HotKeyBackend& backend() {
  return dynamic_cast<X11HotKeyBackend&>(*hotKeyBackend());
}

const KeyShortcut kCtrlAltK(40, m::kCommand | m::kOption);

}  // namespace

TEST(X11HotKeys, ARegisteredCombinationRunsOnceAlsoWithNumLockAndStopsWhenRemoved) {
  ASSERT_NE(x11::connection(), nullptr);
  ASSERT_NE(x11::numLockMask(), 0);  // the lock variant below is a real one
  int runs = 0;
  auto token = addGlobalHotkeyMonitor(kCtrlAltK, [&] { ++runs; });
  ASSERT_EQ(token, "Ctrl+Alt+K");
  EXPECT_TRUE(backend().isFilterInstalled());

  type({KEY_LEFTCTRL, KEY_LEFTALT, KEY_K});
  EXPECT_TRUE(settlesAt(runs, 1));
  type({KEY_K});  // without the modifiers nothing runs
  type({KEY_NUMLOCK});
  type({KEY_LEFTCTRL, KEY_LEFTALT, KEY_K});
  type({KEY_NUMLOCK});
  EXPECT_TRUE(settlesAt(runs, 2));

  removeGlobalHotkeyMonitor(token);
  EXPECT_FALSE(backend().isFilterInstalled());
  type({KEY_LEFTCTRL, KEY_LEFTALT, KEY_K});
  EXPECT_TRUE(settlesAt(runs, 2));
}

TEST(X11HotKeys, ACombinationHeldByAnotherClientIsRefusedAndTaken) {
  // Another program holds Ctrl+Alt+J.
  xcb_connection_t* other = xcb_connect(nullptr, nullptr);
  ASSERT_EQ(xcb_connection_has_error(other), 0);
  const KeyShortcut ctrlAltJ(38, m::kCommand | m::kOption);
  const auto grab = x11::grabFor(ctrlAltJ);
  ASSERT_TRUE(grab);
  xcb_grab_key(other, 1, x11::rootWindow(), grab->modifiers, grab->keycode, XCB_GRAB_MODE_ASYNC,
               XCB_GRAB_MODE_ASYNC);
  xcb_flush(other);
  free(xcb_get_input_focus_reply(other, xcb_get_input_focus(other), nullptr));  // the grab is in place

  const KeyShortcut ctrlAltH(4, m::kCommand | m::kOption), ctrlAltG(5, m::kCommand | m::kOption);
  const std::uint32_t before = KeyShortcutHotKey::lastHotKeyId();
  auto first = addGlobalHotkeyMonitor(ctrlAltH, [] {});
  EXPECT_FALSE(addGlobalHotkeyMonitor(ctrlAltJ, [] {}));
  auto third = addGlobalHotkeyMonitor(ctrlAltG, [] {});
  ASSERT_TRUE(first && third);
  EXPECT_EQ(KeyShortcutHotKey::lastHotKeyId(), before + 3);  // the refused one took an id too

  QString message;
  EXPECT_TRUE(ctrlAltJ.isTakenError(&message));
  EXPECT_TRUE(
      message.startsWith("This combination cannot be used because it is already used by a system-wide"));
  EXPECT_FALSE(ctrlAltH.isTakenError(nullptr));  // held by this program itself
  EXPECT_FALSE(KeyShortcut(37, m::kCommand | m::kOption).isTakenError(nullptr));
  EXPECT_FALSE(addGlobalHotkeyMonitor(ctrlAltH, [] {}));  // equal description: one monitor

  removeGlobalHotkeyMonitor(first);
  removeGlobalHotkeyMonitor(third);
  xcb_disconnect(other);
}

TEST(X11HotKeys, TheStoredShortcutIsRegisteredAndFollowsChanges) {
  testsupport::TempDir dir;
  foundation::UserDefaults defaults(dir.file("velumar.plist"));
  const KeyShortcut ctrlAltM(46, m::kCommand | m::kOption);
  defaults.set("KeyShortcut", kCtrlAltK.data());
  int runs = 0;
  registerGlobalShortcutWithUserDefaultsKey(
      "KeyShortcut", [&] { ++runs; }, defaults);
  type({KEY_LEFTCTRL, KEY_LEFTALT, KEY_K});
  EXPECT_TRUE(settlesAt(runs, 1));
  // Writes of other keys leave the registration alone.
  const std::uint32_t registered = KeyShortcutHotKey::lastHotKeyId();
  for (int i = 0; i < 5; ++i) defaults.set("Other" + std::to_string(i), i);
  defaults.set("KeyShortcut", kCtrlAltK.data());
  EXPECT_EQ(KeyShortcutHotKey::lastHotKeyId(), registered);

  setGlobalShortcut(ctrlAltM, "KeyShortcut", defaults);
  type({KEY_LEFTCTRL, KEY_LEFTALT, KEY_K});
  type({KEY_LEFTCTRL, KEY_LEFTALT, KEY_M});
  EXPECT_TRUE(settlesAt(runs, 2));

  defaults.set("KeyShortcut", KeyShortcut::emptyData());  // no shortcut: nothing registered
  EXPECT_FALSE(backend().isFilterInstalled());
  setGlobalShortcut(kCtrlAltK, "KeyShortcut", defaults);
  unregisterGlobalShortcutWithUserDefaultsKey("KeyShortcut");
  EXPECT_FALSE(backend().isFilterInstalled());
  type({KEY_LEFTCTRL, KEY_LEFTALT, KEY_K});
  EXPECT_TRUE(settlesAt(runs, 2));
}

TEST(X11HotKeys, TheCombinationRunsAlsoWhileOneOfOurWindowsHasTheFocus) {
  QWidget window;
  window.resize(200, 100);
  window.show();
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window, 3000));
  // The X keyboard focus on our window, as a window manager would set it.
  xcb_set_input_focus(x11::connection(), XCB_INPUT_FOCUS_POINTER_ROOT, xcb_window_t(window.winId()),
                      XCB_CURRENT_TIME);
  xcb_flush(x11::connection());
  QTest::qWait(100);
  int runs = 0, windowKeys = 0;
  auto token = addGlobalHotkeyMonitor(kCtrlAltK, [&] { ++runs; });
  ASSERT_TRUE(token);
  struct KeyCounter : QObject {
    int& keys;
    explicit KeyCounter(int& k) : keys(k) {}
    bool eventFilter(QObject*, QEvent* event) override {
      if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_K) ++keys;
      return false;
    }
  } counter(windowKeys);
  window.installEventFilter(&counter);
  type({KEY_LEFTCTRL, KEY_LEFTALT, KEY_K});
  EXPECT_TRUE(settlesAt(runs, 1));
  EXPECT_EQ(windowKeys, 0);  // the hot key, not a key of the window
  removeGlobalHotkeyMonitor(token);
}

TEST(X11HotKeys, RecorderToolTipsTellWhatAClickDoes) {
  KeyShortcutView view;
  view.resize(200, 24);
  EXPECT_EQ(view.toolTipAt({5, 5}), "");
  view.setShortcutValue(kCtrlAltK);
  EXPECT_EQ(view.toolTipAt(view.shortcutRect().center()), "Click to record new shortcut");
  EXPECT_EQ(view.toolTipAt(view.hintRect().center()), "Delete shortcut");
  view.setRecording(true);
  EXPECT_EQ(view.toolTipAt(view.hintRect().center()), "");
  view.setRecording(false);
}
