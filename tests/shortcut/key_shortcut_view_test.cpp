#include <gtest/gtest.h>
#include <linux/input-event-codes.h>

#include <QMainWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include "recorder_keys.h"
#include "shortcut/key_shortcut_view.h"

using namespace shortcut;
using recorder_keys::press;
using recorder_keys::release;
namespace m = shortcut::modifiers;

namespace {

struct Recorder {
  QMainWindow window;
  KeyShortcutView* view = new KeyShortcutView;
  Recorder() {
    window.setCentralWidget(view);
    view->resize(200, 24);
    window.show();
    view->setFocus();
  }
  void click(QPoint position) { QTest::mouseClick(view, Qt::LeftButton, {}, position); }
  QPoint inShortcutArea() const { return view->shortcutRect().center(); }
  QPoint inHintArea() const { return view->hintRect().center(); }
};

}  // namespace

TEST(ShortcutRecorder, PromptsShowHeldModifiersAndReturn) {
  Recorder r;
  EXPECT_EQ(r.view->shortcutText(), "Record Shortcut");
  r.click(r.inShortcutArea());
  ASSERT_TRUE(r.view->isRecording());
  EXPECT_EQ(r.view->shortcutText(), "Type Shortcut");
  EXPECT_EQ(r.view->hintText(), "\u238B");
  // Modifier keys come with the modifiers held before them, as from X11.
  press(r.view, Qt::Key_Control, {}, KEY_LEFTCTRL);
  EXPECT_EQ(r.view->shortcutText(), "Ctrl+");
  press(r.view, Qt::Key_Alt, Qt::ControlModifier, KEY_LEFTALT);
  EXPECT_EQ(r.view->shortcutText(), "Ctrl+Alt+");
  release(r.view, Qt::Key_Alt, Qt::ControlModifier | Qt::AltModifier, KEY_LEFTALT);
  EXPECT_EQ(r.view->shortcutText(), "Ctrl+");
  release(r.view, Qt::Key_Control, Qt::ControlModifier, KEY_LEFTCTRL);
  EXPECT_EQ(r.view->shortcutText(), "Type Shortcut");
  EXPECT_TRUE(press(r.view, Qt::Key_K, Qt::ControlModifier | Qt::AltModifier, KEY_K));
  EXPECT_FALSE(r.view->isRecording());
  EXPECT_EQ(r.view->shortcutValue(), KeyShortcut(40, m::kCommand | m::kOption));
  EXPECT_EQ(r.view->shortcutText(), "Ctrl+Alt+K");
  EXPECT_EQ(r.view->hintText(), "\u232B");
}

TEST(ShortcutRecorder, KeysThatEndRecordingOrAreRefused) {
  Recorder r;
  const KeyShortcut old(40, m::kCommand | m::kOption);
  QSignalSpy beeps(r.view, &KeyShortcutView::invalidCombination);
  const struct {
    const char* name;
    Qt::Key key;
    Qt::KeyboardModifiers qt;
    int evdev;
    bool recording;
    std::optional<KeyShortcut> value;
    int beeps;
  } rows[] = {
      {"Backspace clears", Qt::Key_Backspace, {}, KEY_BACKSPACE, false, std::nullopt, 0},
      {"Delete clears", Qt::Key_Delete, {}, KEY_DELETE, false, std::nullopt, 0},
      {"Escape cancels", Qt::Key_Escape, {}, KEY_ESC, false, old, 0},
      {"Shift-A beeps", Qt::Key_A, Qt::ShiftModifier, KEY_A, true, old, 1},
      {"Alt-A beeps", Qt::Key_A, Qt::AltModifier, KEY_A, true, old, 1},
      {"Alt-Space is taken", Qt::Key_Space, Qt::AltModifier, KEY_SPACE, false, KeyShortcut(49, m::kOption),
       0},
      {"F13 alone", Qt::Key_F13, {}, KEY_F13, false, KeyShortcut(105, 0), 0},
  };
  for (const auto& row : rows) {
    r.view->setShortcutValue(old);
    r.click(r.inShortcutArea());
    ASSERT_TRUE(r.view->isRecording()) << row.name;
    beeps.clear();
    press(r.view, row.key, row.qt, row.evdev);
    EXPECT_EQ(r.view->isRecording(), row.recording) << row.name;
    EXPECT_EQ(r.view->shortcutValue(), row.value) << row.name;
    EXPECT_EQ(beeps.size(), row.beeps) << row.name;
    r.view->setRecording(false);
  }
}

TEST(ShortcutRecorder, CloseAndQuitPassThroughWhileRecording) {
  Recorder r;
  r.click(r.inShortcutArea());
  EXPECT_FALSE(press(r.view, Qt::Key_Q, Qt::ControlModifier, KEY_Q));
  EXPECT_FALSE(r.view->isRecording());
  EXPECT_FALSE(r.view->shortcutValue());
}

TEST(ShortcutRecorder, ASecondRecorderStopsTheFirst) {
  Recorder first, second;
  first.click(first.inShortcutArea());
  second.click(second.inShortcutArea());
  EXPECT_FALSE(first.view->isRecording());
  EXPECT_TRUE(second.view->isRecording());
  second.view->setEnabled(false);
  EXPECT_FALSE(second.view->isRecording());
}

TEST(ShortcutRecorder, ClicksInTheHintAreaClearOrCancel) {
  Recorder r;
  r.view->setShortcutValue(KeyShortcut(40, m::kCommand));
  r.click(r.inHintArea());
  EXPECT_FALSE(r.view->shortcutValue());
  EXPECT_FALSE(r.view->isRecording());
  r.click(r.inHintArea());  // no shortcut: any click records
  EXPECT_TRUE(r.view->isRecording());
  r.view->setHinting(true);
  EXPECT_EQ(r.view->shortcutText(), "Cancel");
  r.click(r.inHintArea());
  EXPECT_FALSE(r.view->isRecording());
}

TEST(ShortcutRecorder, MenuConflictShowsTheAlertAndKeepsRecording) {
  Recorder r;
  r.window.menuBar()->addMenu("&File")->addAction("&Save")->setShortcut(QKeySequence("Ctrl+S"));
  r.click(r.inShortcutArea());
  QString title, text;
  QTimer::singleShot(0, [&] {
    auto* alert = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(alert, nullptr);
    title = alert->text();
    text = alert->informativeText();
    alert->accept();
  });
  press(r.view, Qt::Key_S, Qt::ControlModifier, KEY_S);
  EXPECT_EQ(title + "|" + text,
            "The key combination Ctrl+S cannot be used|"
            "This shortcut cannot be used because it is already used by the menu item ‘Save’.");
  EXPECT_TRUE(r.view->isRecording());
  EXPECT_FALSE(r.view->shortcutValue());
}

TEST(ShortcutRecorder, HintAreaWidthFollowsTheAppearance) {
  Recorder r;
  const std::pair<int, int> rows[] = {{0, 23}, {1, 25}, {2, 26}, {5, 23}};
  for (auto [appearance, width] : rows) {
    r.view->setAppearance(appearance);
    EXPECT_EQ(r.view->hintWidth(), width);
    EXPECT_EQ(r.view->hintRect().width(), width);
    EXPECT_EQ(r.view->shortcutRect().width() + width, r.view->width());
  }
}

TEST(ShortcutRecorder, ToolTipsSayGlobalShortcutsAreUnavailableWithoutADisplay) {
  Recorder r;
  r.view->setShortcutValue(KeyShortcut(40, m::kCommand));
  // Offscreen there is neither an X server nor a portal.
  EXPECT_EQ(r.view->toolTipAt(r.inHintArea()), "Global shortcuts are not available on this desktop.");
}
