#include "preview/preview_image_view.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <cmath>

#include "engine/imported_image.h"
#include "platform/foundation/notification_center.h"
#include "platform/raster/color_space.h"
#include "platform/raster/image_set.h"
#include "support/test_support.h"

namespace velumar {
namespace {

// The converter's crop picker as the preview sees it.
struct HeldCropPicker : CropPickerLink {
  int method = 6;
  raster::Point point{50, 50};
  bool moving = false;
  int redraws = 0;
  int resizeMethod() const override { return method; }
  raster::Point mousePoint() const override { return point; }
  void setMousePoint(raster::Point p) override { point = p; }
  bool viewIsMovingMouse() const override { return moving; }
  void setViewIsMovingMouse(bool m) override { moving = m; }
  void setNeedsDisplay() override { ++redraws; }
};

QImage filled(int width, int height, QColor color) {
  QImage image(width, height, QImage::Format_RGBA8888_Premultiplied);
  image.fill(color);
  return image;
}

// Shows a plain picture of the given size as the current entry.
void showPlain(PreviewImageView& view, int width, int height, QColor color) {
  PreviewPicture picture;
  picture.image = filled(width, height, color);
  picture.pixelSize = {double(width), double(height)};
  view.showPicture(picture, "/nowhere/plain.png");
}

// The box of pixels that differ from the background colour.
QRect inkBox(const QImage& image, QRgb background) {
  int left = image.width(), top = image.height(), right = -1, bottom = -1;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (image.pixel(x, y) != background) {
        left = std::min(left, x), right = std::max(right, x);
        top = std::min(top, y), bottom = std::max(bottom, y);
      }
  return right < 0 ? QRect() : QRect(QPoint(left, top), QPoint(right, bottom));
}

// A processed white picture with a black text watermark rendered on it.
QImage renderedText(int width, int height, const std::string& text, raster::Point origin, double angle = 0) {
  PreviewImageView view;
  showPlain(view, 10, 10, Qt::white);
  view.setProcessedImage(filled(width, height, Qt::white), {double(width), double(height)});
  view.watermarks().watermarkDrawString = text;
  ImageModifyInfo info = view.previewInfo();
  info.addWatermarkText = true;
  info.textOrigin = origin;
  info.textAngle = angle;
  view.drawTextAndImageWithInfo(info);
  EXPECT_TRUE(view.drawImageOnly());
  return view.shownImage();
}

TEST(PreviewImageView, EmptyStateShowsOnlyThePlaceholderAndTheInvitation) {
  PreviewImageView view;
  view.resize(800, 600);
  EXPECT_TRUE(view.isOriginalImage());
  const QImage shot = view.grab().toImage();
  const QRgb background = shot.pixel(5, 5);
  // Nothing outside the placeholder square, the text box and its shadow.
  const QRect ink = inkBox(shot, background);
  EXPECT_GE(ink.left(), (800 - 302) / 2 - 25);
  EXPECT_LE(ink.right(), (800 + 302) / 2 + 25);
  // White text below the square (y up: 72 points under the lower-middle).
  int white = 0;
  for (int y = 400; y < 500; ++y)
    for (int x = 249; x < 551; ++x) white += shot.pixelColor(x, y).lightness() > 240;
  EXPECT_GT(white, 100);
}

TEST(PreviewImageView, ShowingAFileKeepsTheCapAndReportsTheFilesSize) {
  testsupport::TempDir dir;
  const std::string path = dir.file("big.jpg");
  ASSERT_EQ(testsupport::runCommand({"/usr/bin/convert", "-size", "4000x3000", "xc:orange", path}).exitCode,
            0);
  PreviewImageView view;
  QSignalSpy sizeLabel(&view, &PreviewImageView::imageSizeLabelChanged);
  QSignalSpy infoLabel(&view, &PreviewImageView::imageInfoLabelChanged);
  int announced = 0;
  auto token = foundation::NotificationCenter::defaultCenter().addObserver(
      "previewNewImageFromDragAndDrop", [&](const foundation::Notification&) { ++announced; });
  ASSERT_TRUE(view.showFile(path));
  EXPECT_FALSE(view.isOriginalImage());
  EXPECT_EQ(view.shownImage().size(), QSize(2048, 1536));
  EXPECT_EQ(view.imageURLSize().width, 4000);
  ASSERT_EQ(sizeLabel.count(), 1);
  EXPECT_EQ(sizeLabel[0][0].toString(), "4000 x 3000");
  EXPECT_EQ(infoLabel[0][0].toString(), "jpg , 8 bit");
  EXPECT_EQ(view.previewURL(), path);
  EXPECT_EQ(announced, 1);
  // A file that cannot be shown changes nothing.
  EXPECT_FALSE(view.showFile(dir.file("missing.png")));
  EXPECT_EQ(view.previewURL(), path);
  EXPECT_EQ(announced, 1);
}

TEST(PreviewImageView, TheUnprocessedPictureIsFittedAndRounded) {
  PreviewImageView view;
  view.resize(801, 600);
  showPlain(view, 300, 300, Qt::red);
  view.setShowOriginalImage(true);
  double ratio = 0;
  const raster::Rect rect = view.drawingRectForOriginalImage(&ratio);
  EXPECT_EQ(rect, raster::Rect(101, 0, 600, 600));  // 100.5 rounded away from zero
  EXPECT_EQ(ratio, 2);
  const QImage shot = view.grab().toImage();
  EXPECT_EQ(shot.pixelColor(102, 300), QColor(Qt::red));
  EXPECT_EQ(shot.pixelColor(699, 300), QColor(Qt::red));
  EXPECT_NE(shot.pixelColor(99, 300), QColor(Qt::red));
}

TEST(PreviewImageView, WatermarkTextScalesWithTheBitmap) {
  // Capital height of an "H" against the em of 144 × min(W / 1600, H / 1200).
  const struct {
    int width, height;
    double em;
  } cases[] = {{1600, 1200, 144}, {3200, 2400, 288}, {1600, 600, 72}};
  for (const auto& c : cases) {
    const QImage image = renderedText(c.width, c.height, "H", {50, 50});
    const QRect ink = inkBox(image, qRgba(255, 255, 255, 255));
    ASSERT_FALSE(ink.isEmpty()) << c.width;
    EXPECT_NEAR(ink.height() / c.em, 0.73, 0.05) << c.width;
    // Centred on the origin.
    EXPECT_NEAR(ink.center().x(), c.width / 2.0, c.em * 0.1) << c.width;
  }
}

TEST(PreviewImageView, WatermarkOriginsAndTurns) {
  // (0, 0): centred on the lower-left corner, half of it outside.
  const QImage corner = renderedText(1600, 1200, "HHH", {0, 0});
  const QRect cornerInk = inkBox(corner, qRgba(255, 255, 255, 255));
  EXPECT_EQ(cornerInk.left(), 0);
  EXPECT_EQ(cornerInk.bottom(), 1199);
  EXPECT_LT(cornerInk.top(), 1199 - 20);
  // 90 degrees turns clockwise: the text reads from top to bottom, so its
  // first (heavy) letter is in the upper half.
  const QImage turned = renderedText(1600, 1200, "H.....", {50, 50}, 90);
  const QRect ink = inkBox(turned, qRgba(255, 255, 255, 255));
  EXPECT_GT(ink.height(), ink.width());
  int upper = 0, lower = 0;
  for (int y = ink.top(); y <= ink.bottom(); ++y)
    for (int x = ink.left(); x <= ink.right(); ++x)
      if (turned.pixelColor(x, y).lightness() < 128) (y < ink.center().y() ? upper : lower)++;
  EXPECT_GT(upper, 3 * lower);
}

TEST(PreviewImageView, ThePictureWatermarkLiesUnderTheText) {
  PreviewImageView view;
  showPlain(view, 10, 10, Qt::white);
  view.setProcessedImage(filled(1600, 1200, Qt::white), {1600, 1200});
  std::vector<std::uint8_t> red(400 * 400 * 4);
  for (std::size_t i = 0; i < red.size(); i += 4) red[i] = red[i + 3] = 255;
  view.watermarks().watermarkImage = std::make_shared<raster::ImageSet>(
      raster::ImageSet::withRepresentation(raster::BitmapImageRep::withImage(raster::Image::make(
          400, 400, raster::PixelFormat::rgba8(), raster::ColorSpace::sRGB(), std::move(red)))));
  view.watermarks().watermarkDrawString = "H";
  ImageModifyInfo info = view.previewInfo();
  info.addWatermarkText = info.addWatermarkImage = true;
  info.textOrigin = info.imageOrigin = {50, 50};
  view.drawTextAndImageWithInfo(info);
  const QImage image = view.shownImage();
  // The picture: 400 × 400 at f = 1, centred.
  EXPECT_EQ(inkBox(image, qRgba(255, 255, 255, 255)), QRect(600, 400, 400, 400));
  EXPECT_EQ(image.pixelColor(610, 410), QColor(Qt::red));
  // The "H" is drawn over the picture, black on red.
  int dark = 0;
  for (int y = 400; y < 800; ++y)
    for (int x = 600; x < 1000; ++x) dark += image.pixelColor(x, y).lightness() < 40;
  EXPECT_GT(dark, 1000);
  // A second render starts again from the unwatermarked picture.
  info.addWatermarkImage = false;
  view.drawTextAndImageWithInfo(info);
  EXPECT_EQ(view.shownImage().pixelColor(610, 410), QColor(Qt::white));
}

TEST(PreviewImageView, CropFrameAndGuidesScaleWithTheDrawnPicture) {
  const struct {
    int side;
    double frameWidth, guideWidth;
  } cases[] = {{1000, 3, 2}, {500, 1.5, 1}};
  for (const auto& c : cases) {
    PreviewImageView view;
    view.resize(c.side, c.side);
    showPlain(view, c.side, c.side, Qt::black);
    auto picker = std::make_shared<HeldCropPicker>();
    picker->moving = true;  // a drag in the picker itself
    view.setCropPicker(picker);
    view.setCropOriginalSize({c.side / 2.0, c.side / 2.0});
    const QImage shot = view.grab().toImage();
    // Along the middle row: the frame's left edge at a quarter, a guide at
    // 0.33 of the frame further right; coverage summed across each line.
    const auto coverage = [&](double centre, int row) {
      double sum = 0;
      for (int x = int(centre) - 4; x <= int(centre) + 4; ++x) sum += shot.pixelColor(x, row).redF();
      return sum;
    };
    // The guides are dashed: the most covered of eight rows crosses a dash.
    const auto dashCoverage = [&](double centre) {
      double most = 0;
      for (int row = c.side / 2; row < c.side / 2 + 8; ++row) most = std::max(most, coverage(centre, row));
      return most;
    };
    const double frameX = c.side / 4.0, guideX = frameX + double(0.33f) * c.side / 2;
    EXPECT_NEAR(coverage(frameX, c.side / 2), c.frameWidth, 0.35) << c.side;
    EXPECT_NEAR(dashCoverage(guideX), c.guideWidth * 0.5, 0.3) << c.side;  // white at alpha 0.5
    EXPECT_DOUBLE_EQ(view.cropCenter().x, 0.5);
  }
}

TEST(PreviewImageView, OneCropPositionPerPickAndOnlyForCroppingMethods) {
  PreviewImageView view;
  view.resize(400, 400);
  showPlain(view, 400, 400, Qt::gray);
  auto picker = std::make_shared<HeldCropPicker>();
  view.setCropPicker(picker);
  int posted = 0;
  auto token = foundation::NotificationCenter::defaultCenter().addObserver(
      "cropImagePosition", [&](const foundation::Notification&) { ++posted; });
  const struct {
    int method;
    int posts;
  } cases[] = {{6, 1}, {16, 1}, {1, 0}, {7, 0}};
  for (const auto& c : cases) {
    posted = 0;
    picker->method = c.method;
    picker->point = {50, 50};
    QTest::mousePress(&view, Qt::LeftButton, {}, QPoint(100, 300));
    EXPECT_EQ(view.isCropping(), c.posts == 1) << c.method;
    QTest::mouseMove(&view, QPoint(200, 200));
    QTest::mouseRelease(&view, Qt::LeftButton, {}, QPoint(500, 100));  // beyond the picture
    EXPECT_EQ(posted, c.posts) << c.method;
    EXPECT_FALSE(picker->moving);
    EXPECT_FALSE(view.isCropping());
    if (c.posts) {
      // y up, in percent of the picture, not clamped.
      EXPECT_DOUBLE_EQ(picker->point.x, 125);
      EXPECT_DOUBLE_EQ(picker->point.y, 75);
    }
  }
  // Refused while the list is blocked.
  picker->method = 6;
  view.setCanAcceptImages([] { return false; });
  QTest::mousePress(&view, Qt::LeftButton, {}, QPoint(100, 100));
  QTest::mouseRelease(&view, Qt::LeftButton, {}, QPoint(100, 100));
  EXPECT_EQ(posted, 0);
}

TEST(PreviewImageView, OverlaysFollowThePointerAndTheBlock) {
  PreviewImageView view;
  view.resize(400, 300);
  QWidget process(&view), info(&view);
  QMenu menu;
  menu.addAction("Item");
  view.setOverlayViews(&process, &info);
  view.setContextMenu(&menu);
  view.show();
  const auto enter = [&] {
    QEnterEvent event(QPointF(10, 10), QPointF(10, 10), QPointF(10, 10));
    QApplication::sendEvent(&view, &event);
  };
  const auto leave = [&] {
    QEvent event(QEvent::Leave);
    QApplication::sendEvent(&view, &event);
  };
  enter();  // the empty state keeps them hidden
  EXPECT_FALSE(process.isVisible());
  showPlain(view, 40, 30, Qt::blue);
  enter();
  EXPECT_TRUE(process.isVisible());
  EXPECT_TRUE(info.isVisible());
  leave();
  EXPECT_FALSE(process.isVisible());
  EXPECT_FALSE(info.isVisible());
  // Blocked: entering changes nothing and a right click shows no menu.
  bool accepting = false;
  view.setCanAcceptImages([&] { return accepting; });
  enter();
  EXPECT_FALSE(process.isVisible());
  QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(20, 20), view.mapToGlobal(QPoint(20, 20)));
  QApplication::sendEvent(&view, &click);
  EXPECT_FALSE(menu.isVisible());
  accepting = true;
  QApplication::sendEvent(&view, &click);
  EXPECT_TRUE(menu.isVisible());
  menu.hide();
}

}  // namespace
}  // namespace velumar
