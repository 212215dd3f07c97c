// A popover that the window system took off the screen behind our back (as
// a window manager does with the tool windows of an inactive application)
// counts as closed: one click on its button opens it again.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QTest>
#include <QWindow>

#include "converter/converter_view.h"
#include "converter/converter_window.h"
#include "platform/ui/popover.h"
#include "xdotool.h"

namespace velumar {
namespace {

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
