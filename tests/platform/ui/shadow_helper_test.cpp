#include "platform/ui/shadow_helper.h"

#include <gtest/gtest.h>

#include <QPainter>
#include <QPainterPath>
#include <cmath>

namespace {

QImage opaqueSquare(int side) {
  QImage mask(side, side, QImage::Format_Alpha8);
  mask.fill(255);
  return mask;
}

double totalAlpha(const QImage& image) {
  double sum = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) sum += qAlpha(image.pixel(x, y));
  return sum;
}

TEST(ShadowHelper, BlurSpreadsTheMaskWithoutLosingItsWeight) {
  const struct {
    double blur;
    int expectedSide;
  } cases[] = {{0.0, 20}, {2.0, 26}, {8.0, 44}};
  for (const auto& c : cases) {
    const QImage shadow = ui::shadowOfMask(opaqueSquare(20), c.blur, QColor(0, 0, 0, 255));
    ASSERT_EQ(shadow.width(), c.expectedSide) << c.blur;
    ASSERT_EQ(shadow.height(), c.expectedSide);
    EXPECT_NEAR(totalAlpha(shadow), 400.0 * 255.0, 400.0 * 255.0 * 0.01) << c.blur;
    const int mid = shadow.width() / 2;
    // Darkest in the middle, fading towards the edge along a row.
    for (int x = 1; x <= mid; ++x) EXPECT_LE(qAlpha(shadow.pixel(x - 1, mid)), qAlpha(shadow.pixel(x, mid)));
    if (c.blur > 0) {
      EXPECT_LT(qAlpha(shadow.pixel(0, mid)), 3);
    }
    if (c.blur > 4) {
      EXPECT_LT(qAlpha(shadow.pixel(mid, mid)), 255);
    }
  }
}

TEST(ShadowHelper, TintsPremultiplied) {
  const QImage shadow = ui::shadowOfMask(opaqueSquare(4), 0.0, QColor(255, 0, 0, 128));
  const QRgb pixel = shadow.pixel(1, 1);  // as stored: premultiplied
  EXPECT_EQ(qAlpha(pixel), 128);
  EXPECT_EQ(qRed(pixel), 128);
  EXPECT_EQ(qGreen(pixel), 0);
  EXPECT_EQ(shadow.format(), QImage::Format_ARGB32_Premultiplied);
}

QPainterPath roundedRect(QRectF rect, double radius) {
  QPainterPath path;
  path.addRoundedRect(rect, radius, radius);
  return path;
}

QImage transparentCanvas(int side, double ratio = 1.0) {
  QImage canvas(int(side * ratio), int(side * ratio), QImage::Format_ARGB32_Premultiplied);
  canvas.fill(Qt::transparent);
  canvas.setDevicePixelRatio(ratio);
  return canvas;
}

TEST(ShadowHelper, RefusesEmptyAndAbsurdInput) {
  EXPECT_TRUE(ui::shadowOfMask(QImage(), 4.0, Qt::black).isNull());
  ui::clearShadowCache();
  QImage canvas = transparentCanvas(50);
  QPainter painter(&canvas);
  ui::drawShadow(painter, QPainterPath(), {});
  ui::drawShadow(painter, roundedRect({0, 0, 1e9, 10}, 2), {});
  ui::drawShadow(painter, roundedRect({0, 0, 10, NAN}, 2), {});
  EXPECT_EQ(ui::shadowCacheSize(), 0);
  ui::drawShadow(painter, roundedRect({5, 5, 10, 10}, 2), {NAN, {0, 0}, Qt::black});   // as no blur
  ui::drawShadow(painter, roundedRect({5, 5, 10, 10}, 2), {1e12, {0, 0}, Qt::black});  // bounded
  EXPECT_EQ(ui::shadowCacheSize(), 2);
}

TEST(ShadowHelper, ShadowsAreCachedPerShapeAndRatioNotPosition) {
  ui::clearShadowCache();
  const ui::ShadowStyle style{6.0, {0, 2}, Qt::black};
  QImage canvas = transparentCanvas(100), sharp = transparentCanvas(100, 2.0);
  QPainter painter(&canvas), sharpPainter(&sharp);
  ui::drawShadow(painter, roundedRect({10, 10, 60, 30}, 8), style);
  ui::drawShadow(painter, roundedRect({20, 40, 60, 30}, 8), style);  // moved: same image
  EXPECT_EQ(ui::shadowCacheSize(), 1);
  ui::drawShadow(painter, roundedRect({10, 10, 61, 30}, 8), style);
  ui::drawShadow(painter, roundedRect({10, 10, 60, 30}, 4), style);
  ui::drawShadow(sharpPainter, roundedRect({10, 10, 60, 30}, 8), style);
  ui::drawInnerShadow(painter, roundedRect({10, 10, 60, 30}, 8), style);
  EXPECT_EQ(ui::shadowCacheSize(), 5);
}

TEST(ShadowHelper, DrawsUnderTheShapeAtTheOffsetInEveryRatio) {
  for (double ratio : {1.0, 2.0}) {
    QImage canvas = transparentCanvas(100, ratio);
    {
      QPainter painter(&canvas);
      ui::drawShadow(painter, roundedRect({20, 20, 40, 20}, 0), {2.0, {0, 10}, Qt::black});
    }
    const auto alphaAt = [&](int x, int y) { return qAlpha(canvas.pixel(int(x * ratio), int(y * ratio))); };
    // Shifted 10 down: covers y 30..50, not the shape's top rows.
    EXPECT_GT(alphaAt(40, 45), 250) << ratio;
    EXPECT_LT(alphaAt(40, 22), 5) << ratio;
    EXPECT_EQ(alphaAt(90, 90), 0) << ratio;
  }
}

TEST(ShadowHelper, InnerShadowFallsInsideAlongTheEdgeFacingTheLight) {
  QImage canvas = transparentCanvas(100);
  {
    QPainter painter(&canvas);
    ui::drawInnerShadow(painter, roundedRect({20, 20, 60, 60}, 0), {6.0, {0, 4}, Qt::black});
  }
  EXPECT_EQ(qAlpha(canvas.pixel(50, 10)), 0);    // nothing outside
  EXPECT_GT(qAlpha(canvas.pixel(50, 21)), 150);  // dark under the top edge
  EXPECT_LT(qAlpha(canvas.pixel(50, 78)), qAlpha(canvas.pixel(50, 21)));
  EXPECT_LT(qAlpha(canvas.pixel(50, 50)), 5);  // clear in the middle
}

}  // namespace
