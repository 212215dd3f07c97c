// The drop zone's flat fill, at rest and under a drag, over the window's
// background.

#include <gtest/gtest.h>

#include <QImage>

#include "converter/drop_zone_widget.h"

namespace velumar {
namespace {

TEST(DropZoneDrawing, PlainFillAtRestAndAccentUnderADrag) {
  const QColor background = QColor::fromRgbF(0.192f, 0.192f, 0.192f);
  struct Case {
    bool dragging;
    QColor expected;
  };
  const QColor accent = QColor::fromRgbF(0.0f, 0.62f, 0.89f);
  const auto over = [&](double alpha) {
    return QColor::fromRgbF(float(alpha * accent.redF() + (1 - alpha) * background.redF()),
                            float(alpha * accent.greenF() + (1 - alpha) * background.greenF()),
                            float(alpha * accent.blueF() + (1 - alpha) * background.blueF()));
  };
  for (const Case& c : {Case{false, QColor::fromRgbF(0.18f, 0.17f, 0.18f)}, Case{true, over(0.8)}}) {
    DropZoneWidget zone;
    zone.resize(200, 150);
    zone.setHighlighted(c.dragging);
    QImage image(zone.size(), QImage::Format_ARGB32);
    image.fill(background);
    zone.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    for (const QPoint at : {QPoint(0, 0), QPoint(100, 75), QPoint(199, 149)}) {
      const QColor got = image.pixelColor(at);
      EXPECT_NEAR(got.red(), c.expected.red(), 1) << c.dragging;
      EXPECT_NEAR(got.green(), c.expected.green(), 1) << c.dragging;
      EXPECT_NEAR(got.blue(), c.expected.blue(), 1) << c.dragging;
    }
  }
}

}  // namespace
}  // namespace velumar
