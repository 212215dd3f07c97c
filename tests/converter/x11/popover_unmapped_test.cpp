// A popover that the window system took off the screen behind our back (as
// a window manager does with the tool windows of an inactive application)
// counts as closed: one click on its button opens it again.

#include <gtest/gtest.h>

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
  choose->setEnabled(true);
  choose->click();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(saveTo));

  ASSERT_TRUE(xdotool({"windowunmap", QString::number(saveTo->winId())}));
  EXPECT_TRUE(QTest::qWaitFor([&] { return !saveTo->isVisible(); }, 5000));
  EXPECT_FALSE(choose->isChecked());

  choose->click();
  EXPECT_TRUE(QTest::qWaitForWindowExposed(saveTo));
  EXPECT_TRUE(choose->isChecked());
}

}  // namespace
}  // namespace velumar
