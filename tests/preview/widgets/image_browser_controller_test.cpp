#include "preview/image_browser_controller.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QContextMenuEvent>
#include <QListView>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QStandardItemModel>
#include <QTest>
#include <QUrl>
#include <filesystem>

#include "platform/imageio/image_destination.h"
#include "preview/image_browser_delegate.h"
#include "preview/image_browser_grid_view.h"
#include "preview/image_browser_model.h"
#include "preview/image_browser_large_preview.h"
#include "support/test_support.h"

namespace velumar {
namespace {

void writePng(const std::string& path, std::int64_t width, std::int64_t height) {
  auto destination = imageio::ImageDestination::create(path, "public.png", 1);
  destination->addImage(raster::Image::make(width, height, raster::PixelFormat{8, 3, raster::AlphaInfo::None},
                                            raster::ColorSpace::sRGB(),
                                            std::vector<std::uint8_t>(std::size_t(width * height * 3), 128)),
                        foundation::Value(foundation::Dictionary{}));
  ASSERT_TRUE(destination->finalize());
}

class ImageBrowserControllerTest : public ::testing::Test {
 protected:
  ImageBrowserControllerTest() {
    for (int i = 0; i < 6; ++i) {
      names_.push_back("img" + std::to_string(i) + ".png");
      writePng(dir_.file(names_.back()), 40 + i, 30);
    }
    controller_.setDropImporter([this](const std::vector<std::string>& paths) {
      OrganizedURLList entries;
      for (const auto& path : paths)
        entries.push_back(OrganizedURL::organizedURLWithPath(path, false, dir_.path()));
      return list_.verifyDuplicateImageUrlsWithUrlsArray(dir_.path(), entries);
    });
  }
  void import(const std::vector<std::string>& names) {
    OrganizedURLList entries;
    for (const auto& name : names)
      entries.push_back(OrganizedURL::organizedURLWithPath(dir_.file(name), false, dir_.path()));
    list_.verifyDuplicateImageUrlsWithUrlsArray(dir_.path(), entries);
  }
  std::vector<std::string> titles() {
    std::vector<std::string> out;
    auto* model = controller_.grid()->model();
    for (int row = 0; row < model->rowCount(); ++row)
      out.push_back(model->index(row, 0).data().toString().toStdString());
    return out;
  }
  std::vector<std::string> listTitles() const {
    std::vector<std::string> out;
    for (const auto& entry : list_.imageFileUrls())
      out.push_back(std::filesystem::path(entry->path).stem().string());
    return out;
  }

  testsupport::TempDir dir_;
  std::vector<std::string> names_;
  std::string shown_;  // the file the preview last showed
  PreviewList list_{[this](const OrganizedURL& entry) {
    shown_ = entry.fileName();
    return true;
  }};
  ImageBrowserController controller_{list_, desktop::ThumbnailCache(dir_.file("cache"))};
};

TEST_F(ImageBrowserControllerTest, ThumbnailsAndSubtitlesArriveInTheBackground) {
  controller_.show();
  import(names_);
  auto* model = controller_.grid()->model();
  ASSERT_EQ(model->rowCount(), 6);
  EXPECT_EQ(model->index(0, 0).data(ImageBrowserModel::SubtitleRole).toString(), "png");
  ASSERT_TRUE(QTest::qWaitFor([&] {
    for (int row = 0; row < 6; ++row)
      if (model->index(row, 0).data(ImageBrowserModel::ThumbnailRole).value<QImage>().isNull()) return false;
    return true;
  }));
  EXPECT_EQ(model->index(2, 0).data(ImageBrowserModel::SubtitleRole).toString(), "42 x 30, png");
  EXPECT_EQ(model->index(2, 0).data().toString(), "img2");
  EXPECT_EQ(controller_.grid()->gridSize(), QSize(256 + 10, controller_.grid()->gridSize().height()));
  controller_.zoomSliderDidChange(1.0);
  EXPECT_EQ(controller_.grid()->gridSize().width(), 512 + 10);
  EXPECT_FALSE(controller_.grab().isNull());
}

TEST_F(ImageBrowserControllerTest, DraggedCellsMoveAndDroppedFilesAreInsertedWhereDropped) {
  import(names_);
  auto* model = controller_.grid()->model();
  std::unique_ptr<QMimeData> rows(model->mimeData({model->index(1, 0), model->index(3, 0)}));
  model->dropMimeData(rows.get(), Qt::MoveAction, 5, 0, {});
  const std::vector<std::string> moved = {"img0", "img2", "img4", "img1", "img3", "img5"};
  EXPECT_EQ(titles(), moved);
  EXPECT_EQ(listTitles(), moved);
  EXPECT_EQ(controller_.grid()->selectionModel()->selectedIndexes().size(), 2);

  writePng(dir_.file("new.png"), 8, 8);
  QMimeData files;
  files.setUrls({QUrl::fromLocalFile(QString::fromStdString(dir_.file("new.png")))});
  EXPECT_TRUE(model->dropMimeData(&files, Qt::CopyAction, 2, 0, {}));
  EXPECT_EQ(titles()[2], "new");
  EXPECT_EQ(listTitles(), titles());
}

TEST_F(ImageBrowserControllerTest, DropsOnTheGridLandBetweenCellsAndTakeFilesOnly) {
  import(names_);
  controller_.show();
  auto* grid = dynamic_cast<ImageBrowserGridView*>(controller_.grid());
  ASSERT_TRUE(grid);
  auto* model = grid->model();
  const QRect third = grid->visualRect(model->index(2, 0));
  EXPECT_EQ(grid->dropRowAt(QPoint(third.left() + 2, third.center().y())), 2);
  EXPECT_EQ(grid->dropRowAt(QPoint(third.right() - 2, third.center().y())), 3);
  EXPECT_EQ(grid->dropRowAt(QPoint(grid->viewport()->width() - 2, grid->viewport()->height() - 2)), 6);

  std::unique_ptr<QMimeData> rows(model->mimeData({model->index(4, 0)}));
  QDragEnterEvent cells(third.center(), Qt::MoveAction, rows.get(), Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(grid->viewport(), &cells);
  EXPECT_TRUE(cells.isAccepted());
  EXPECT_EQ(cells.dropAction(), Qt::MoveAction);
  QMimeData files;
  files.setUrls({QUrl::fromLocalFile(QString::fromStdString(dir_.file("img0.png")))});
  QDragEnterEvent dropped(third.center(), Qt::CopyAction | Qt::MoveAction, &files, Qt::LeftButton,
                          Qt::NoModifier);
  QApplication::sendEvent(grid->viewport(), &dropped);
  EXPECT_TRUE(dropped.isAccepted());
  EXPECT_EQ(dropped.dropAction(), Qt::CopyAction);
  QMimeData text;
  text.setText("not files");
  QDragEnterEvent refused(third.center(), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(grid->viewport(), &refused);
  EXPECT_FALSE(refused.isAccepted());
}

TEST_F(ImageBrowserControllerTest, DeletingEveryCellEmptiesTheListAndGrid) {
  import(names_);
  controller_.show();
  controller_.grid()->setFocus();
  controller_.grid()->selectAll();
  QTest::keyClick(controller_.grid(), Qt::Key_Delete);
  EXPECT_EQ(controller_.grid()->model()->rowCount(), 0);
  EXPECT_TRUE(list_.imageFileUrls().empty());
}

TEST_F(ImageBrowserControllerTest, CommandKeyStateAndMenusFollowTheList) {
  import(names_);
  std::vector<bool> states;
  controller_.setCommandKeyObserver([&](bool down) { states.push_back(down); });
  QTest::keyClick(controller_.grid(), Qt::Key_A, Qt::ControlModifier);
  EXPECT_EQ(states, (std::vector<bool>{true, false}));
  QTest::keyClick(controller_.grid(), Qt::Key_Right);
  EXPECT_EQ(states.size(), 2u);

  QMenu cellMenu, backgroundMenu;
  cellMenu.addAction("cell");
  backgroundMenu.addAction("background");
  controller_.setMenus(&cellMenu, &backgroundMenu);
  controller_.show();
  const QPoint onCell = controller_.grid()->visualRect(controller_.grid()->model()->index(0, 0)).center();
  list_.setBlocked(PreviewList::Block::Session, true);
  QContextMenuEvent blocked(QContextMenuEvent::Mouse, onCell,
                            controller_.grid()->viewport()->mapToGlobal(onCell));
  QApplication::sendEvent(controller_.grid()->viewport(), &blocked);
  EXPECT_FALSE(cellMenu.isVisible());
  list_.setBlocked(PreviewList::Block::Session, false);
  QContextMenuEvent allowed(QContextMenuEvent::Mouse, onCell,
                            controller_.grid()->viewport()->mapToGlobal(onCell));
  QApplication::sendEvent(controller_.grid()->viewport(), &allowed);
  EXPECT_TRUE(cellMenu.isVisible());
  EXPECT_FALSE(backgroundMenu.isVisible());
  cellMenu.close();
}

// Several cells selected with the mouse show the first one when the button
// comes up, or when the drag it started ends, or when the grid loses the
// focus, is hidden or is left with no button down before the release
// arrives; one cell, the command key and keys show at once, also after a
// release that never came. Each wait ends by its own event: the calls
// queued by a click have run before the next press.
TEST_F(ImageBrowserControllerTest, GridSelectionsShowAtOnceOrAtTheMouseUp) {
  import(names_);
  controller_.show();
  QWidget elsewhere;
  QListView* grid = controller_.grid();
  QWidget* cells = grid->viewport();
  const auto at = [&](int row) { return grid->visualRect(grid->model()->index(row, 0)).center(); };
  enum Gesture { Click, Press, Release, ReleaseElsewhere, Drag, ShiftLeft, FocusOut, Hide, Leave };
  const struct Step {
    Gesture gesture;
    int row;
    Qt::KeyboardModifier modifier;
    const char* shown;
  } waits[] = {{Click, 3, {}, "img3"}, {Press, 1, Qt::ShiftModifier, "img3"}};
  const struct {
    const char* name;
    std::vector<Step> steps;
  } cases[] = {
      {"range", {waits[0], waits[1], {Release, 1, Qt::ShiftModifier, "img1"}}},
      {"command key", {waits[0], {Press, 1, Qt::ControlModifier, "img1"}}},
      {"one cell", {waits[0], {Press, 1, {}, "img1"}}},
      {"shift+arrow", {waits[0], {ShiftLeft, 0, {}, "img2"}}},
      {"drag", {waits[0], waits[1], {Drag, 4, {}, "img1"}}},
      {"focus lost", {waits[0], waits[1], {FocusOut, 0, {}, "img1"}}},
      {"keys while held", {{Press, 3, {}, "img3"}, {ShiftLeft, 0, {}, "img2"}}},
      {"release lost", {{Press, 3, {}, "img3"}, {FocusOut, 0, {}, "img3"}, {ShiftLeft, 0, {}, "img2"}}},
      {"released on another window", {waits[0], waits[1], {ReleaseElsewhere, 0, {}, "img1"}}},
      {"left with no button down", {waits[0], waits[1], {Leave, 0, {}, "img1"}}},
      // Pressed while another window is active: hiding takes no focus away.
      {"hidden", {waits[0], {FocusOut, 0, {}, "img3"}, waits[1], {Hide, 0, {}, "img1"}}},
  };
  for (const auto& gestures : cases) {
    SCOPED_TRACE(gestures.name);
    controller_.show();
    controller_.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&controller_));
    grid->setFocus();
    ASSERT_TRUE(list_.changeSelectionWithIndexSet(OrganizedIndexSet::withIndex(5, 5)));
    bool held = false;
    for (const Step& step : gestures.steps) {
      switch (step.gesture) {
        case Click:
          QTest::mouseClick(cells, Qt::LeftButton, step.modifier, at(step.row));
          QCoreApplication::processEvents();
          break;
        case Press:
          QTest::mousePress(cells, Qt::LeftButton, step.modifier, at(step.row));
          held = true;
          break;
        case Release:
          QTest::mouseRelease(cells, Qt::LeftButton, step.modifier, at(step.row));
          held = false;
          break;
        case ReleaseElsewhere:
          QTest::mouseRelease(&elsewhere, Qt::LeftButton);
          QCoreApplication::processEvents();
          held = false;
          break;
        case Drag:
          // The first move arms the drag, the second starts it.
          QTest::mouseMove(cells, at(step.row) - QPoint(1, 0));
          QTest::mouseMove(cells, at(step.row));
          break;
        case ShiftLeft:
          QTest::keyClick(grid, Qt::Key_Left, Qt::ShiftModifier);
          break;
        case FocusOut:
          elsewhere.show();
          elsewhere.activateWindow();
          ASSERT_TRUE(QTest::qWaitForWindowActive(&elsewhere));
          break;
        case Hide:
          controller_.hide();
          break;
        case Leave: {
          // The button comes up over another window and the pointer leaves
          // the grid before the end queued by that release has run.
          QTest::mouseRelease(&elsewhere, Qt::LeftButton);
          QEvent leave(QEvent::Leave);
          QCoreApplication::sendEvent(grid, &leave);
          held = false;
          break;
        }
      }
      EXPECT_EQ(shown_, std::string(step.shown) + ".png") << step.gesture;
    }
    if (held) QTest::mouseRelease(cells, Qt::LeftButton, {}, at(5));
  }
}

TEST_F(ImageBrowserControllerTest, SpaceShowsTheCurrentCellLarge) {
  import(names_);
  controller_.show();
  QTest::keyClick(controller_.grid(), Qt::Key_Space);
  LargePreviewWindow* look = controller_.largePreviewWindow();
  ASSERT_TRUE(look);
  EXPECT_EQ(look->path(), dir_.file("img0.png"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return !look->picture().isNull(); }));
  EXPECT_EQ(look->picture().width(), 40);
  QTest::keyClick(look, Qt::Key_Escape);
  EXPECT_FALSE(look->isVisible());
}

}  // namespace
}  // namespace velumar

namespace velumar {
namespace {

TEST(ImageBrowserScrolling, CellsScrolledIntoViewGetTheirThumbnailsFirst) {
  const testsupport::TempDir dir;
  PreviewList list([](const OrganizedURL&) { return true; });
  ImageBrowserController controller(list, std::nullopt);
  controller.resize(600, 400);
  controller.show();
  OrganizedURLList entries;
  for (int i = 0; i < 80; ++i) {
    const std::string path = dir.file("p" + std::to_string(i) + ".png");
    writePng(path, 16, 12);
    entries.push_back(OrganizedURL::organizedURLWithPath(path, false, dir.path()));
  }
  list.verifyDuplicateImageUrlsWithUrlsArray(dir.path(), entries);
  auto* model = controller.grid()->model();
  const auto loaded = [&](int row) {
    return !model->index(row, 0).data(ImageBrowserModel::ThumbnailRole).value<QImage>().isNull();
  };
  ASSERT_TRUE(QTest::qWaitFor([&] { return loaded(0); }));
  controller.grid()->scrollToBottom();
  ASSERT_TRUE(QTest::qWaitFor([&] { return loaded(79); }));
  // The middle of the list, neither visible nor near, is not loaded.
  EXPECT_FALSE(loaded(40));
}

}  // namespace
}  // namespace velumar

namespace velumar {
namespace {

// A cell titled with descenders: the title line is as high as its font's
// line, and a narrow cell keeps the pixel size of the subtitle.
TEST(ImageBrowserCell, TitlesKeepTheirDescendersAndSubtitlesTheirPixelSize) {
  QListView view;
  ImageBrowserDelegate delegate(&view);
  QStandardItemModel model;
  auto* item = new QStandardItem(QStringLiteral("g_y_Q"));
  item->setData(QStringLiteral("4000 x 3000, jpeg"), ImageBrowserModel::SubtitleRole);
  model.appendRow(item);
  for (const int side : {51, 128, 256}) {
    delegate.setImageSide(side);
    const QRect cell(QPoint(0, 0), delegate.cellSize());
    QFont bold;
    bold.setPointSizeF(12);
    bold.setBold(true);
    const QRect title = delegate.titleRect(cell);
    EXPECT_GE(title.height(), QFontMetrics(bold).height()) << side;
    EXPECT_LE(delegate.subtitleRect(cell).bottom(), cell.bottom()) << side;
    EXPECT_GE(delegate.subtitleRect(cell).top(), title.bottom()) << side;
    // Drawn: the underscores' row below the baseline carries white pixels.
    QImage drawn(cell.size(), QImage::Format_ARGB32_Premultiplied);
    drawn.fill(Qt::black);
    QPainter painter(&drawn);
    QStyleOptionViewItem option;
    option.rect = cell;
    delegate.paint(&painter, option, model.index(0, 0));
    painter.end();
    int lowWhite = 0;
    const int baseline = title.center().y() + QFontMetrics(bold).ascent() / 2;
    for (int y = baseline; y <= title.bottom(); ++y)
      for (int x = 0; x < drawn.width(); ++x) lowWhite += qGray(drawn.pixel(x, y)) > 200;
    EXPECT_GT(lowWhite, 0) << side;
  }
  QFont small;
  small.setPointSizeF(10);
  const QFontMetrics metrics(small);
  const QString fitted = ImageBrowserDelegate::fittedSubtitle("4000 x 3000, jpeg", metrics,
                                                              metrics.horizontalAdvance("4000 x 3000") + 2);
  EXPECT_EQ(fitted, "4000 x 3000");
  EXPECT_EQ(ImageBrowserDelegate::fittedSubtitle("40 x 30, png", metrics, 400), "40 x 30, png");
}

}  // namespace
}  // namespace velumar
