#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QListView>
#include <QMimeData>
#include <QTableView>
#include <QTest>
#include <QToolButton>
#include <QUrl>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "app/window_wiring.h"
#include "converter/converter_view.h"
#include "converter/converter_window.h"
#include "preview/image_browser_controller.h"
#include "preview/image_browser_large_preview.h"
#include "preview/image_info_window.h"
#include "preview/preview_window.h"
#include "session/converter_state.h"
#include "support/test_support.h"

namespace velumar {
namespace {

namespace fs = std::filesystem;

template <class Window>
Window* topLevel() {
  for (QWidget* widget : QApplication::topLevelWidgets())
    if (auto* window = qobject_cast<Window*>(widget)) return window;
  return nullptr;
}

// The converter and preview windows wired as at launch, three images listed.
class LibraryWindowsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("XDG_DATA_HOME", (data_.path() / "data").c_str(), 1);
    setenv("XDG_CACHE_HOME", (data_.path() / "cache").c_str(), 1);
    connectConverterToPreview(converter_, *preview_);
    connectLibraryWindows(converter_, *preview_);
    for (const char* name : {"a.png", "b.png", "c.png"}) files_.push_back(makeImage(name));
    ASSERT_TRUE(preview_->importPaths(files_, data_.path().string(), false));
  }
  std::string makeImage(const std::string& name) {
    const fs::path path = data_.path() / "in" / name;
    fs::create_directories(path.parent_path());
    const auto result =
        testsupport::runCommand({"/usr/bin/convert", "-size", "60x40", "xc:teal", path.string()});
    EXPECT_EQ(result.exitCode, 0) << result.output;
    return path.string();
  }
  template <class Item>
  Item* find(const char* name) {
    auto* item = preview_->findChild<Item*>(name);
    if (!item) ADD_FAILURE() << name;
    return item;
  }

  testsupport::TempDir data_;
  std::vector<std::string> files_;
  ConverterWindow converter_;
  std::unique_ptr<PreviewWindow> preview_ = std::make_unique<PreviewWindow>();
};

TEST_F(LibraryWindowsTest, MenuItemsAndButtonsOpenTheirWindows) {
  struct Case {
    const char* item;
    bool isButton;
    std::function<QWidget*()> target;
  };
  const auto library = [] { return static_cast<QWidget*>(topLevel<ImageBrowserController>()); };
  const auto info = [] { return static_cast<QWidget*>(topLevel<ImageInfoWindow>()); };
  const auto largePreview = [] {
    auto* grid = topLevel<ImageBrowserController>();
    return grid ? static_cast<QWidget*>(grid->largePreviewWindow()) : nullptr;
  };
  for (const Case& c : {Case{"showLibraryMenuItem", false, library}, Case{"showLibraryButton", true, library},
                        Case{"imageInfoMenuItem", false, info}, Case{"imageInfoButton", true, info},
                        Case{"largePreviewMenuItem", false, largePreview}}) {
    if (QWidget* open = c.target()) open->hide();
    if (c.isButton) {
      QToolButton* button = find<QToolButton>(c.item);
      ASSERT_TRUE(button);
      button->click();
    } else {
      QAction* action = find<QAction>(c.item);
      ASSERT_TRUE(action);
      ASSERT_TRUE(action->isEnabled()) << c.item;
      action->trigger();
    }
    QWidget* target = c.target();
    ASSERT_TRUE(target) << c.item;
    EXPECT_TRUE(target->isVisible()) << c.item;
  }
  // The grid shows the list; files dropped on it are listed.
  auto* grid = topLevel<ImageBrowserController>();
  EXPECT_EQ(grid->grid()->model()->rowCount(), 3);
  EXPECT_NE(topLevel<ImageInfoWindow>()->fileValues().indexOf("a.png"), -1);
  const std::string dropped = makeImage("d.png");
  QMimeData mime;
  mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(dropped))});
  ASSERT_TRUE(grid->grid()->model()->dropMimeData(&mime, Qt::CopyAction, 1, 0, {}));
  EXPECT_TRUE(QTest::qWaitFor([&] { return preview_->listedFiles().size() == 4; }, 3000));
  EXPECT_EQ(grid->grid()->model()->rowCount(), 4);
  // Share is on while an image is shown.
  EXPECT_TRUE(find<QToolButton>("shareButton")->isEnabled());
  preview_->resetPreview();
  EXPECT_FALSE(find<QToolButton>("shareButton")->isEnabled());
}

// The image-information window follows the shown file, and shows no file
// while the preview's placeholder says that a file cannot be shown.
TEST_F(LibraryWindowsTest, ImageInfoShowsNoFileUnderThePlaceholder) {
  auto* info = topLevel<ImageInfoWindow>();
  ASSERT_TRUE(info);
  const ImageInfoWindow blank;  // follows the shown file from here on
  const QString noFile = blank.fileValues(), noCamera = blank.cameraValues();
  fs::resize_file(files_[1], 50);  // b.png cut short
  const struct {
    std::size_t position;
    const char* name;
  } rows[] = {{2, "c.png"}, {1, nullptr}, {0, "a.png"}};
  for (const auto& row : rows) {
    ASSERT_TRUE(
        preview_->list().changeSelectionWithIndexSet(OrganizedIndexSet::withIndex(row.position, row.position)));
    if (row.name) {
      EXPECT_TRUE(info->fileValues().startsWith(row.name)) << info->fileValues().toStdString();
    } else {
      EXPECT_EQ(info->fileValues().toStdString(), noFile.toStdString());
      EXPECT_EQ(info->cameraValues().toStdString(), noCamera.toStdString());
    }
  }
}

// Cells picked with Shift in the grid: the preview, its title and its count
// move to the first of them when the mouse button comes up.
TEST_F(LibraryWindowsTest, AGridRangeIsShownAtTheMouseUp) {
  find<QAction>("showLibraryMenuItem")->trigger();
  QListView* cells = topLevel<ImageBrowserController>()->grid();
  const auto at = [&](int row) { return cells->visualRect(cells->model()->index(row, 0)).center(); };
  QTest::mouseClick(cells->viewport(), Qt::LeftButton, {}, at(2));
  QTest::mousePress(cells->viewport(), Qt::LeftButton, Qt::ShiftModifier, at(0));
  const struct {
    std::string file;
    const char *title, *count;
  } shown[] = {{files_[2], "c.png", "3 / 3"}, {files_[0], "a.png", "1 / 3"}};
  for (const auto& expected : shown) {
    EXPECT_EQ(preview_->shownFile(), expected.file);
    EXPECT_EQ(preview_->windowTitle().toStdString(), expected.title);
    EXPECT_EQ(preview_->countLabel()->text().toStdString(), expected.count);
    QTest::mouseRelease(cells->viewport(), Qt::LeftButton, Qt::ShiftModifier, at(0));
  }
}

TEST_F(LibraryWindowsTest, ConvertSelectedConvertsTheSelectedRowsThroughTheSession) {
  const fs::path out = data_.path() / "out";
  fs::create_directories(out);
  ConverterState& state = converter_.converterView()->state();
  state.saveWithStoredFileURL = 1;
  state.fileURLForSaving = out.string();
  QTableView& table = *preview_->filesTable();
  table.clearSelection();
  for (int row : {2, 0})
    table.selectionModel()->select(table.model()->index(row, 0),
                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);
  ASSERT_EQ(preview_->selectedTableRows(), (std::vector<std::size_t>{0, 2}));
  find<QAction>("convertSelectedMenuItem")->trigger();
  EXPECT_TRUE(state.drawForDragAndDrop);
  const auto written = [&] {
    std::vector<std::string> names;
    for (const auto& file : fs::directory_iterator(out)) names.push_back(file.path().stem());
    std::sort(names.begin(), names.end());
    return names;
  };
  ASSERT_TRUE(
      QTest::qWaitFor([&] { return !state.isProcessingImages.load() && written().size() >= 2; }, 20000));
  EXPECT_EQ(written(), (std::vector<std::string>{"a", "c"}));
}

}  // namespace
}  // namespace velumar
