#include "preview/image_browser_grid_view.h"

#include <QContextMenuEvent>
#include <QKeyEvent>

#include "platform/foundation/notification_center.h"
#include "preview/image_browser_controller.h"

namespace velumar {

ImageBrowserGridView::ImageBrowserGridView(ImageBrowserController& controller, QWidget* parent)
    : QListView(parent), controller_(controller) {}

void ImageBrowserGridView::keyPressEvent(QKeyEvent* event) {
  // Ctrl is the command key: the preview knows it is down while the grid
  // handles the key.
  const int key = event->key();
  const bool modifierAlone =
      key == Qt::Key_Control || key == Qt::Key_Shift || key == Qt::Key_Alt || key == Qt::Key_Meta;
  const bool command = (event->modifiers() & Qt::ControlModifier) && !modifierAlone;
  auto& center = foundation::NotificationCenter::defaultCenter();
  if (command) center.post("updateCommandKeyIKBrowserState", this, foundation::Value(true));
  if (key == Qt::Key_Space && !command) {
    controller_.quickLookFrom();
  } else if ((key == Qt::Key_Delete || key == Qt::Key_Backspace) && !command) {
    controller_.removeSelectedCells();
  } else {
    QListView::keyPressEvent(event);
  }
  if (command) center.post("updateCommandKeyIKBrowserState", this, foundation::Value(false));
}

void ImageBrowserGridView::mouseReleaseEvent(QMouseEvent* event) {
  QListView::mouseReleaseEvent(event);
  foundation::NotificationCenter::defaultCenter().post("updatePreviewAfterIKBrowserViewMouseUp");
}

void ImageBrowserGridView::contextMenuEvent(QContextMenuEvent* event) {
  controller_.showContextMenu(event->pos());
}

void ImageBrowserGridView::scrollContentsBy(int dx, int dy) {
  QListView::scrollContentsBy(dx, dy);
  controller_.requestVisibleThumbnails();
}

void ImageBrowserGridView::resizeEvent(QResizeEvent* event) {
  QListView::resizeEvent(event);
  controller_.requestVisibleThumbnails();
}

}  // namespace velumar
