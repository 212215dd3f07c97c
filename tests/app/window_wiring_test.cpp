#include "app/window_wiring.h"

#include "app/app_delegate.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QToolButton>
#include <QTest>
#include <QUrl>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "converter/converter_view.h"
#include "converter/converter_window.h"
#include "converter/presets_window.h"
#include "platform/foundation/user_defaults.h"
#include "platform/ui/custom_button.h"
#include "preview/image_info_window.h"
#include "preview/preview_image_view.h"
#include "preview/preview_window.h"
#include "session/conversion_request.h"
#include "session/processing_view.h"
#include "support/test_support.h"

namespace velumar {
namespace {

namespace fs = std::filesystem;

// The two windows as the application builds them, over a private data
// folder, with drops on the converter going to the preview.
class WindowWiringTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    data_ = new testsupport::TempDir;
    setenv("XDG_DATA_HOME", data_->path().c_str(), 1);
  }
  static void TearDownTestSuite() { delete data_; }
  void SetUp() override {
    connectConverterToPreview(converter_, *preview_);
    view().dragAndDropBehaviorImportToPreview = true;
  }

  ConverterView& view() { return *converter_.converterView(); }
  std::string makeImage(const std::string& relative) {
    const fs::path path = images_.path() / relative;
    fs::create_directories(path.parent_path());
    const auto result =
        testsupport::runCommand({"/usr/bin/convert", "-size", "60x40", "xc:teal", path.string()});
    EXPECT_EQ(result.exitCode, 0) << result.output;
    return path.string();
  }
  bool dropOnConverter(const std::vector<std::string>& paths) {
    QList<QUrl> urls;
    for (const std::string& path : paths) urls.push_back(QUrl::fromLocalFile(QString::fromStdString(path)));
    QMimeData mime;
    mime.setUrls(urls);
    return view().performDragOperation(mime, false);
  }

  static testsupport::TempDir* data_;
  testsupport::TempDir images_;
  ConverterWindow converter_;
  std::unique_ptr<PreviewWindow> preview_ = std::make_unique<PreviewWindow>();
};
testsupport::TempDir* WindowWiringTest::data_ = nullptr;

TEST_F(WindowWiringTest, ConverterDropsAreListedInThePreviewAsItsSubfolderSwitchSays) {
  const std::string one = makeImage("f/1.png"), two = makeImage("f/2.png"), three = makeImage("f/g/3.png");
  struct Case {
    std::int64_t searchInSubFolders;
    std::vector<std::string> listed;
  };
  for (const Case& c : {Case{0, {one, two}}, Case{1, {one, two, three}}}) {
    preview_->resetPreview();
    preview_->hide();
    view().state().searchInSubFolders = c.searchInSubFolders;
    ASSERT_TRUE(dropOnConverter({(images_.path() / "f").string()})) << c.searchInSubFolders;
    EXPECT_EQ(preview_->listedFiles(), c.listed);
    EXPECT_EQ(preview_->shownFile(), one);
    EXPECT_TRUE(preview_->isVisible());
    EXPECT_FALSE(view().isRequestPending());  // listed, not converted
  }
  // The two files dropped again add nothing, silently: the drop answers yes,
  // no alert follows and the preview comes forward.
  preview_->hide();
  EXPECT_TRUE(dropOnConverter({one, two}));
  QTest::qWait(250);
  EXPECT_EQ(preview_->listedFiles().size(), 3u);
  EXPECT_TRUE(preview_->isVisible());
  for (QWidget* widget : QApplication::topLevelWidgets())
    EXPECT_FALSE(qobject_cast<QMessageBox*>(widget) && widget->isVisible()) << "an alert is shown";
}

TEST_F(WindowWiringTest, SessionHoldsThePreviewListAndReadsWhatItShows) {
  const std::string one = makeImage("1.png"), two = makeImage("2.png");
  ProcessingView& session = view();
  EXPECT_EQ(session.previewShownFile(), std::nullopt);
  EXPECT_TRUE(session.previewListedFiles().empty());
  ASSERT_TRUE(dropOnConverter({one, two}));
  EXPECT_EQ(session.previewShownFile(), one);
  EXPECT_EQ(session.previewListedFiles(), (std::vector<std::string>{one, two}));

  session.setPreviewCanAcceptImages(false);
  EXPECT_FALSE(preview_->list().canAcceptImages());
  EXPECT_FALSE(preview_->showNext());
  session.setPreviewCanAcceptImages(true);
  EXPECT_TRUE(preview_->list().canAcceptImages());
  EXPECT_TRUE(preview_->showNext());
  EXPECT_EQ(session.previewShownFile(), two);

  // With the preview window gone the converter answers as without one.
  preview_.reset();
  session.setPreviewCanAcceptImages(false);
  EXPECT_EQ(session.previewShownFile(), std::nullopt);
  EXPECT_TRUE(session.previewListedFiles().empty());
  EXPECT_FALSE(dropOnConverter({one}));
}

TEST_F(WindowWiringTest, FilesWindowClosesAroundASessionAndBothPreviewWindowsComeBack) {
  ASSERT_TRUE(dropOnConverter({makeImage("1.png"), makeImage("2.png")}));
  converter_.show();
  QWidget& files = *preview_->filesWindow();
  struct Case {
    bool previewShown, filesShown;
  };
  for (const Case& c : {Case{true, true}, Case{true, false}, Case{false, false}}) {
    preview_->setVisible(c.previewShown);
    if (c.filesShown) preview_->openFilesWindow();
    ASSERT_EQ(files.isVisible(), c.filesShown);
    setupClassesInitialValuesAndCloseWindows(view(), 1);
    EXPECT_FALSE(files.isVisible()) << c.previewShown << c.filesShown;
    EXPECT_EQ(preview_->isVisible(), c.previewShown);
    EXPECT_FALSE(preview_->list().canAcceptImages());
    // The session's end.
    view().state().isProcessingImages = false;
    view().setPreviewCanAcceptImages(true);
    view().restoreVisibleWindows();
    EXPECT_EQ(preview_->isVisible(), c.previewShown) << c.previewShown << c.filesShown;
    EXPECT_EQ(files.isVisible(), c.filesShown) << c.previewShown << c.filesShown;
    files.hide();
  }
}

// Records the order in which watched windows are shown.
class ShowOrder : public QObject {
 public:
  std::vector<QObject*> shown;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Show) shown.push_back(watched);
    return false;
  }
};

// The windows as the application wires them: the image information that
// the preview's "Info" opens closes around a batch, and the side windows
// come back in the order information, files.
TEST(WindowWiring, InformationWindowClosesAroundABatchAndComesBackInOrder) {
  testsupport::TempDir dir;
  foundation::UserDefaults defaults(dir.file("settings.plist"));
  AppDelegate delegate(defaults);
  delegate.launch();
  PreviewWindow& preview = delegate.previewWindow();
  ConverterView& view = delegate.converterView();
  const std::string image = dir.file("a.png");
  testsupport::runCommand({"/usr/bin/convert", "-size", "20x10", "xc:teal", image});
  ASSERT_TRUE(preview.importPaths({image}, dir.path().string(), false));
  auto* infoButton = preview.findChild<QToolButton*>("imageInfoButton");
  ASSERT_NE(infoButton, nullptr);
  QWidget* files = preview.filesWindow();
  ShowOrder order;
  struct Case {
    bool info, preview, files;
  };
  for (const Case& c : {Case{true, true, true}, Case{true, false, false}, Case{false, true, false}}) {
    preview.setVisible(c.preview);
    if (c.info) infoButton->click();
    if (c.files) preview.openFilesWindow();
    QWidget* info = nullptr;
    for (QWidget* top : QApplication::topLevelWidgets())
      if (auto* window = qobject_cast<ImageInfoWindow*>(top)) info = window;
    ASSERT_NE(info, nullptr);
    ASSERT_EQ(info->isVisible(), c.info);
    setupClassesInitialValuesAndCloseWindows(view, 1);
    EXPECT_FALSE(info->isVisible()) << c.info << c.preview;
    EXPECT_FALSE(files->isVisible());
    EXPECT_FALSE(delegate.infoWindow()->isVisible());  // the welcome sheet is no side window
    view.state().isProcessingImages = false;
    view.setPreviewCanAcceptImages(true);
    order.shown.clear();
    for (QObject* window : {static_cast<QObject*>(info), static_cast<QObject*>(&preview),
                            static_cast<QObject*>(files)})
      window->installEventFilter(&order);
    view.restoreVisibleWindows();
    // The preview stays open through a batch; the closed ones come back in order.
    std::vector<QObject*> expected;
    if (c.info) expected.push_back(info);
    if (c.files) expected.push_back(files);
    EXPECT_EQ(order.shown, expected) << c.info << c.preview;
    EXPECT_EQ(preview.isVisible(), c.preview);
    EXPECT_EQ(info->isVisible(), c.info);
    EXPECT_EQ(files->isVisible(), c.files);
    for (QObject* window : {static_cast<QObject*>(info), static_cast<QObject*>(&preview),
                            static_cast<QObject*>(files)})
      window->removeEventFilter(&order);
    info->hide();
    files->hide();
  }
}

TEST_F(WindowWiringTest, PressInThePreviewPicksTheConverterCropCentreOnlyForCroppingMethods) {
  ASSERT_TRUE(dropOnConverter({makeImage("1.png")}));
  PreviewImageView& picture = *preview_->previewView();
  PositionPicker& picker = view().form().controls.cropPositionView;
  struct Case {
    std::int64_t resizeMethod;
    bool picks;
  };
  for (const Case& c : {Case{0, false}, Case{6, true}, Case{16, true}}) {
    view().form().controls.resizeScalePopUp.select(c.resizeMethod);
    picker.mousePoint = {10, 10};
    view().refreshControls();
    // The picture's centre: the area above the overlay strip.
    const QPoint centre = QRect(QPoint(), picture.pictureAreaSize()).center();
    QTest::mousePress(&picture, Qt::LeftButton, {}, centre);
    EXPECT_EQ(picker.viewIsMovingMouse, c.picks) << c.resizeMethod;
    QTest::mouseRelease(&picture, Qt::LeftButton, {}, centre);
    EXPECT_FALSE(picker.viewIsMovingMouse);
    if (c.picks) {
      EXPECT_NEAR(picker.mousePoint.x, 50, 1) << c.resizeMethod;
      EXPECT_NEAR(picker.mousePoint.y, 50, 1) << c.resizeMethod;
      // The crop-centre field shows the picked point (centred on 0) as it
      // rounds it.
      EXPECT_NEAR(view().findChild<QLineEdit*>("cropCenterXTextField")->text().toDouble(),
                  picker.mousePoint.x - 50, 0.5);
    } else {
      EXPECT_EQ(picker.mousePoint, (raster::Point{10, 10}));
    }
  }
}

TEST_F(WindowWiringTest, LaunchSelectsTheLastPresetAndEmptiesTempData) {
  struct Case {
    const char* lastSelected;
    std::int64_t selected;
    std::optional<std::string> remembered;
  };
  const Case cases[] = {
      {nullptr, 0, std::nullopt},
      {"JPG for Web", 2, "JPG for Web"},
      {"PDF 300 dpi", 8, "PDF 300 dpi"},
      {"A preset since deleted", 0, std::nullopt},
  };
  for (const Case& c : cases) {
    const fs::path leftOver = fs::path(PresetCatalogue::getTempDataPath()) / "left over.png";
    testsupport::runCommand({"/usr/bin/convert", "-size", "4x4", "xc:red", leftOver.string()});
    ASSERT_TRUE(fs::exists(leftOver));
    testsupport::TempDir config;
    foundation::UserDefaults defaults((config.path() / "defaults.plist").string());
    if (c.lastSelected) defaults.set("LastSelectedPreset", foundation::Value(std::string(c.lastSelected)));

    ConverterWindow converter;
    loadPresetsAtLaunch(converter, defaults);
    const PresetCatalogue& catalogue = converter.presetsWindow()->catalogue();
    EXPECT_EQ(catalogue.menus().popUpItems.size(), 16u) << c.selected;
    EXPECT_EQ(catalogue.menus().selectedIndex, c.selected);
    EXPECT_EQ(converter.converterView()->state().lastSelectedPresetName, c.remembered);
    EXPECT_EQ(converter.presetsWindow()->findChild<QComboBox*>("presetsPopUp")->currentIndex(), c.selected);
    // "PDF 300 dpi" is applied to the controls: the PDF format is chosen.
    EXPECT_EQ(converter.converterView()->formatButton(ConversionType::PDF)->isChecked(), c.selected == 8);
    EXPECT_FALSE(fs::exists(leftOver));
    EXPECT_TRUE(fs::is_directory(PresetCatalogue::getTempDataPath()));
  }
}

}  // namespace
}  // namespace velumar
