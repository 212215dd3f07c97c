// The screen after a setting changed: the preview window's view shows the
// engine's render of its picture, scaled into the picture's rectangle.

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QTest>
#include <cmath>

#include "converter/converter_view.h"
#include "converter/converter_window.h"
#include "converter/direct_preview_render.h"
#include "converter/preview_live_preview_target.h"
#include "engine/imported_image.h"
#include "filters/cifiltering.h"
#include "platform/ui/flipped_coordinates.h"
#include "preview/preview_geometry.h"
#include "preview/preview_image_view.h"
#include "preview/preview_picture.h"

namespace velumar {
namespace {

QImage stripes(int width, int height) {
  QImage image(width, height, QImage::Format_RGBA8888_Premultiplied);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      image.setPixelColor(x, y,
                          QColor((x * 255) / width, ((x / 16 + y / 16) % 2) * 180 + 40, (y * 255) / height));
  return image;
}

TEST(LivePreviewScreen, TheViewShowsTheRenderScaledIntoItsRectangle) {
  ConverterWindow converter;
  PreviewImageView preview;
  preview.setGeometry(100, 100, 640, 480);
  preview.showPicture(previewPictureFromImage(stripes(800, 600)), "/nonexistent/stripes.png", false);
  preview.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&preview));
  ConverterView& view = *converter.converterView();
  view.setPreviewImageView(&preview);

  // The saturation slider of slot 57 moved.
  FilterInfo slot;
  slot.saturationLevel = 0.3;
  view.importedImage()->ciPhotoFilters->setFilterInfo0(slot);
  view.form().controls.filterTypePopUp0.selectedIndex = 57;
  view.refreshLivePreview();
  ASSERT_TRUE(QTest::qWaitFor([&] { return view.livePreview().resultsInstalled() == 1; }, 10000));

  const auto rendered =
      convertertest::directPreviewRender(preview, slot, view.readCurrentPresetValues()).image;
  ASSERT_TRUE(rendered);
  const QImage expectedPicture = PreviewLivePreviewTarget::pictureOf(*rendered);

  QTest::qWait(300);
  const raster::Rect rect = drawingRectForImage(
      {double(preview.width()), double(preview.height())},
      {double(expectedPicture.width()), double(expectedPicture.height())}, preview.pixelScaling());
  const QRect target =
      ui::flippedRect({rect.origin.x, rect.origin.y, rect.size.width, rect.size.height}, preview.height())
          .toRect()
          .adjusted(2, 2, -2, -2);
  const QPoint origin = preview.mapToGlobal(target.topLeft());
  const QImage screen = QGuiApplication::primaryScreen()
                            ->grabWindow(0, origin.x(), origin.y(), target.width(), target.height())
                            .toImage()
                            .convertToFormat(QImage::Format_RGB32);
  QImage expected(preview.size(), QImage::Format_RGB32);
  expected.fill(Qt::black);
  {
    QPainter painter(&expected);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(
        ui::flippedRect({rect.origin.x, rect.origin.y, rect.size.width, rect.size.height}, preview.height()),
        expectedPicture);
  }
  ASSERT_EQ(screen.size(), target.size());
  double sum = 0, largest = 0;
  for (int y = 0; y < target.height(); ++y)
    for (int x = 0; x < target.width(); ++x) {
      const QRgb got = screen.pixel(x, y), want = expected.pixel(target.x() + x, target.y() + y);
      for (const int shift : {0, 8, 16}) {
        const double error = std::abs(int((got >> shift) & 0xFF) - int((want >> shift) & 0xFF)) / 255.0;
        sum += error;
        largest = std::max(largest, error);
      }
    }
  const double mean = sum / (3.0 * target.width() * target.height());
  EXPECT_LE(mean, 1.0 / 255);
  EXPECT_LE(largest, 8.0 / 255);
  view.setPreviewImageView(nullptr);
}

}  // namespace
}  // namespace velumar
