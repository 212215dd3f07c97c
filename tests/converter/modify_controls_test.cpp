#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QMouseEvent>
#include <QGraphicsOpacityEffect>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QUrl>
#include <fstream>
#include <numbers>
#include <set>

#include "converter/image_wells.h"
#include "converter/modify_controls.h"
#include "converter/position_picker.h"
#include "converter/tone_curve_view.h"
#include "converter/well_images.h"
#include "converter/window_test_kit.h"
#include "filters/cifiltering.h"
#include "platform/foundation/date_format.h"
#include "platform/foundation/notification_center.h"
#include "platform/ui/custom_button.h"
#include "platform/ui/dark_palette.h"
#include "platform/ui/double_dial.h"
#include "platform/ui/double_slider.h"
#include "platform/ui/popover.h"
#include "preview/preview_image_view.h"
#include "support/test_support.h"

using namespace velumar;
using velumar::convertertest::WindowTest;

namespace {

class ModifyTest : public WindowTest {
 protected:
  ModifyTest() { view().showTab(1); }
  ModifyControls& modify() { return view().modifyControls(); }
  double opacity(QWidget* widget) {
    auto* effect = qobject_cast<QGraphicsOpacityEffect*>(widget->graphicsEffect());
    return effect ? effect->opacity() : 1.0;
  }
  // Counts the posts of a notification while the test runs.
  struct Posts {
    explicit Posts(const char* name)
        : token(foundation::NotificationCenter::defaultCenter().addObserver(
              name, [this](const foundation::Notification& n) {
                ++count;
                last = n;
              })) {}
    int count = 0;
    foundation::Notification last;
    foundation::ObserverToken token;
  };
  void waitForDelayedRead() { QTest::qWait(250); }
  // A well takes every drag it is shown, so none reaches the drop zone
  // behind it; it refuses one with no action.
  static bool taken(const QDropEvent& event) {
    EXPECT_TRUE(event.isAccepted());
    return event.isAccepted() && event.dropAction() != Qt::IgnoreAction;
  }
};

}  // namespace

TEST_F(ModifyTest, FilterPopUpLaysOutItsPopover) {
  pick("filterTypePopUp0", 57);
  auto* button = widget<ui::CustomButton>("optionsPopOverButton0");
  EXPECT_TRUE(button->isEnabled());
  EXPECT_EQ(opacity(button), 1.0);
  EXPECT_EQ(widget<QLabel>("labelSlider0Options0")->text(), "Saturation");
  EXPECT_FALSE(widget<ui::DoubleSlider>("slider0Options0")->isHidden());
  EXPECT_TRUE(widget<ui::DoubleDial>("circularSliderOptions0")->isHidden());
  // The three-slider layout: 280 × 174 points, the first slider 114 up.
  auto* content = view().findChild<QWidget*>("optionsContent0");
  ASSERT_TRUE(content);
  EXPECT_EQ(content->size(), QSize(280, 174));
  EXPECT_EQ(widget<ui::DoubleSlider>("slider0Options0")->geometry().bottom() + 1, 174 - 114);

  button->click();
  auto* popover = view().findChild<ui::Popover*>("optionsPopOver0");
  ASSERT_TRUE(popover);
  EXPECT_TRUE(popover->isVisible());
  pick("filterTypePopUp0", 5);  // a photo effect has no options
  EXPECT_FALSE(popover->isVisible());
  EXPECT_FALSE(button->isEnabled());
  EXPECT_FALSE(button->isChecked());
  EXPECT_EQ(opacity(button), 0.5);
}

TEST_F(ModifyTest, UndoAndRedoFollowTheStacks) {
  QAction* undo = window_.undoMenuItem();
  QAction* redo = window_.redoMenuItem();
  pick("filterTypePopUp1", 59);
  EXPECT_FALSE(undo->isEnabled());
  auto* slider = widget<ui::DoubleSlider>("slider1Options1");
  emit slider->valueEdited(1.5);
  EXPECT_TRUE(undo->isEnabled());
  EXPECT_EQ(widget<QLineEdit>("textField1Options1")->text(), "1.5");
  undo->trigger();
  EXPECT_EQ(model().optionsSliderArray[4].slider.value, 0.4f);
  EXPECT_EQ(slider->doubleValue(), double(0.4f));
  EXPECT_FALSE(undo->isEnabled());
  EXPECT_TRUE(redo->isEnabled());
  redo->trigger();
  EXPECT_EQ(model().optionsSliderArray[4].slider.value, 1.5f);
  view().state().isProcessingImages = true;
  modify().updateUndoActions();
  EXPECT_FALSE(undo->isEnabled());
  undo->trigger();
  EXPECT_EQ(model().optionsSliderArray[4].slider.value, 1.5f);
  view().state().isProcessingImages = false;
}

TEST_F(ModifyTest, OneDragIsOneUndoStep) {
  pick("filterTypePopUp0", 57);
  auto* slider = widget<ui::DoubleSlider>("slider0Options0");
  slider->setSliderDown(true);
  for (double value : {1.2, 1.4, 1.6}) {
    emit slider->valueEdited(value);
    // The engine and the field follow every value.
    EXPECT_EQ(view().importedImage()->ciPhotoFilters->filterInfo0().saturationLevel, double(float(value)));
    EXPECT_FALSE(window_.undoMenuItem()->isEnabled());
  }
  slider->setSliderDown(false);
  EXPECT_TRUE(window_.undoMenuItem()->isEnabled());
  window_.undoMenuItem()->trigger();
  EXPECT_EQ(model().optionsSliderArray[0].slider.value, 1.0f);
  EXPECT_FALSE(window_.undoMenuItem()->isEnabled());
}

TEST_F(ModifyTest, TypedAngleIsDegrees) {
  pick("filterTypePopUp2", 80);
  EXPECT_EQ(widget<QLineEdit>("textField0Options2")->text(), "90");
  type("textField0Options2", "45");
  EXPECT_EQ(model().optionsSliderArray[11].slider.value, float(std::numbers::pi / 4));
  EXPECT_EQ(widget<ui::DoubleDial>("circularSliderOptions2")->doubleValue(),
            double(float(std::numbers::pi / 4)));
  type("textField0Options2", "north");
  EXPECT_EQ(widget<QLineEdit>("textField0Options2")->text(), "45");
}

// A drag of each angle dial across 0°, from below the right edge of the
// 40-point dial to above it: the angle runs 45°, 0°, 315° the short way.
TEST_F(ModifyTest, AngleDialsTurnAcrossZeroDegrees) {
  pick("resizeScalePopUp", 15);  // free rotation
  widget<QCheckBox>("addWatermarkTextCheck")->click();
  widget<QCheckBox>("addWatermarkImageCheck")->click();
  const struct {
    const char* dial;
    const char* field;
    const Slider& model;
  } dials[] = {{"angleTextSlider", "angleTextTextField", model().angleTextSlider},
               {"angleImageSlider", "angleImageTextField", model().angleImageSlider},
               {"imageTransformAngleSlider", "imageTransformAngleTextField", model().imageTransformAngleSlider}};
  const struct {
    QPoint at;
    const char* shown;
    float value;
  } drag[] = {{{30, 30}, "45°", 315}, {{30, 20}, "0°", 270}, {{30, 10}, "315°", 225}};
  for (const auto& row : dials) {
    auto* dial = widget<ui::DoubleDial>(row.dial);
    ASSERT_TRUE(dial->isEnabled()) << row.dial;
    ASSERT_EQ(dial->size(), QSize(40, 40));
    for (std::size_t step = 0; step < std::size(drag); ++step) {
      const QPointF at = drag[step].at;
      QMouseEvent event(step == 0 ? QEvent::MouseButtonPress : QEvent::MouseMove, at, dial->mapToGlobal(at),
                        step == 0 ? Qt::LeftButton : Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
      QApplication::sendEvent(dial, &event);
      EXPECT_EQ(widget<QLineEdit>(row.field)->text().toStdString(), drag[step].shown) << row.dial << step;
      EXPECT_FLOAT_EQ(row.model.value, drag[step].value) << row.dial << step;
    }
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(30, 10), dial->mapToGlobal(QPointF(30, 10)),
                        Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(dial, &release);
  }
}

// Sliders and dials that do not apply are drawn dimmed and without the
// accent: the border opacity with no border, stretch and crop and the
// rotation under another method, the text watermark's with no text
// watermark.
TEST_F(ModifyTest, DeadSlidersAndDialsLookDead) {
  view().setPalette(ui::darkPalette());
  window_.show();
  struct Look {
    int accentPixels = 0;
    int contrast = 0;  // the largest channel difference from the background
  };
  // Measured against the control's own palette (the popover's stretch and
  // crop sliders keep the default one).
  const auto look = [](QWidget* widget) {
    const QColor background = widget->palette().color(QPalette::Window);
    const QColor accent = widget->palette().color(QPalette::Active, QPalette::Highlight);
    const QImage image = widget->grab().toImage().convertToFormat(QImage::Format_RGB32);
    Look seen;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x) {
        const QColor pixel = image.pixelColor(x, y);
        const auto distance = [&pixel](const QColor& to) {
          return std::max({std::abs(pixel.red() - to.red()), std::abs(pixel.green() - to.green()),
                           std::abs(pixel.blue() - to.blue())});
        };
        seen.accentPixels += distance(accent) < 24;
        seen.contrast = std::max(seen.contrast, distance(background));
      }
    return seen;
  };
  for (const char* name : {"borderOpacitySlider", "stretchAndCropStretchSlider", "stretchAndCropCropSlider",
                           "angleTextSlider", "obliquenessTextSlider", "opacityTextSlider",
                           "imageTransformAngleSlider"}) {
    auto* control = widget<QAbstractSlider>(name);
    ASSERT_FALSE(control->isEnabled()) << name;
    control->resize(qMax(control->width(), 60), control->height());
    const Look dead = look(control);
    control->setEnabled(true);
    const Look live = look(control);
    control->setEnabled(false);
    EXPECT_EQ(dead.accentPixels, 0) << name;
    EXPECT_LT(dead.contrast * 3, live.contrast * 2) << name << " " << dead.contrast << " " << live.contrast;
  }
  EXPECT_GT(look(widget<QAbstractSlider>("jpegSlider")).accentPixels, 0);  // a live one shows it
}

// The date styles are titled with today's date in each style.
TEST_F(ModifyTest, DateStylesShowToday) {
  auto* styles = widget<QComboBox>("watermarkDatePopUp");
  ASSERT_EQ(styles->count(), 4);
  const foundation::Date today = std::chrono::system_clock::now();
  std::set<QString> titles;
  for (int style = 0; style < 4; ++style) {
    EXPECT_EQ(styles->itemText(style).toStdString(), foundation::localizedDateString(today, style + 1));
    titles.insert(styles->itemText(style));
  }
  EXPECT_EQ(titles.size(), 4u);
}

TEST_F(ModifyTest, ExampleImageFollowsTheSlots) {
  ExampleImageWell* well = modify().exampleWell();
  ASSERT_TRUE(well && well->backupImage() && well->image());
  const auto pixels = [](const std::shared_ptr<raster::ImageSet>& image) {
    return image->representations().front()->image();
  };
  EXPECT_EQ(pixels(well->image()), pixels(well->backupImage()));
  pick("filterTypePopUp0", 90);  // invert
  const raster::ImageRef inverted = pixels(well->image());
  EXPECT_NE(inverted, pixels(well->backupImage()));
  EXPECT_NE(inverted->row(0)[0], pixels(well->backupImage())->row(0)[0]);
  pick("filterTypePopUp0", 0);
  EXPECT_EQ(pixels(well->image()), pixels(well->backupImage()));
  // The frame hugs the example image.
  EXPECT_TRUE(well->rect().contains(well->imageRect()));
}

TEST_F(ModifyTest, CurveDragsReachTheFilterOnRelease) {
  auto* curve = widget<ToneCurveView>("curveView");
  ASSERT_TRUE(curve);
  view().curvesPanel()->show();
  // Point 2 sits at the centre of the 120-point view.
  QTest::mousePress(curve, Qt::LeftButton, {}, QPoint(60, 60));
  QTest::mouseMove(curve, QPoint(60, 30));
  EXPECT_EQ(model().curveView.percentPoints[2].y, 0.75);
  QTest::mouseMove(curve, QPoint(60, 2));  // the knob would leave the view
  EXPECT_EQ(model().curveView.percentPoints[2].y, 0.75);
  QTest::mouseRelease(curve, Qt::LeftButton, {}, QPoint(60, 2));
  const auto point = view().form().toneCurveFilter->valueForKey("inputPoint2").vector();
  ASSERT_TRUE(point);
  EXPECT_EQ(point->values[1], 0.75);

  // A release without a hit still hands the points over.
  QTest::mouseClick(widget<ToneCurveView>("redCurveView"), Qt::LeftButton, {}, QPoint(110, 10));
  EXPECT_TRUE(view().form().redCurveFilter->valueForKey("inputPoint4").vector());
  model().redCurveView.percentPoints[1] = {0.3, 0.1};
  widget<QPushButton>("redCurveViewReset")->click();
  EXPECT_EQ(model().redCurveView.percentPoints[1], (raster::Point{0.25, 0.25}));
  EXPECT_EQ(model().curveView.percentPoints[2].y, 0.75);
}

TEST_F(ModifyTest, PickersMeasureUpFromTheLowerLeft) {
  Posts posts("compositeImagePosition");
  auto* picker = widget<PositionPickerView>("compositePositionView");
  model().compositePositionView.mouseEvents = true;
  EXPECT_EQ(model().compositePositionView.mousePoint, (raster::Point{50, 50}));
  QTest::mouseClick(picker, Qt::LeftButton, {}, QPoint(30, 20));
  EXPECT_EQ(model().compositePositionView.mousePoint, (raster::Point{30, 80}));
  EXPECT_EQ(posts.count, 1);
  EXPECT_EQ(view().importedImage()->compositeImageOrigin(), (raster::Point{30, 80}));

  QTest::mousePress(picker, Qt::LeftButton, {}, QPoint(50, 50));
  QTest::mouseMove(picker, QPoint(130, 120));
  EXPECT_EQ(posts.count, 1);
  QTest::mouseRelease(picker, Qt::LeftButton, {}, QPoint(130, 120));
  EXPECT_EQ(model().compositePositionView.mousePoint, (raster::Point{130, -20}));
  EXPECT_EQ(posts.count, 2);

  model().compositePositionView.mouseEvents = false;
  QTest::mouseClick(picker, Qt::LeftButton, {}, QPoint(10, 10));
  EXPECT_EQ(posts.count, 2);

  QTest::mouseClick(widget<PositionPickerView>("cropPositionView"), Qt::LeftButton, {}, QPoint(50, 50));
  EXPECT_EQ(widget<QLineEdit>("cropCenterXTextField")->text(), "0");
  EXPECT_EQ(widget<QLineEdit>("cropCenterYTextField")->text(), "0");
}

TEST_F(ModifyTest, WellsTakeLocalImagesAndPost) {
  testsupport::TempDir dir;
  const std::string png = dir.file("a.png");
  ASSERT_EQ(
      testsupport::runCommand({"/usr/bin/convert", "-size", "30x20", "xc:rgba(0,255,0,0.5)", png}).exitCode,
      0);
  const std::string text = dir.file("a.txt");
  std::ofstream(text) << "text";
  Posts composite("compositeImageDragAndDrop"), watermark("watermarkImageDragAndDrop");

  auto* compositeWell = widget<PictureWellView>("compositeDragAndDropView");
  model().compositeDragAndDropView.acceptsDrops = true;
  const auto drop = [](QWidget* target, const QList<QUrl>& urls) {
    QMimeData mime;
    mime.setUrls(urls);
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    if (!taken(enter)) return false;
    QDropEvent dropped(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &dropped);
    return taken(dropped);
  };
  EXPECT_FALSE(drop(compositeWell, {QUrl::fromLocalFile(QString::fromStdString(text))}));
  EXPECT_FALSE(drop(compositeWell, {QUrl("https://example.org/a.png")}));
  EXPECT_TRUE(drop(compositeWell, {QUrl::fromLocalFile(QString::fromStdString(png))}));
  waitForDelayedRead();
  ASSERT_EQ(composite.count, 1);
  EXPECT_TRUE(std::any_cast<std::shared_ptr<raster::ImageSet>>(&composite.last.payload));
  EXPECT_TRUE(view().importedImage()->compositeCIInputImage);
  EXPECT_TRUE(model().compositeDragAndDropView.originalImageHasAlpha);

  auto* watermarkWell = widget<PictureWellView>("watermarkImageView");
  model().watermarkImageView.acceptsDrops = false;
  EXPECT_FALSE(drop(watermarkWell, {QUrl::fromLocalFile(QString::fromStdString(png))}));
  model().watermarkImageView.acceptsDrops = true;
  EXPECT_TRUE(drop(watermarkWell, {QUrl::fromLocalFile(QString::fromStdString(png))}));
  waitForDelayedRead();
  EXPECT_EQ(watermark.count, 1);
  EXPECT_FALSE(watermark.last.payload.has_value());

  // Removing posts nothing.
  widget<QPushButton>("removeCompositeImageButton")->setEnabled(true);
  widget<QPushButton>("removeCompositeImageButton")->click();
  EXPECT_FALSE(model().compositeDragAndDropView.hasFullSizeImage());
  EXPECT_FALSE(view().importedImage()->compositeCIInputImage);
  EXPECT_EQ(composite.count, 1);
}

TEST_F(ModifyTest, LUTWellTakesOneCubeFile) {
  testsupport::TempDir dir;
  const std::string cube = dir.file("Warm.CUBE");
  {
    std::ofstream out(cube);
    out << "LUT_3D_SIZE 2\n";
    for (int b = 0; b < 2; ++b)
      for (int g = 0; g < 2; ++g)
        for (int r = 0; r < 2; ++r) out << r << ' ' << g << ' ' << b << '\n';
  }
  const std::string other = dir.file("look.txt");
  std::ofstream(other) << "LUT_3D_SIZE 2\n";
  Posts posts("LUTDragAndDrop");
  auto* well = widget<LUTWellView>("lutView");
  QMimeData mime;
  mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(other))});
  QDragEnterEvent refused(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(well, &refused);
  EXPECT_FALSE(taken(refused));
  mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(cube))});
  QDragEnterEvent accepted(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(well, &accepted);
  EXPECT_TRUE(taken(accepted));
  QDropEvent dropped(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(well, &dropped);
  waitForDelayedRead();
  ASSERT_EQ(posts.count, 1);
  EXPECT_EQ(model().lutView.cubeSize, 2);
  EXPECT_EQ(model().lutView.cubeData->size(), 2u * 2 * 2 * 16);
  EXPECT_TRUE(view().importedImage()->lutFilter());

  // A list of the wrong length changes nothing.
  EXPECT_FALSE(well->updateLUTWithArray({std::int64_t(3), *model().lutView.cubeData, cube}));
  EXPECT_EQ(model().lutView.cubeSize, 2);
  widget<QPushButton>("removeLUTButton")->click();
  EXPECT_FALSE(model().lutView.cubeData);
  EXPECT_FALSE(view().importedImage()->lutFilter());
}

TEST_F(ModifyTest, CompositeNoneClosesItsPopover) {
  pick("compositePopUp", 2);
  QAbstractButton* options = view().popover(ConverterView::PopoverId::CompositeOptions)->button();
  ASSERT_TRUE(options);
  EXPECT_TRUE(options->isEnabled());
  options->click();
  EXPECT_TRUE(view().popover(ConverterView::PopoverId::CompositeOptions)->isVisible());
  pick("compositePopUp", 0);
  EXPECT_FALSE(view().popover(ConverterView::PopoverId::CompositeOptions)->isVisible());
  EXPECT_FALSE(options->isEnabled());
  EXPECT_EQ(opacity(options), 0.5);
}

TEST_F(ModifyTest, DepthFieldsFollowTheirSliders) {
  type("depthSlopeTextField", "12");
  EXPECT_EQ(model().depthSlopeSlider.value, 12);
  type("depthSlopeTextField", "99");
  EXPECT_EQ(model().depthSlopeSlider.value, 12);
  EXPECT_EQ(widget<QLineEdit>("depthSlopeTextField")->text(), "12");
  widget<QPushButton>("resetDepthButton")->click();
  EXPECT_EQ(widget<QLineEdit>("depthSlopeTextField")->text(), "4");
}

TEST_F(ModifyTest, ThePreviewDrawsTheWatermarksAndTheExampleFollowsIt) {
  PreviewImageView preview;
  modify().setPreviewView(&preview);
  testsupport::TempDir dir;
  const std::string png = dir.file("w.png");
  ASSERT_EQ(testsupport::runCommand({"/usr/bin/convert", "-size", "40x30", "xc:orange", png}).exitCode, 0);

  // The example follows the picture the preview shows.
  ExampleImageWell* well = modify().exampleWell();
  const raster::ImageRef placeholder = well->backupImage()->representations().front()->image();
  ASSERT_TRUE(preview.showFile(png));
  const raster::ImageRef shown = well->backupImage()->representations().front()->image();
  EXPECT_NE(shown, placeholder);
  EXPECT_GT(shown->width(), shown->height());

  // Hidden preview: only the request to draw the watermarks again.
  model().addWatermarkImageCheck.set(true);
  model().watermarkImageView.fullSizeImage = imageSetOf(QImage(8, 8, QImage::Format_ARGB32));
  model().angleImageSlider.value = 300;
  view().updatePreviewViewAndUpdateText(false, true, true);
  EXPECT_FALSE(preview.drawImageOnly());
  EXPECT_FALSE(preview.previewInfo().addWatermarkImage);
  view().updatePreviewViewAndUpdateText(false, true, false);
  EXPECT_TRUE(preview.previewInfo().addWatermarkImage);
  EXPECT_EQ(preview.previewInfo().imageAngle, 30);
  EXPECT_EQ(preview.watermarks().watermarkImage, model().watermarkImageView.fullSizeImage);
  model().addWatermarkImageCheck.set(false);
  view().updatePreviewViewAndUpdateText(false, false, false);
  EXPECT_FALSE(preview.watermarks().watermarkImage);
  modify().setPreviewView(nullptr);
}
