// The processing sheet as a batch drives it, the progress bar and its
// model, the cancel button, and the task bar's progress on a session bus.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QElapsedTimer>
#include <QLabel>
#include <QVariantMap>
#include <atomic>
#include <chrono>
#include <thread>

#include "converter/main_loop_pump.h"
#include "converter/preview_live_preview_target.h"
#include "converter/processing_sheet.h"
#include "converter/progress_indicator.h"
#include "converter/taskbar_progress.h"
#include "converter/window_test_kit.h"
#include "platform/ui/custom_button.h"
#include "platform/ui/popover.h"
#include "platform/ui/view_alpha.h"
#include "preview/launcher_badge.h"
#include "support/private_session_bus.h"

namespace velumar {

// Records the launcher-entry signals seen on the session bus.
class LauncherEntryListener : public QObject {
  Q_OBJECT

 public:
  struct Update {
    QString application;
    double progress = -1;
    bool visible = false;
  };
  std::vector<Update> updates;

 public slots:
  void update(const QString& application, const QVariantMap& properties) {
    updates.push_back({application, properties.value(QStringLiteral("progress"), -1.0).toDouble(),
                       properties.value(QStringLiteral("progress-visible")).toBool()});
  }
};

namespace {

using convertertest::pumpUntil;

class ProcessingSheetTest : public convertertest::WindowTest {
 protected:
  ProcessingSheet& sheet() { return *view().processingSheet(); }
  QPointF origin(QWidget* child) { return sheet().yUpOrigin(child); }
  PBOscilator& progress() { return view().state().progressBar; }
  QString counter() { return sheet().filesCountLabel()->text(); }
};

TEST_F(ProcessingSheetTest, OneFileShowsTheSheetWithTheProcessingLabelOnly) {
  view().removePresetsButtonFromViewMultipleFiles(false);
  EXPECT_TRUE(sheet().isVisible());
  EXPECT_EQ(sheet().windowModality(), Qt::WindowModal);
  EXPECT_TRUE(sheet().processingLabel()->isVisible());
  EXPECT_EQ(origin(sheet().processingLabel()), QPointF(64, 76));
  for (QWidget* hidden : std::initializer_list<QWidget*>{sheet().filesCountLabel(), sheet().cancelButton(),
                                                         sheet().imageButton()})
    EXPECT_FALSE(hidden->isVisible()) << hidden->objectName().toStdString();
  EXPECT_FALSE(sheet().progressIndicator()->drawProgressBarIndicator());

  view().addPresetsButtonFromView();
  EXPECT_FALSE(sheet().isVisible());
  EXPECT_FALSE(sheet().processingLabel()->isVisible());
}

TEST_F(ProcessingSheetTest, SeveralFilesCountUpAndTheEndRestoresRest) {
  for (const bool copyOnly : {false, true}) {
    view().state().renameIgnoreProcessing = copyOnly;
    // The batch's calls, in the loop's order.
    view().showFilesCount(1, 3);
    view().startProgressBar();
    view().removePresetsButtonFromViewMultipleFiles(true);
    EXPECT_TRUE(sheet().isVisible());
    EXPECT_EQ(origin(sheet().processingLabel()), QPointF(64, 126));
    EXPECT_EQ(origin(sheet().filesCountLabel()), QPointF(30, 100));
    EXPECT_TRUE(sheet().filesCountLabel()->isVisible());
    EXPECT_EQ(counter(), "1 / 3");
    EXPECT_TRUE(sheet().cancelButton()->isVisible());
    EXPECT_TRUE(sheet().cancelButton()->isEnabled());
    EXPECT_FALSE(sheet().cancelButton()->isChecked());
    EXPECT_TRUE(sheet().imageButton()->isVisible());
    EXPECT_EQ(sheet().imageButton()->isEnabled(), !copyOnly);
    EXPECT_DOUBLE_EQ(ui::viewAlpha(sheet().imageButton()), copyOnly ? 0.5 : 1.0);
    EXPECT_TRUE(sheet().progressIndicator()->drawProgressBarIndicator());
    EXPECT_EQ(sheet().progressIndicator()->fraction(), 0.0);

    const char* texts[] = {"2 / 3", "3 / 3", "3 / 3"};
    for (int done = 1; done <= 3; ++done) {
      progress().value = done / 3.0;
      view().updateProgressBarWithCurrentImageCount(std::min(done + 1, 3), 3);
      EXPECT_EQ(counter(), texts[done - 1]);
      EXPECT_DOUBLE_EQ(sheet().progressIndicator()->fraction(), done / 3.0);
      EXPECT_EQ(sheet().progressIndicator()->value(), int(std::lround(done / 3.0 * 10000)));
    }
    view().updateProgressBarWithCurrentImageCount(3, 3);
    view().stopProgressBar();
    EXPECT_FALSE(sheet().progressIndicator()->drawProgressBarIndicator());
    EXPECT_EQ(sheet().progressIndicator()->fraction(), 1.0);

    view().addPresetsButtonFromView();
    EXPECT_FALSE(sheet().isVisible());
    for (QWidget* hidden :
         std::initializer_list<QWidget*>{sheet().processingLabel(), sheet().filesCountLabel(),
                                         sheet().cancelButton(), sheet().imageButton()})
      EXPECT_FALSE(hidden->isVisible()) << hidden->objectName().toStdString();
    EXPECT_FALSE(sheet().imageButton()->isEnabled());
    EXPECT_FALSE(view().state().openPreviewFromThread);
  }
}

TEST_F(ProcessingSheetTest, WrappersBlockAWorkerUntilTheMainThreadRanThemAndRunInlineOnIt) {
  std::atomic<bool> returned{false};
  std::thread worker([&] {
    view().showFilesCount(2, 5);
    returned = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(returned);
  EXPECT_NE(counter(), "2 / 5");
  EXPECT_TRUE(pumpUntil([&] { return returned.load(); }));
  worker.join();
  EXPECT_EQ(counter(), "2 / 5");

  view().showFilesCount(4, 5);
  EXPECT_EQ(counter(), "4 / 5");
}

TEST_F(ProcessingSheetTest, TheModelStartsAndStops) {
  struct Case {
    bool on;
    double value;
    bool cancelAfter;  // with the flag set before
  };
  for (const Case& c : {Case{true, 0.0, false}, Case{false, 1.0, true}}) {
    progress().value = 0.4;
    progress().cancelProgress = true;
    progress().start(c.on);
    EXPECT_EQ(progress().value.load(), c.value);
    EXPECT_EQ(progress().barValue(), c.value);
    EXPECT_EQ(progress().isAnimating(), c.on);
    EXPECT_EQ(progress().cancelProgress.load(), c.cancelAfter);
  }
}

TEST_F(ProcessingSheetTest, CancelIsAskedOnlyWhenTheButtonTurnsOn) {
  struct Case {
    bool checkedBefore;
    bool cancelBefore;
    bool cancelAfter;
  };
  for (const Case& c : {Case{false, false, true}, Case{true, false, false}, Case{true, true, true}}) {
    sheet().cancelButton()->setChecked(c.checkedBefore);
    progress().cancelProgress = c.cancelBefore;
    sheet().cancelButton()->click();
    EXPECT_EQ(progress().cancelProgress.load(), c.cancelAfter) << c.checkedBefore << c.cancelBefore;
  }
}

// ---- The processed-image popover -------------------------------------------------

std::shared_ptr<const raster::ImageSet> convertedImage() {
  QImage picture(800, 400, QImage::Format_RGBA8888_Premultiplied);
  picture.fill(Qt::darkCyan);
  return PreviewLivePreviewTarget::imageSetOf(picture);
}

TEST_F(ProcessingSheetTest, AConvertedImageOpensThePopoverOnlyWhenAskedFor) {
  for (const bool asked : {false, true}) {
    view().removePresetsButtonFromViewMultipleFiles(true);
    if (asked) sheet().imageButton()->click();
    EXPECT_EQ(view().state().openPreviewFromThread, asked);
    // The progress updates leave the button as the click set it.
    view().updateProgressBarWithCurrentImageCount(1, 3);
    EXPECT_EQ(sheet().imageButton()->isEnabled(), !asked);
    view().openImageViewWithImage(nullptr);
    EXPECT_FALSE(sheet().imagePopover()->isVisible());

    view().openImageViewWithImage(convertedImage());
    EXPECT_EQ(sheet().imagePopover()->isVisible(), asked);
    // Beside the sheet, never over its Cancel button.
    const QRect cancel(sheet().cancelButton()->mapToGlobal(QPoint()), sheet().cancelButton()->size());
    EXPECT_FALSE(asked && sheet().imagePopover()->frameGeometry().intersects(cancel));
    EXPECT_TRUE(sheet().imageButton()->isEnabled());
    EXPECT_EQ(sheet().imageView()->pixmap().size(), asked ? QSize(400, 200) : QSize(0, 0));
    view().closeImageView();
    EXPECT_TRUE(sheet().imageView()->pixmap().isNull());
    view().addPresetsButtonFromView();
    EXPECT_FALSE(sheet().imagePopover()->isVisible());
  }
}

TEST_F(ProcessingSheetTest, TheImageButtonOrLeavingTheApplicationEndsTheRequest) {
  for (const bool fromApplication : {false, true}) {
    view().removePresetsButtonFromViewMultipleFiles(true);
    sheet().imageButton()->click();
    view().openImageViewWithImage(convertedImage());
    ASSERT_TRUE(sheet().imagePopover()->isVisible());
    if (fromApplication) {
      view().closeImageViewFromApplication();
    } else {
      sheet().imageButton()->click();
    }
    EXPECT_FALSE(sheet().imagePopover()->isVisible()) << fromApplication;
    EXPECT_FALSE(view().state().openPreviewFromThread);
    EXPECT_TRUE(sheet().imageView()->pixmap().isNull());
    EXPECT_FALSE(sheet().imageButton()->isChecked());
    EXPECT_TRUE(sheet().imageButton()->isEnabled());
    view().openImageViewWithImage(convertedImage());
    EXPECT_FALSE(sheet().imagePopover()->isVisible());
    view().addPresetsButtonFromView();
  }
}

TEST_F(ProcessingSheetTest, AFailedSessionsAlertClearsTheDropHighlight) {
  view().drawDragAndDrop();
  view().showAlertSheet("Couldn't write file(s)", "Cannot write to destination folder.");
  EXPECT_FALSE(view().drawForDragAndDrop());
}

// ---- The bar's drawing ---------------------------------------------------------

// The indicator's own drawing over a transparent image.
QImage drawn(PBProgressIndicator& indicator) {
  QImage image(indicator.size(), QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  indicator.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
  return image;
}

// The run of bar-coloured pixels along the bar's middle row: first x and length.
std::pair<int, int> barRun(PBProgressIndicator& indicator) {
  const QImage image = drawn(indicator);
  const int row = indicator.height() - 21;  // 3 points above the bar's bottom edge at 18, y up
  int first = -1, length = 0;
  for (int x = 0; x < image.width(); ++x) {
    if (qBlue(image.pixel(x, row)) > 150) {
      if (first < 0) first = x;
      ++length;
    }
  }
  return {first, length};
}

TEST(ProgressIndicator, BarLengthAndPlacement) {
  struct Case {
    double fraction;
    int first, length;
  };
  // 0: the length formula gives -3 and no bar is drawn; NaN counts as 0.
  for (const Case& c : {Case{0.5, 19, 97}, Case{1.0, 19, 197}, Case{0.0, -1, 0}, Case{std::nan(""), -1, 0},
                        Case{0.01, -1, 0}}) {
    PBProgressIndicator indicator;
    indicator.resize(235, 42);
    indicator.setDrawProgressBarIndicator(true);
    indicator.setFraction(c.fraction);
    const auto [first, length] = barRun(indicator);
    EXPECT_EQ(first, c.first) << c.fraction;
    EXPECT_EQ(length, c.length) << c.fraction;
  }
  EXPECT_EQ(PBProgressIndicator::barLength(0.5, 235), 97);
  EXPECT_EQ(PBProgressIndicator::barLength(0, 235), -3);
}

TEST(ProgressIndicator, NothingIsDrawnWhileStopped) {
  PBProgressIndicator indicator;
  indicator.resize(235, 42);
  indicator.setFraction(0.5);
  const QImage image = drawn(indicator);
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) ASSERT_EQ(qAlpha(image.pixel(x, y)), 0) << x << ", " << y;
}

// ---- The task bar --------------------------------------------------------------

TEST(TaskbarProgress, ALauncherEntryListenerSeesProgressThenItsEnd) {
  if (!testsupport::onPrivateSessionBus()) return;
  QDBusConnection bus = QDBusConnection::sessionBus();
  ASSERT_TRUE(bus.isConnected());
  LauncherEntryListener listener;
  ASSERT_TRUE(bus.connect(QString(), QString(), kLauncherEntryInterface, QStringLiteral("Update"), &listener,
                          SLOT(update(QString, QVariantMap))));
  TaskbarProgress taskbar;
  taskbar.show(0.5);
  ASSERT_TRUE(pumpUntil([&] { return listener.updates.size() == 1; }));
  EXPECT_EQ(listener.updates[0].application, "application://velumar.desktop");
  EXPECT_EQ(listener.updates[0].progress, 0.5);
  EXPECT_TRUE(listener.updates[0].visible);
  taskbar.show(0.5);  // unchanged: nothing sent
  taskbar.hide();
  ASSERT_TRUE(pumpUntil([&] { return listener.updates.size() == 2; }));
  EXPECT_FALSE(listener.updates[1].visible);
}

TEST(TaskbarProgress, WithoutABusNothingFails) {
  // The test process itself has no session bus unless the desktop gave it one.
  TaskbarProgress taskbar;
  taskbar.show(std::nan(""));
  EXPECT_TRUE(taskbar.isShown());
  taskbar.hide();
  EXPECT_FALSE(taskbar.isShown());
}

}  // namespace
}  // namespace velumar

#include "processing_sheet_test.moc"
