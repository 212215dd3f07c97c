#include <gtest/gtest.h>

#include <QAction>
#include <QColorDialog>
#include <QFontMetricsF>
#include <QLabel>
#include <QMenu>
#include <QPixmap>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <cmath>
#include <numbers>

#include "platform/ui/color_well.h"
#include "platform/ui/custom_button.h"
#include "platform/ui/double_dial.h"
#include "platform/ui/double_slider.h"
#include "platform/ui/elided_label.h"
#include "platform/ui/flipped_coordinates.h"
#include "platform/ui/plain_text.h"
#include "platform/ui/pop_up_menu_button.h"
#include "platform/ui/popover.h"

namespace {

TEST(DoubleSlider, KeepsTheExactValueAndClamps) {
  ui::DoubleSlider slider;
  slider.setRange(0, 2);
  QSignalSpy edited(&slider, &ui::DoubleSlider::valueEdited);
  const struct {
    double given, kept;
  } cases[] = {{double(0.123456789f), double(0.123456789f)}, {5, 2}, {-1, 0}, {NAN, 0}, {INFINITY, 0}};
  for (const auto& c : cases) {
    slider.setDoubleValue(c.given);
    EXPECT_EQ(slider.doubleValue(), c.kept) << c.given;
  }
  EXPECT_EQ(edited.count(), 0);  // only the user's moves are reported
  slider.setRange(3, 1);         // an inverted range is refused
  EXPECT_EQ(slider.maximum(), 2);
}

TEST(DoubleSlider, UserMoveReportsThePositionsValue) {
  ui::DoubleSlider slider;
  slider.setRange(0, 100);
  slider.setDoubleValue(50);
  QSignalSpy edited(&slider, &ui::DoubleSlider::valueEdited);
  slider.triggerAction(QAbstractSlider::SliderToMaximum);
  ASSERT_EQ(edited.count(), 1);
  EXPECT_DOUBLE_EQ(edited.front().front().toDouble(), 100);
  EXPECT_DOUBLE_EQ(slider.doubleValue(), 100);
}

TEST(DoubleDial, WrapsIntoOneTurn) {
  constexpr double pi = std::numbers::pi;
  ui::DoubleDial dial;
  const struct {
    double given, kept;
  } cases[] = {{pi, pi}, {2 * pi, 2 * pi}, {5 * pi, pi}, {-pi / 2, 1.5 * pi}, {NAN, 0}};
  for (const auto& c : cases) {
    dial.setDoubleValue(c.given);
    EXPECT_NEAR(dial.doubleValue(), c.kept, 1e-12) << c.given;
  }
  QSignalSpy edited(&dial, &ui::DoubleDial::valueEdited);
  dial.triggerAction(QAbstractSlider::SliderToMinimum);
  ASSERT_EQ(edited.count(), 1);
  EXPECT_DOUBLE_EQ(dial.doubleValue(), 0);

  // A turn of 360: an angle in degrees, wrapped and reported as such.
  dial.setTurn(360);
  dial.setDoubleValue(400);
  EXPECT_DOUBLE_EQ(dial.doubleValue(), 40);
  dial.setDoubleValue(360);
  EXPECT_DOUBLE_EQ(dial.doubleValue(), 360);
  dial.setSliderPosition(dial.maximum() / 4);  // a quarter turn, as a drag
  ASSERT_EQ(edited.count(), 2);
  EXPECT_DOUBLE_EQ(edited.back().front().toDouble(), 90);
}

TEST(FlippedCoordinates, LowerLeftOriginBecomesTopLeft) {
  EXPECT_EQ(ui::flippedRect(QRectF(10, 5, 60, 30), 40), QRectF(10, 5, 60, 30));
  EXPECT_EQ(ui::flippedRect(QRectF(0, 0, 10, 10), 100), QRectF(0, 90, 10, 10));
  EXPECT_EQ(ui::flippedPoint(QPointF(3, 0), 50), QPointF(3, 50));
}

TEST(Popover, SeveralOpenAndClosingTurnsTheButtonOff) {
  QWidget window;
  auto* first = new QPushButton("Face Detector", &window);
  auto* second = new QPushButton("Options", &window);
  window.show();
  ui::Popover firstPopover(new QLabel("face options"));
  ui::Popover secondPopover(new QLabel("options"));
  firstPopover.attachToButton(first);
  secondPopover.attachToButton(second);
  QSignalSpy closed(&firstPopover, &ui::Popover::closed);

  QTest::mouseClick(first, Qt::LeftButton);
  QTest::mouseClick(second, Qt::LeftButton);
  EXPECT_TRUE(firstPopover.isVisible());
  EXPECT_TRUE(secondPopover.isVisible());  // opening one leaves the other open
  EXPECT_TRUE(first->isChecked());

  firstPopover.close();
  EXPECT_FALSE(first->isChecked());
  EXPECT_EQ(closed.count(), 1);
  EXPECT_TRUE(secondPopover.isVisible());
  QTest::mouseClick(second, Qt::LeftButton);  // the button toggles it shut
  EXPECT_FALSE(secondPopover.isVisible());
}

TEST(PopUpMenuButton, ItemsSelectionAndUserPicks) {
  ui::PopUpMenuButton popUp;
  popUp.setItems({"Default", "sRGB", "Gray"});
  QSignalSpy activated(&popUp, &ui::PopUpMenuButton::activated);
  const struct { int index, selected; } cases[] = {{2, 2}, {3, 0}, {-1, 0}, {1, 1}};
  for (const auto& c : cases) {
    popUp.select(c.index);
    EXPECT_EQ(popUp.selectedIndex(), c.selected) << c.index;
  }
  EXPECT_EQ(popUp.text(), "sRGB");
  EXPECT_EQ(activated.count(), 0);
  popUp.setItemEnabled(2, false);
  EXPECT_FALSE(popUp.isItemEnabled(2));
  popUp.menu()->actions().at(0)->trigger();
  ASSERT_EQ(activated.count(), 1);
  EXPECT_EQ(popUp.selectedIndex(), 0);
  QMenu* submenu = popUp.submenuOf(1);
  ASSERT_NE(submenu, nullptr);
  EXPECT_EQ(popUp.submenuOf(1), submenu);  // made once
  EXPECT_EQ(popUp.submenuOf(7), nullptr);
  // Retitled in place: the submenu stays; the button shows the selected
  // item's title and icon.
  popUp.select(1);
  popUp.setItemTitle(1, "Display P3");
  EXPECT_EQ(popUp.text(), "Display P3");
  QPixmap red(8, 8);
  red.fill(Qt::red);
  popUp.setItemIcon(1, QIcon(red));
  EXPECT_EQ(popUp.submenuOf(1), submenu);
  EXPECT_FALSE(popUp.icon().isNull());
  popUp.select(0);
  EXPECT_TRUE(popUp.icon().isNull());
}

TEST(ColorWell, SharedDialogAnswersTheWellThatOpenedIt) {
  ui::ColorWell first, second;
  QSignalSpy firstChosen(&first, &ui::ColorWell::colorChosen);
  QSignalSpy secondChosen(&second, &ui::ColorWell::colorChosen);
  first.setColor(Qt::red);
  EXPECT_EQ(firstChosen.count(), 0);
  second.click();
  QColorDialog& dialog = ui::ColorWell::sharedColorDialog();
  EXPECT_TRUE(dialog.isVisible());
  emit dialog.colorSelected(QColor(Qt::blue));
  EXPECT_EQ(second.color(), QColor(Qt::blue));
  EXPECT_EQ(secondChosen.count(), 1);
  EXPECT_EQ(firstChosen.count(), 0);
  EXPECT_EQ(first.color(), QColor(Qt::red));
  second.setEnabled(false);  // a disabled well takes no colour
  emit dialog.colorSelected(QColor(Qt::green));
  EXPECT_EQ(second.color(), QColor(Qt::blue));
  dialog.hide();
}

TEST(CustomButton, OnStateAndLabelFrames) {
  ui::CustomButton button("High-Res");
  button.setCheckable(true);
  button.setFrames({5, 5, 90, 30}, {10, 10, 80, 20});
  EXPECT_EQ(button.sizeHint(), QSize(100, 40));
  button.click();
  EXPECT_TRUE(button.isChecked());
  // The pressed fill is blue where the body is.
  const QImage face = button.grab().toImage();
  const QColor middle = face.pixelColor(face.width() / 2, face.height() - 8);
  EXPECT_GT(middle.blue(), 150);
  EXPECT_LT(middle.red(), 60);
}

// At its own size hint a label shows its whole text, in any font: advances
// are fractional and the hint rounds them up. Narrower, it is cut and its
// tooltip holds the text; wider again, it is whole and the tooltip gone.
// At its minimum it shows an ellipsis.
TEST(ElidedLabel, WholeAtItsSizeHintInAnyFont) {
  const QString texts[] = {"jpg , 8 bit",  "png , 8 bit",   "tif , 16 bit", "jpeg , 8 bit",
                           "heic , 8 bit", "tiff , 16 bit", "bmp , 8 bit"};
  const struct {
    const char* family;
    double points;
  } fonts[] = {{"DejaVu Sans", 9}, {"DejaVu Sans", 10.5}, {"DejaVu Serif", 11}, {"Nimbus Sans", 13}};
  for (const auto& [family, points] : fonts) {
    QFont font(family);
    font.setPointSizeF(points);
    for (const QString& text : texts) {
      SCOPED_TRACE(QStringLiteral("%1 %2: %3").arg(family).arg(points).arg(text).toStdString());
      ui::ElidedLabel label;
      label.setFont(font);
      label.setFullText(text);
      label.show();
      const int height = label.sizeHint().height(), whole = label.sizeHint().width();
      for (const auto& [width, cut] : {std::pair{whole, false}, {whole - 1, true}, {whole + 20, false}}) {
        label.resize(width, height);
        EXPECT_EQ(label.text() != text, cut) << width << ": " << label.text().toStdString();
        EXPECT_EQ(label.toolTip().toStdString(), (cut ? ui::plainToolTip(text) : QString()).toStdString())
            << width;
      }
      const int ellipsis = int(std::ceil(QFontMetricsF(label.fontMetrics()).horizontalAdvance(u'\u2026')));
      EXPECT_EQ(label.minimumSizeHint().width(), ellipsis);
      label.resize(label.minimumSizeHint().width(), height);
      EXPECT_EQ(label.text().toStdString(), "\u2026");
    }
  }
}

}  // namespace
