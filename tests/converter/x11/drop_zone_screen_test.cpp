// What the screen shows: the drop zone lit under a real drag from another
// program and plain again once the drag left, and a format button's fill
// while the mouse holds it down.

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QProcess>
#include <QScreen>
#include <QTest>

#include "converter/converter_view.h"
#include "converter/converter_window.h"
#include "platform/ui/custom_button.h"
#include "support/test_support.h"
#include "xdotool.h"

namespace velumar {
namespace {

// The screen's pixel at a global point.
QColor screenPixel(QPoint global) {
  return QGuiApplication::primaryScreen()
      ->grabWindow(0, global.x(), global.y(), 1, 1)
      .toImage()
      .pixelColor(0, 0);
}

testing::AssertionResult near(const QColor& got, double red, double green, double blue) {
  const double expected[3] = {red, green, blue};
  const double components[3] = {got.redF(), got.greenF(), got.blueF()};
  for (int i = 0; i < 3; ++i)
    if (std::abs(components[i] - expected[i]) > 2.5 / 255)
      return testing::AssertionFailure() << "got " << got.red() << ", " << got.green() << ", " << got.blue();
  return testing::AssertionSuccess();
}

class ScreenTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window_.setGeometry(400, 60, 620, 640);
    window_.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window_));
    QTest::qWait(200);
  }
  // A point inside the drop zone, left of the centre's row of buttons.
  QPoint dropZonePoint() {
    ConverterView& view = *window_.converterView();
    return view.mapToGlobal(QPoint(view.width() / 2, 60));
  }

  testsupport::TempDir dir_;
  ConverterWindow window_;
};

TEST_F(ScreenTest, TheDropZoneLightsUpUnderADragAndNotAfterIt) {
  const QColor background = window_.converterView()->palette().color(QPalette::Window);
  const QPoint zone = dropZonePoint();
  ASSERT_TRUE(near(screenPixel(zone), 0.18, 0.17, 0.18));

  ASSERT_EQ(
      testsupport::runCommand({"/usr/bin/convert", "-size", "4x3", "xc:red", dir_.file("a.png")}).exitCode,
      0);
  QProcess source;
  source.start(QStringLiteral(VELUMAR_DRAG_SOURCE), {QString::fromStdString(dir_.file("a.png")), "20", "20"});
  ASSERT_TRUE(source.waitForStarted());
  ASSERT_TRUE(QTest::qWaitFor([&] { return source.canReadLine(); }, 10000));
  ASSERT_EQ(source.readLine().trimmed(), "ready");

  QProcess drag;
  drag.start(QStringLiteral("xdotool"),
             {"mousemove", "120", "120", "mousedown", "1", "mousemove", "140", "140", "sleep", "0.3",
              "mousemove", QString::number(zone.x() - 20), QString::number(zone.y() + 20), "sleep", "0.3",
              "mousemove", QString::number(zone.x() - 10), QString::number(zone.y() + 10)});
  ASSERT_TRUE(QTest::qWaitFor([&] { return drag.state() == QProcess::NotRunning; }, 10000));
  ASSERT_TRUE(QTest::qWaitFor([&] { return window_.converterView()->drawForDragAndDrop(); }, 5000));
  QTest::qWait(100);
  const double a = 0.8;
  EXPECT_TRUE(near(screenPixel(zone), (1 - a) * background.redF(), a * 0.62 + (1 - a) * background.greenF(),
                   a * 0.89 + (1 - a) * background.blueF()));

  // Out of the window, and let go over nothing.
  ASSERT_TRUE(xdotool({"mousemove", "150", "400", "sleep", "0.3", "mousemove", "140", "420", "sleep", "0.3",
                       "mouseup", "1"}));
  ASSERT_TRUE(QTest::qWaitFor([&] { return !window_.converterView()->drawForDragAndDrop(); }, 5000));
  QTest::qWait(100);
  EXPECT_TRUE(near(screenPixel(zone), 0.18, 0.17, 0.18));
  EXPECT_TRUE(QTest::qWaitFor([&] { return source.state() == QProcess::NotRunning; }, 10000));
}

TEST_F(ScreenTest, AFormatButtonHeldDownFillsBlue) {
  ui::CustomButton* button = window_.converterView()->formatButton(ConversionType::TIFF);
  // A point of the body off the label: 8 points in from its left, y middle.
  const QRectF body = button->buttonFrame();
  const QPoint point = button->mapToGlobal(
      QPoint(int(body.left() + 8), button->height() - int(body.top() + body.height() / 2)));
  ASSERT_TRUE(
      xdotool({"mousemove", QString::number(point.x()), QString::number(point.y()), "mousedown", "1"}));
  ASSERT_TRUE(QTest::qWaitFor([&] { return button->isDown(); }, 5000));
  QTest::qWait(100);
  EXPECT_TRUE(near(screenPixel(point), 0.0, 0.59, 0.886));
  ASSERT_TRUE(xdotool({"mouseup", "1"}));
}

}  // namespace
}  // namespace velumar
