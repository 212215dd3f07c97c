// Popovers on a real X server. Each belongs to the converter window: the
// window manager reads it as transient for that window and keeps it out of
// the task bar (xprop reads the hints as the window manager sees them), as
// it does the processing sheet, and hiding the window closes it. A popover that the window system took off
// the screen behind our back (as a window manager does with the tool
// windows of an inactive application) counts as closed: one click on its
// button opens it again.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QProcess>
#include <QTest>
#include <QWindow>

#include "converter/converter_view.h"
#include "converter/converter_window.h"
#include "converter/processing_sheet.h"
#include "platform/ui/popover.h"
#include "xdotool.h"

namespace velumar {
namespace {

// What xprop prints for a window's transient owner and states.
QString ownerAndStates(WId window) {
  QProcess xprop;
  xprop.start(QStringLiteral("xprop"),
              {QStringLiteral("-id"), QString::number(window), QStringLiteral("WM_TRANSIENT_FOR"),
               QStringLiteral("_NET_WM_STATE")});
  return xprop.waitForFinished(10000) ? QString::fromUtf8(xprop.readAllStandardOutput()) : QString();
}

TEST(PopoverScreen, EveryPopoverBelongsToTheConverterWindow) {
  ConverterWindow converter;
  converter.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&converter));
  // The seven popovers, the curves panel and the three filter-slot options.
  const QList<ui::Popover*> popovers = converter.findChildren<ui::Popover*>();
  ASSERT_EQ(popovers.size(), 11);
  const QString owner = QStringLiteral("window id # 0x%1").arg(converter.winId(), 0, 16);
  const auto expectOwnedAndSkipped = [&owner](QWidget* window) {
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window)) << window->objectName().toStdString();
    const QString hints = ownerAndStates(window->winId());
    EXPECT_TRUE(hints.contains(owner)) << hints.toStdString();
    EXPECT_TRUE(hints.contains(QStringLiteral("_NET_WM_STATE_SKIP_TASKBAR"))) << hints.toStdString();
  };
  for (ui::Popover* popover : popovers) {
    popover->button()->setEnabled(true);
    popover->button()->click();
    expectOwnedAndSkipped(popover);
    EXPECT_TRUE(popover->button()->isChecked()) << popover->objectName().toStdString();
  }
  // The sheet of a batch, shown as a run of several files shows it.
  ConverterView& view = *converter.converterView();
  view.removePresetsButtonFromViewMultipleFiles(true);
  expectOwnedAndSkipped(view.processingSheet());
  view.addPresetsButtonFromView();
  converter.hide();
  for (ui::Popover* popover : popovers) {
    EXPECT_FALSE(popover->isVisible()) << popover->objectName().toStdString();
    EXPECT_FALSE(popover->button()->isChecked()) << popover->objectName().toStdString();
  }
}

TEST(PopoverScreen, AnUnmappedPopoverOpensAgainWithOneClick) {
  ConverterWindow converter;
  converter.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&converter));
  ConverterView& view = *converter.converterView();
  ui::Popover* saveTo = view.popover(ConverterView::PopoverId::SaveTo);
  QAbstractButton* choose = saveTo->button();
  view.findChild<QCheckBox*>("saveStoreDirectoryCheck")->click();  // enables Choose
  ASSERT_TRUE(choose->isEnabled());
  choose->click();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(saveTo));

  // Twice: the second time follows a close of our own.
  for (int round = 0; round < 2; ++round) {
    ASSERT_TRUE(xdotool({"windowunmap", QString::number(saveTo->winId())}));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !saveTo->isVisible(); }, 5000)) << round;
    EXPECT_FALSE(choose->isChecked());

    choose->click();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(saveTo)) << round;
    QTest::qWait(200);  // stays open
    EXPECT_TRUE(saveTo->isVisible()) << round;
    EXPECT_TRUE(choose->isChecked()) << round;
  }
}

}  // namespace
}  // namespace velumar
