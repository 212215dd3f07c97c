#pragma once
// The library window: the preview list as a grid of thumbnails with titles
// and subtitles, kept in step with the list through ImageBrowserMirror. A
// zoom slider sets the cell size (0.5 gives about 256 pixels); cells can be
// reordered by dragging, files dropped between cells are imported there,
// Delete removes the selected cells and Space (or the button) shows the
// current one large. Thumbnails load in the background, visible cells first.

#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

#include "platform/desktop/thumbnail_cache.h"
#include "preview/image_browser_mirror.h"
#include "preview/image_browser_model.h"
#include "preview/thumbnail_loader.h"

class QListView;
class QMenu;
class QSlider;
class QToolButton;

namespace velumar {

class ImageBrowserDelegate;
class ImageBrowserGridView;
class LargePreviewWindow;

class ImageBrowserController : public QWidget, private ImageBrowserView {
  Q_OBJECT

 public:
  // cache: the shared thumbnail cache (none keeps thumbnails in memory only).
  ImageBrowserController(PreviewList& preview,
                         std::optional<desktop::ThumbnailCache> cache = desktop::ThumbnailCache(),
                         QWidget* parent = nullptr);
  ~ImageBrowserController() override;

  ImageBrowserMirror& mirror() { return *mirror_; }
  QListView* grid() const;
  ThumbnailLoader& thumbnails() { return *loader_; }
  // Imports files dropped on the grid (the position is set first).
  void setDropImporter(ImageBrowserModel::DropImporter importer);
  // Told while the grid handles a key pressed with Ctrl (the command key).
  void setCommandKeyObserver(std::function<void(bool)> observer) {
    commandKeyObserver_ = std::move(observer);
  }
  // Context menus of a cell and of the background.
  void setMenus(QMenu* cellMenu, QMenu* backgroundMenu);

  // The zoom, 0 to 1.
  void zoomSliderDidChange(double zoom);
  double zoom() const { return zoom_; }
  // Shows the current cell large; Escape closes it.
  void largePreviewFrom();
  LargePreviewWindow* largePreviewWindow() const { return largePreview_.get(); }

 private:
  friend class ImageBrowserGridView;
  // ImageBrowserView
  void reloadData() override;
  void reloadDataWithIndexSet(const OrganizedIndexSet& selection) override;
  void selectIndexes(const std::vector<std::size_t>& indexes, std::size_t scrollTo) override;

  void select(const std::vector<std::size_t>& indexes, std::size_t scrollTo);
  void selectionChanged();
  void requestVisibleThumbnails();
  void showContextMenu(const QPoint& position);
  void removeSelectedCells();

  std::unique_ptr<ImageBrowserMirror> mirror_;
  std::unique_ptr<ThumbnailLoader> loader_;
  std::unique_ptr<ImageBrowserModel> model_;
  ImageBrowserDelegate* delegate_ = nullptr;
  ImageBrowserGridView* grid_ = nullptr;
  QSlider* zoomSlider_ = nullptr;
  QToolButton* largePreviewButton_ = nullptr;
  QMenu* cellMenu_ = nullptr;
  QMenu* backgroundMenu_ = nullptr;
  std::unique_ptr<LargePreviewWindow> largePreview_;
  std::function<void(bool)> commandKeyObserver_;
  foundation::ObserverToken commandKeyToken_;
  double zoom_ = 0.5;
  bool requestQueued_ = false;
};

}  // namespace velumar
