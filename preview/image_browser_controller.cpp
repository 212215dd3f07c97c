#include "preview/image_browser_controller.h"

#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QMenu>
#include <QScrollBar>
#include <QSlider>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "preview/image_browser_delegate.h"
#include "preview/image_browser_grid_view.h"
#include "preview/image_browser_large_preview.h"

namespace velumar {

namespace {

// Spacing between cells: across, down.
constexpr int kSpacingAcross = 10;
constexpr int kSpacingDown = 20;
// Zoom 1 shows squares of this many pixels.
constexpr double kLargestSide = 512;
// Rows beyond the visible ones that are loaded ahead.
constexpr int kRowsAhead = 2;

}  // namespace

ImageBrowserController::ImageBrowserController(PreviewList& preview,
                                               std::optional<desktop::ThumbnailCache> cache, QWidget* parent)
    : QWidget(parent, Qt::Window) {
  setWindowTitle(tr("Library"));
  mirror_ = std::make_unique<ImageBrowserMirror>(preview, static_cast<ImageBrowserView&>(*this));
  loader_ = std::make_unique<ThumbnailLoader>(
      [this](const ThumbnailKey& key, const Thumbnail& thumbnail) {
        model_->thumbnailArrived(key, thumbnail);
      },
      std::move(cache));
  model_ = std::make_unique<ImageBrowserModel>(*mirror_, *loader_);

  grid_ = new ImageBrowserGridView(*this, this);
  delegate_ = new ImageBrowserDelegate(grid_);
  grid_->setViewMode(QListView::IconMode);
  grid_->setMovement(QListView::Static);
  grid_->setResizeMode(QListView::Adjust);
  grid_->setUniformItemSizes(true);
  grid_->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
  grid_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  grid_->setDragEnabled(true);
  grid_->setAcceptDrops(true);
  grid_->viewport()->setAcceptDrops(true);
  grid_->setDropIndicatorShown(true);
  grid_->setDragDropMode(QAbstractItemView::DragDrop);
  grid_->setDefaultDropAction(Qt::MoveAction);
  grid_->setDragDropOverwriteMode(false);
  grid_->setItemDelegate(delegate_);
  grid_->setModel(model_.get());
  QPalette palette = grid_->palette();
  palette.setColor(QPalette::Base, QColor::fromRgbF(0.192f, 0.192f, 0.192f));
  grid_->setPalette(palette);
  connect(grid_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          &ImageBrowserController::selectionChanged);
  connect(model_.get(), &QAbstractItemModel::modelReset, this,
          &ImageBrowserController::requestVisibleThumbnails);

  zoomSlider_ = new QSlider(Qt::Horizontal, this);
  zoomSlider_->setRange(10, 100);
  zoomSlider_->setValue(50);
  zoomSlider_->setMaximumWidth(200);
  connect(zoomSlider_, &QSlider::valueChanged, this,
          [this](int value) { zoomSliderDidChange(value / 100.0); });
  largePreviewButton_ = new QToolButton(this);
  largePreviewButton_->setText(tr("Large Preview"));
  connect(largePreviewButton_, &QToolButton::clicked, this, &ImageBrowserController::largePreviewFrom);

  auto* bar = new QHBoxLayout();
  bar->addWidget(largePreviewButton_);
  bar->addStretch();
  bar->addWidget(zoomSlider_);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 6);
  layout->addWidget(grid_);
  layout->addLayout(bar);
  resize(900, 640);

  commandKeyToken_ = foundation::NotificationCenter::defaultCenter().addObserver(
      "updateCommandKeyIKBrowserState", [this](const foundation::Notification& n) {
        if (commandKeyObserver_) commandKeyObserver_(n.userInfo.boolOr(false));
      });
  zoomSliderDidChange(zoom_);
  mirror_->syncWithList();
}

ImageBrowserController::~ImageBrowserController() {
  // The grid and the model go before the mirror and loader they read.
  delete grid_;
  grid_ = nullptr;
  model_.reset();
}

QListView* ImageBrowserController::grid() const {
  return grid_;
}

void ImageBrowserController::setDropImporter(ImageBrowserModel::DropImporter importer) {
  model_->setDropImporter(std::move(importer));
}

void ImageBrowserController::setMenus(QMenu* cellMenu, QMenu* backgroundMenu) {
  cellMenu_ = cellMenu;
  backgroundMenu_ = backgroundMenu;
}

void ImageBrowserController::zoomSliderDidChange(double zoom) {
  zoom_ = std::clamp(double(float(zoom)), 0.1, 1.0);
  const int side = int(std::lround(zoom_ * kLargestSide));
  delegate_->setImageSide(side);
  const QSize cell = delegate_->cellSize();
  grid_->setGridSize(QSize(cell.width() + kSpacingAcross, cell.height() + kSpacingDown));
  loader_->setPixelSize(int(std::lround(side * devicePixelRatioF())));
  grid_->doItemsLayout();
  grid_->viewport()->update();
  requestVisibleThumbnails();
}

void ImageBrowserController::reloadData() {
  model_->reload();
  grid_->viewport()->update();
}

void ImageBrowserController::reloadDataWithIndexSet(const OrganizedIndexSet& selection) {
  model_->reload();
  select(selection.indexSet, selection.imageCount);
}

void ImageBrowserController::selectIndexes(const std::vector<std::size_t>& indexes, std::size_t scrollTo) {
  select(indexes, scrollTo);
}

void ImageBrowserController::select(const std::vector<std::size_t>& indexes, std::size_t scrollTo) {
  QItemSelection selection;
  for (const std::size_t row : indexes) {
    if (row >= std::size_t(model_->rowCount())) continue;
    const QModelIndex index = model_->index(int(row));
    selection.select(index, index);
  }
  grid_->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
  if (scrollTo < std::size_t(model_->rowCount())) {
    const QModelIndex current = model_->index(int(scrollTo));
    grid_->selectionModel()->setCurrentIndex(current, QItemSelectionModel::NoUpdate);
    grid_->scrollTo(current);
  }
}

void ImageBrowserController::selectionChanged() {
  std::vector<std::size_t> rows;
  for (const QModelIndex& index : grid_->selectionModel()->selectedIndexes())
    rows.push_back(std::size_t(index.row()));
  mirror_->selectionDidChange(rows, grid_->selectsWithMouseHeld());
}

void ImageBrowserController::requestVisibleThumbnails() {
  // Coalesced: scrolling asks many times per frame.
  if (requestQueued_) return;
  requestQueued_ = true;
  QTimer::singleShot(0, this, [this] {
    requestQueued_ = false;
    const int count = model_->rowCount();
    if (count == 0) {
      loader_->request({});
      return;
    }
    // Cells lie row by row on the grid, so the visible ones follow from
    // the scroll position without asking every cell where it is.
    const QSize viewport = grid_->viewport()->size();
    const QSize cell = grid_->gridSize().isValid() ? grid_->gridSize() : delegate_->cellSize();
    const int columns = std::max(1, viewport.width() / std::max(1, cell.width()));
    const int firstLine = std::max(0, grid_->verticalScrollBar()->value() / std::max(1, cell.height()));
    const int lines = viewport.height() / std::max(1, cell.height()) + 2;
    const int first = std::min(count - 1, firstLine * columns);
    const int last = std::min(count - 1, first + lines * columns - 1);
    std::vector<ThumbnailKey> wanted;
    for (int row = first; row <= last; ++row) wanted.push_back(model_->keyAt(row));
    const int ahead = std::min(count - 1, last + kRowsAhead * columns);
    for (int row = last + 1; row <= ahead; ++row) wanted.push_back(model_->keyAt(row));
    for (int row = first - 1; row >= std::max(0, first - kRowsAhead * columns); --row)
      wanted.push_back(model_->keyAt(row));
    loader_->request(wanted);
  });
}

void ImageBrowserController::showContextMenu(const QPoint& position) {
  if (!mirror_->canShowContextMenu()) return;
  activateWindow();
  grid_->setFocus();
  QMenu* menu = grid_->indexAt(position).isValid() ? cellMenu_ : backgroundMenu_;
  if (menu != nullptr) menu->popup(grid_->viewport()->mapToGlobal(position));
}

void ImageBrowserController::removeSelectedCells() {
  std::vector<std::size_t> rows;
  for (const QModelIndex& index : grid_->selectionModel()->selectedIndexes())
    rows.push_back(std::size_t(index.row()));
  if (!rows.empty()) mirror_->removeItemsAtIndexes(rows);
}

void ImageBrowserController::largePreviewFrom() {
  const std::size_t current = mirror_->imagesIndexSet().imageCount;
  if (current >= mirror_->items().size()) return;
  if (!largePreview_) largePreview_ = std::make_unique<LargePreviewWindow>();
  largePreview_->showFile(mirror_->items()[current].path);
}

}  // namespace velumar
