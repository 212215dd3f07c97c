#include "preview/preview_window.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QRegularExpression>
#include <QScreen>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <QTextDocument>
#include <QToolTip>
#include <QTreeView>
#include <QUrl>
#include <filesystem>
#include <fstream>
#include <memory>

#include "platform/foundation/notification_center.h"
#include "platform/ui/elided_label.h"
#include "platform/ui/hold_down_button.h"
#include "platform/ui/path_control.h"
#include "preview/files_table_model.h"
#include "preview/preview_image_view.h"
#include "preview/preview_import.h"
#include "preview/sorting_sheet.h"
#include "private_desktop.h"
#include "support/test_support.h"

namespace velumar {
namespace {

namespace fs = std::filesystem;

// A folder of small real images: a/1.png, a/2.png, a/b/3.png.
struct ImageFolder {
  testsupport::TempDir dir;
  std::string make(const std::string& relative, const std::string& size = "40x30") {
    const fs::path path = dir.path() / relative;
    fs::create_directories(path.parent_path());
    const auto result =
        testsupport::runCommand({"/usr/bin/convert", "-size", size, "xc:teal", path.string()});
    EXPECT_EQ(result.exitCode, 0) << result.output;
    return path.string();
  }
};

// Runs the main loop until the delayed merge of a drop or paste has run.
void waitForMerge() {
  QTest::qWait(250);
}

TEST(PreviewWindow, ImportsFillTheTableOutlineLabelsAndPathBar) {
  ImageFolder folder;
  const std::string one = folder.make("a/1.png"), two = folder.make("a/2.png"),
                    three = folder.make("a/b/3.png");
  PreviewWindow window;
  EXPECT_EQ(window.windowTitle(), "Velumar");
  EXPECT_EQ(window.countLabel()->text(), "1 / 1");
  EXPECT_FALSE(window.pathControl()->isVisible());
  const auto enabledItems = [&] {
    int enabled = 0;
    for (QAction* item : window.optionsMenu()->actions())
      enabled += item->isEnabled() && !item->isSeparator();
    return enabled;
  };
  EXPECT_EQ(enabledItems(), 1);  // only the paste

  ASSERT_TRUE(window.importPaths({(folder.dir.path() / "a").string()}, folder.dir.path().string(), true));
  EXPECT_TRUE(window.isVisible());  // brought forward
  EXPECT_EQ(window.listedFiles(), (std::vector<std::string>{one, two, three}));
  EXPECT_EQ(window.shownFile(), one);
  EXPECT_EQ(window.windowTitle(), "1.png");
  EXPECT_EQ(window.countLabel()->text(), "1 / 3");
  EXPECT_EQ(window.sizeLabel()->text(), "40 x 30");
  EXPECT_TRUE(window.pathControl()->isVisible());
  EXPECT_EQ(window.pathControl()->path().toStdString(), one);
  EXPECT_EQ(window.filesTable()->model()->rowCount(), 3);
  EXPECT_EQ(window.previewFilesMenuItem()->text().toStdString(), "Save preview files (3)");
  EXPECT_GT(enabledItems(), 5);
  // Two folders in the outline, a and a/b; the current file's folder open.
  QAbstractItemModel* outline = window.outlineView()->model();
  ASSERT_EQ(outline->rowCount(), 2);
  EXPECT_TRUE(outline->index(0, 0).data().toString().endsWith("/a (2)"));
  EXPECT_TRUE(window.outlineView()->isExpanded(outline->index(0, 0)));
  EXPECT_FALSE(window.outlineView()->isExpanded(outline->index(1, 0)));

  // Stepping: next at the end and previous at the start do nothing.
  EXPECT_FALSE(window.showPrevious());
  EXPECT_TRUE(window.showNext());
  EXPECT_TRUE(window.showNext());
  EXPECT_FALSE(window.showNext());
  EXPECT_EQ(window.countLabel()->text(), "3 / 3");
  EXPECT_EQ(window.shownFile(), three);
  EXPECT_TRUE(window.outlineView()->isExpanded(outline->index(1, 0)));
  EXPECT_FALSE(window.outlineView()->isExpanded(outline->index(0, 0)));

  // Importing the same files again adds nothing, silently: files were
  // found, and the hidden window comes forward, by either way in.
  for (const bool sent : {false, true}) {
    window.hide();
    if (sent)
      foundation::NotificationCenter::defaultCenter().post(
          "multipleImageViewDragAndDrop", nullptr,
          foundation::Value(foundation::Array{folder.dir.path().string(), foundation::Array{one}}),
          findRecursiveDirectoryForArray({one}, false, false, folder.dir.path().string(),
                                         [](const std::string&) { return true; }));
    else
      EXPECT_TRUE(window.importPaths({one}, folder.dir.path().string(), false));
    EXPECT_EQ(window.listedFiles().size(), 3u);
    EXPECT_TRUE(window.isVisible()) << sent;
  }
  EXPECT_FALSE(window.findChild<QWidget*>("unshownImportAlert"));
  window.resetPreview();
  EXPECT_TRUE(window.listedFiles().empty());
  EXPECT_EQ(window.windowTitle(), "Velumar");
  EXPECT_EQ(window.countLabel()->text(), "1 / 1");
  EXPECT_EQ(window.sizeLabel()->text(), "Width x Height");
  EXPECT_TRUE(window.previewView()->isOriginalImage());
  EXPECT_EQ(enabledItems(), 1);
  EXPECT_EQ(window.previewFilesMenuItem()->text().toStdString(), "Save preview files (0)");
}

TEST(PreviewWindow, ChangesFromOtherViewsAndUnshowableFilesKeepTheWindowTrue) {
  ImageFolder folder;
  const std::string one = folder.make("a/1.png"), two = folder.make("a/2.png"),
                    wide = folder.make("a/3.png", "10001x2"), cut = folder.make("a/4.png", "300x300");
  fs::resize_file(cut, 100);  // a PNG cut short
  const std::string gone = folder.make("a/5.png");
  PreviewWindow window;
  ASSERT_TRUE(window.importPaths({folder.dir.path().string() + "/a"}, folder.dir.path().string(), false));
  ASSERT_EQ(window.listedFiles().size(), 5u);
  fs::remove(gone);
  // The cut PNG's cause is the decoder's to note; until it does, the
  // preview falls back to the unsupported format.
  const struct {
    std::size_t position;
    QString cause;
  } unshowable[] = {{2, "The image is too large."},
                    {3, "(damaged or incomplete|format is not supported)"},
                    {4, "The source file does not exist."}};
  for (const auto& c : unshowable) {
    ASSERT_TRUE(
        window.list().changeSelectionWithIndexSet(OrganizedIndexSet::withIndex(c.position, c.position)));
    // previewURL stays, the labels hold nothing of the last file; the view
    // says why instead of the old picture.
    EXPECT_EQ(window.shownFile(), one) << c.position;
    EXPECT_EQ(window.sizeLabel()->text(), "");
    EXPECT_EQ(window.infoLabel()->text(), "");
    EXPECT_EQ(window.previewView()->displayedFile(), window.listedFiles()[c.position]);
    EXPECT_TRUE(window.previewView()->unavailableText().contains(QRegularExpression(c.cause)))
        << window.previewView()->unavailableText().toStdString();
    EXPECT_TRUE(window.previewView()->unavailableText().contains(
        QString::fromStdString(fs::path(window.listedFiles()[c.position]).filename().string())));
  }
  // A delete made by the grid (no removal notification) reaches the
  // labels, outline, table and picture.
  ASSERT_TRUE(window.list().removeSelectedItemsWithIndexSet({0, 3}, false));
  EXPECT_EQ(window.countLabel()->text(), "1 / 3");
  EXPECT_EQ(window.filesTable()->model()->rowCount(), 3);
  EXPECT_TRUE(window.outlineView()->model()->index(0, 0).data().toString().endsWith("(3)"));
  EXPECT_EQ(window.previewView()->displayedFile(), two);
  EXPECT_TRUE(window.previewView()->unavailableText().isEmpty());
  // Moved by the grid: the current entry is the one drawn.
  ASSERT_TRUE(window.list().moveItemsAtIndexes({1}, 0));
  EXPECT_EQ(window.previewView()->displayedFile(), wide);
  // Emptied by the grid: back to the placeholder.
  ASSERT_TRUE(window.list().removeSelectedItemsWithIndexSet({0, 1, 2}, false));
  EXPECT_TRUE(window.previewView()->isOriginalImage());
  EXPECT_FALSE(window.previewView()->displayedFile());
  EXPECT_EQ(window.countLabel()->text(), "1 / 1");
  // The files window's context menu carries the window's items.
  EXPECT_EQ(window.optionsInFilesWindowMenu()->actions(), window.optionsMenu()->actions());
}

// Files none of which can be shown, imported into a filled list: nothing is
// added, the current file stays shown, and one alert names the first file
// that said why, and counts every image file, bytes that are no image too.
TEST(PreviewWindow, AnImportNoneOfWhichCanBeShownSaysWhy) {
  ImageFolder folder;
  const std::string one = folder.make("1.png"), cut = folder.make("new/2.png", "300x300");
  fs::resize_file(cut, 100);
  const std::string wide = folder.make("new/3.png", "10001x2");
  // A font file reads as PostScript, and is no image the user imported.
  const std::string font = (folder.dir.path() / "new" / "1.pfa").string();
  std::ofstream(font) << "%!PS-AdobeFont-1.0: Test 001\n%%EndComments\n";
  // Noise named as images: the scan does not take them.
  const std::string noisePng = (folder.dir.path() / "new" / "n.png").string(),
                    noiseTif = (folder.dir.path() / "new" / "n.tif").string();
  for (const std::string& noise : {noisePng, noiseTif}) {
    std::ofstream out(noise, std::ios::binary);
    std::uint32_t state = 12345;
    for (int i = 0; i < 4096; ++i) out.put(char((state = state * 1103515245u + 12345u) >> 24));
  }
  PreviewWindow window;
  ASSERT_TRUE(window.importPaths({one}, folder.dir.path().string(), false));
  const struct {
    std::vector<std::string> files;
    QString title, cause;
  } rows[] = {
      {{wide}, "The imported image cannot be shown.", "3.png.*\\n.*too large"},
      {{cut, wide},
       "None of the imported images can be shown.",
       "2.png.*\\n.*\\nThe other file cannot be shown either\\.$"},
      {{font, cut}, "The imported image cannot be shown.", "^Cannot show .2.png.*\\n[^\\n]*$"},
      {{(folder.dir.path() / "new").string()},
       "None of the imported images can be shown.",
       "^Cannot show .2.png.\\.\\n[^\\n]*\\nThe other 3 files cannot be shown either\\.$"},
      {{noisePng, cut, noiseTif},
       "None of the imported images can be shown.",
       "2.png.*\\n.*\\nThe other 2 files cannot be shown either\\.$"},
      {{noiseTif}, "The imported image cannot be shown.", "^Cannot show .n.tif.\\.$"},
  };
  for (const auto& row : rows) {
    EXPECT_TRUE(window.importPaths(row.files, folder.dir.path().string(), false));
    EXPECT_EQ(window.listedFiles(), std::vector<std::string>{one});
    EXPECT_EQ(window.previewView()->displayedFile(), one);
    EXPECT_EQ(window.sizeLabel()->text(), "40 x 30");
    QTest::qWait(20);
    const QList<QMessageBox*> alerts = window.findChildren<QMessageBox*>("unshownImportAlert");
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_TRUE(alerts.front()->isVisible());
    EXPECT_EQ(alerts.front()->text().toStdString(), row.title.toStdString());
    EXPECT_TRUE(alerts.front()->informativeText().contains(QRegularExpression(row.cause)))
        << alerts.front()->informativeText().toStdString();
    // The names in it shown literally.
    for (const QLabel* label : alerts.front()->findChildren<QLabel*>())
      EXPECT_TRUE(label->text().isEmpty() || label->textFormat() == Qt::PlainText)
          << label->objectName().toStdString();
  }
  // An empty list says so too.
  PreviewWindow empty;
  EXPECT_TRUE(empty.importPaths({noisePng, cut}, folder.dir.path().string(), false));
  QTest::qWait(20);
  const auto* alert = empty.findChild<QMessageBox*>("unshownImportAlert");
  ASSERT_TRUE(alert);
  EXPECT_EQ(alert->text(), "None of the imported images can be shown.");
  EXPECT_TRUE(empty.listedFiles().empty());
}

TEST(PreviewWindow, TheHoldDownButtonShowsTheUnprocessedPictureOnlyWhileHeldOverAnImage) {
  ImageFolder folder;
  const std::string one = folder.make("1.png");
  PreviewWindow window;
  ui::CustomHoldDownButton* button = window.holdDownButton();
  ASSERT_NE(button, nullptr);
  EXPECT_TRUE(window.previewView()->isAncestorOf(button));
  button->setCheckable(true);  // so a state left on would show
  for (const bool withImage : {false, true}) {
    if (withImage) {
      ASSERT_TRUE(window.importPaths({one}, folder.dir.path().string(), false));
    }
    QTest::mousePress(button, Qt::LeftButton);
    EXPECT_EQ(window.previewView()->showOriginalImage(), withImage);
    QTest::mouseRelease(button, Qt::LeftButton);
    EXPECT_FALSE(window.previewView()->showOriginalImage());
    EXPECT_FALSE(button->isChecked());
  }
}

TEST(PreviewWindow, TableAndOutlineSelectionsFollowEachOtherWithoutLoops) {
  ImageFolder folder;
  for (const char* name : {"p/a.png", "p/b.png", "p/q/c.png"}) folder.make(name);
  PreviewWindow window;
  ASSERT_TRUE(window.importPaths({(folder.dir.path() / "p").string()}, folder.dir.path().string(), true));
  int indexSetPosts = 0;
  auto token = foundation::NotificationCenter::defaultCenter().addObserver(
      "updateBrowserViewIndexSet", [&](const foundation::Notification&) { ++indexSetPosts; });

  // A file row in the table: the list follows, the outline selects the
  // file and its folder.
  window.filesTable()->selectRow(2);
  EXPECT_EQ(window.list().imagesIndexSet(), OrganizedIndexSet::withIndex(2, 2));
  EXPECT_EQ(indexSetPosts, 1);
  QAbstractItemModel* outline = window.outlineView()->model();
  const QModelIndex qFolder = outline->index(1, 0), cLeaf = outline->index(0, 0, qFolder);
  EXPECT_TRUE(window.outlineView()->selectionModel()->isSelected(qFolder));
  EXPECT_TRUE(window.outlineView()->selectionModel()->isSelected(cLeaf));

  // A leaf in the outline: the list and the table follow.
  const QModelIndex pFolder = outline->index(0, 0), bLeaf = outline->index(1, 0, pFolder);
  window.outlineView()->selectionModel()->select(bLeaf, QItemSelectionModel::ClearAndSelect);
  EXPECT_EQ(window.list().imagesIndexSet(), OrganizedIndexSet::withIndex(1, 1));
  EXPECT_EQ(indexSetPosts, 2);
  EXPECT_TRUE(window.outlineView()->selectionModel()->isSelected(pFolder));
  EXPECT_EQ(window.filesTable()->selectionModel()->selectedRows().size(), 1);
  EXPECT_EQ(window.filesTable()->selectionModel()->selectedRows().front().row(), 1);
  // Only a folder: nothing changes in the list.
  window.outlineView()->selectionModel()->select(qFolder, QItemSelectionModel::ClearAndSelect);
  EXPECT_EQ(window.list().imagesIndexSet(), OrganizedIndexSet::withIndex(1, 1));
  EXPECT_EQ(indexSetPosts, 2);

  // While a conversion runs the table's selection is put back.
  window.setProcessing(true);
  window.filesTable()->selectRow(0);
  EXPECT_EQ(window.list().imagesIndexSet(), OrganizedIndexSet::withIndex(1, 1));
  EXPECT_EQ(window.filesTable()->selectionModel()->selectedRows().front().row(), 1);
  window.setProcessing(false);
}

TEST(PreviewWindow, DropsAndPastesAreListedAfterTheirEvent) {
  ImageFolder folder;
  const std::string loose = folder.make("loose.png");
  folder.make("trip/day/x.png");
  PreviewWindow window;
  window.show();

  QMimeData mime;
  mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(loose)),
                QUrl::fromLocalFile(QString::fromStdString((folder.dir.path() / "trip").string()))});
  QDragEnterEvent enter(QPoint(100, 100), Qt::CopyAction, &mime, Qt::LeftButton, {});
  QApplication::sendEvent(&window, &enter);
  EXPECT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(100, 100), Qt::CopyAction, &mime, Qt::LeftButton, {});
  QApplication::sendEvent(&window, &drop);
  EXPECT_TRUE(drop.isAccepted());
  EXPECT_TRUE(window.listedFiles().empty());  // merged 0.1 s later
  waitForMerge();
  ASSERT_EQ(window.listedFiles().size(), 2u);
  EXPECT_EQ(window.list().imageFileUrls()[1]->parentPathKey, "/trip/day");

  // A paste holding this application's copy marker is ignored.
  folder.make("pasted.png");
  auto* marked = new QMimeData;
  marked->setUrls({QUrl::fromLocalFile(QString::fromStdString(folder.dir.file("pasted.png")))});
  marked->setData(kCopyMarkerMimeType, "1");
  QApplication::clipboard()->setMimeData(marked);
  EXPECT_FALSE(window.pasteFromClipboard());
  auto* plain = new QMimeData;
  plain->setUrls({QUrl::fromLocalFile(QString::fromStdString(folder.dir.file("pasted.png")))});
  QApplication::clipboard()->setMimeData(plain);
  EXPECT_TRUE(window.pasteFromClipboard());
  waitForMerge();
  EXPECT_EQ(window.listedFiles().size(), 3u);

  // Blocked: drops are refused.
  window.setProcessing(true);
  QDragEnterEvent refused(QPoint(100, 100), Qt::CopyAction, &mime, Qt::LeftButton, {});
  QApplication::sendEvent(&window, &refused);
  EXPECT_FALSE(refused.isAccepted());
  window.setProcessing(false);
}

TEST(PreviewWindow, LongSortsCoverTheWindowWithTheSheetUntilTheOrderIsIn) {
  ImageFolder folder;
  std::vector<std::string> paths;
  for (int i = 0; i < 101; ++i) paths.push_back(folder.make("many/" + std::to_string(i) + ".png", "4x4"));
  PreviewWindow window;
  window.show();
  ASSERT_TRUE(window.importPaths({(folder.dir.path() / "many").string()}, folder.dir.path().string(), true));
  ASSERT_EQ(window.listedFiles().size(), 101u);
  ASSERT_TRUE(window.sortBy(SortOrder::FileSize));
  EXPECT_FALSE(window.list().canAcceptImages());
  EXPECT_TRUE(window.sortingSheet()->isVisible());
  EXPECT_FALSE(window.sortBy(SortOrder::Name));  // refused while sorting
  for (int i = 0; i < 100 && window.sortingSheet()->isVisible(); ++i) QTest::qWait(20);
  EXPECT_FALSE(window.sortingSheet()->isVisible());
  EXPECT_TRUE(window.list().canAcceptImages());
  EXPECT_EQ(window.countLabel()->text(), "1 / 101");
  // Reversal without sorting again.
  const std::string first = window.listedFiles().front();
  EXPECT_TRUE(window.setAscendingOrder(false));
  EXPECT_EQ(window.listedFiles().back(), first);
}

TEST(PreviewWindow, NamesThatAreNotUtf8StayBytes) {
  ImageFolder folder;
  const std::string latin1 = folder.make("caf\xe9/\xe9t\xe9.png");
  PreviewWindow window;
  ASSERT_TRUE(window.importPaths({latin1}, (folder.dir.path() / "caf\xe9").string(), false));
  EXPECT_EQ(window.listedFiles(), std::vector<std::string>{latin1});
  EXPECT_EQ(window.shownFile(), latin1);
  EXPECT_EQ(window.pathControl()->path().toStdString(), latin1);
  EXPECT_EQ(
      window.filesTable()->model()->index(0, 0).data(FilesTableModel::PathRole).toByteArray().toStdString(),
      latin1);
  EXPECT_FALSE(window.windowTitle().isEmpty());
}

TEST(PreviewWindow, TheFilesWindowAsksForImagesWhenTheListIsEmpty) {
  PreviewWindow window;
  window.show();
  window.openFilesWindow();
  auto* alert = window.findChild<QWidget*>("emptyListAlert");
  ASSERT_TRUE(alert);
  EXPECT_FALSE(window.filesWindow()->isVisible());
}

// The counter shows whole at any count, also in a window fitted to a small
// picture: the strip below the picture is never narrower than it needs.
TEST(PreviewWindow, TheCounterShowsWholeAtAnyCount) {
  ImageFolder folder;
  PreviewWindow window;
  window.show();
  ASSERT_TRUE(window.importPaths({folder.make("small.png")}, folder.dir.path().string(), false));
  PreviewImageView* view = window.previewView();
  view->showProcessAndInfoViews();
  QLabel* counter = window.countLabel();
  for (const char* text : {"1 / 100000", "100000 / 100000", "10000000 / 10000000"}) {
    counter->setText(text);
    const int needed = counter->fontMetrics().horizontalAdvance(counter->text());
    QWidget* strip = counter->parentWidget();
    // The window grows once its layouts have taken the new text.
    const auto whole = [&] {
      return counter->contentsRect().width() >= needed && strip->width() >= strip->sizeHint().width() &&
             view->rect().contains(strip->geometry());
    };
    EXPECT_TRUE(QTest::qWaitFor(whole)) << text << ": " << counter->contentsRect().width() << " of " << needed;
  }
}

// A file's own extension, of any length and markup (a name holds no "/", so
// no closing tag), shows literally: elided in the info label, whole in its
// tooltip, which wraps within the screen. The counter strip, not the name,
// sets how small the window goes.
TEST(PreviewWindow, ExtensionsShowLiterallyAndTheWindowStaysWithinTheScreen) {
  ImageFolder folder;
  // Wide enough for the markup to be whole, if it were shown as such.
  const std::string picture = folder.make("small.png", "600x300");
  const auto shownWith = [&](const std::string& extension) {
    const fs::path path = folder.dir.path() / ("small." + extension);
    if (extension != "png") fs::copy_file(picture, path);
    auto window = std::make_unique<PreviewWindow>();
    window->show();
    EXPECT_TRUE(window->importPaths({path.string()}, folder.dir.path().string(), false));
    window->previewView()->showProcessAndInfoViews();
    QTest::qWait(50);
    return window;
  };
  const auto plain = shownWith("png");
  const QRect screen = plain->screen()->availableGeometry();
  for (const std::string& extension :
       {std::string(200, 'x'), std::string("<img width=3000 height=3000 src=a>"), std::string("<b>bold")}) {
    SCOPED_TRACE(extension);
    const auto window = shownWith(extension);
    ui::ElidedLabel* info = window->infoLabel();
    const QString text = QString::fromStdString(extension + " , 8 bit");
    EXPECT_EQ(info->fullText(), text);
    EXPECT_EQ(info->textFormat(), Qt::PlainText);
    // The window as with a plain extension, with what the label shows inside it.
    const auto fits = [&] {
      return window->size() == plain->size() && window->minimumSizeHint() == plain->minimumSizeHint() &&
             info->fontMetrics().horizontalAdvance(info->text()) <= info->contentsRect().width();
    };
    EXPECT_TRUE(QTest::qWaitFor(fits))
        << window->height() << ", at least " << window->minimumSizeHint().height();
    // Cut, its tooltip reads as the text (but for invisible break
    // opportunities) and is laid out within the screen.
    info->resize(info->minimumSizeHint().width(), info->height());
    QTextDocument tip;
    tip.setHtml(info->toolTip());
    EXPECT_EQ(tip.toPlainText().remove(QChar(0x200B)).toStdString(), text.toStdString());
    QToolTip::showText(info->mapToGlobal(QPoint()), info->toolTip(), info);
    const QWidget* shown = nullptr;
    ASSERT_TRUE(QTest::qWaitFor([&] {
      for (QWidget* top : QApplication::topLevelWidgets())
        if (top->objectName() == "qtooltip_label" && top->isVisible()) shown = top;
      return shown != nullptr;
    }));
    EXPECT_TRUE(screen.contains(shown->geometry())) << shown->width() << " x " << shown->height();
    QToolTip::hideText();
  }
}

TEST(PreviewWindow, PicturesStayAboveTheOverlayStrip) {
  ImageFolder folder;
  const std::string tall = folder.make("tall.png", "300x900");
  PreviewWindow window;
  window.show();
  ASSERT_TRUE(window.importPaths({tall}, folder.dir.path().string(), false));
  PreviewImageView* view = window.previewView();
  view->showProcessAndInfoViews();
  QImage cropped(400, 400, QImage::Format_RGBA8888_Premultiplied);
  cropped.fill(Qt::red);
  // The source held down, then a cropped square preview: each fills the height.
  for (const auto& [original, colour] :
       {std::pair{true, QColor(0, 128, 128)}, std::pair{false, QColor(Qt::red)}}) {
    SCOPED_TRACE(original);
    view->setProcessedImage(cropped, {400, 400});
    view->setShowOriginalImage(original);
    const QImage shot = window.grab().toImage();
    const QRect area(view->mapTo(&window, QPoint(0, 0)), view->pictureAreaSize());
    const QRect strip =
        window.countLabel()->parentWidget()->geometry().translated(view->mapTo(&window, QPoint()));
    ASSERT_GT(view->overlayBandHeight(), 0);
    EXPECT_LE(area.bottom(), strip.top());
    int inside = 0, outside = 0;
    for (int y = 0; y < shot.height(); ++y)
      for (int x = 0; x < shot.width(); ++x)
        if (shot.pixelColor(x, y) == colour) ++(area.contains(x, y) ? inside : outside);
    EXPECT_GT(inside, area.width() * area.height() / 4);
    EXPECT_EQ(outside, 0);
  }
}

// A path bar component opens in the desktop's application for it, never in
// this one: here PNG files and folders would go to this application.
TEST(PreviewWindow, PathComponentsOpenInOtherApplicationsOnly) {
  ImageFolder folder;
  const std::string png = folder.make("a/1.png"), jpeg = folder.make("a/2.jpg");
  PreviewWindow window;
  for (const std::string& path : {png, (folder.dir.path() / "a").string(), jpeg})
    emit window.pathControl()->componentDoubleClicked(QByteArray::fromStdString(path));
  for (int wait = 0; wait < 100 && privatedesktop::recordedArguments("viewer").empty(); ++wait)
    QTest::qWait(50);
  QTest::qWait(200);  // time for a launch made before it to have written its record
  EXPECT_EQ(privatedesktop::recordedArguments("viewer"), std::vector<std::string>{jpeg});
  EXPECT_EQ(privatedesktop::recordedArguments("velumar"), std::vector<std::string>{});
}

}  // namespace
}  // namespace velumar
