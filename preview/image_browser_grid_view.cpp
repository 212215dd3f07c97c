#include "preview/image_browser_grid_view.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QScopedValueRollback>

#include "platform/foundation/notification_center.h"
#include "preview/image_browser_controller.h"
#include "preview/image_browser_model.h"

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
  const QScopedValueRollback<bool> keys(handlingKey_, true);
  if (key == Qt::Key_Space && !command) {
    controller_.largePreviewFrom();
  } else if ((key == Qt::Key_Delete || key == Qt::Key_Backspace) && !command) {
    controller_.removeSelectedCells();
  } else {
    QListView::keyPressEvent(event);
  }
  if (command) center.post("updateCommandKeyIKBrowserState", this, foundation::Value(false));
}

void ImageBrowserGridView::mousePressEvent(QMouseEvent* event) {
  selectsWithMouseHeld_ = event->button() == Qt::LeftButton && !(event->modifiers() & Qt::ControlModifier);
  if (selectsWithMouseHeld_) qApp->installEventFilter(this);
  QListView::mousePressEvent(event);
}

// While a selection waits, a release anywhere in the application ends it:
// a window opened during the press may take the release for itself. The
// grid's own release, delivered after this, has ended it by the time the
// queued call runs.
bool ImageBrowserGridView::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonRelease && selectsWithMouseHeld_)
    QMetaObject::invokeMethod(
        this, [this] { if (selectsWithMouseHeld_) mouseUp(); }, Qt::QueuedConnection);
  return QListView::eventFilter(watched, event);
}

void ImageBrowserGridView::mouseReleaseEvent(QMouseEvent* event) {
  QListView::mouseReleaseEvent(event);
  mouseUp();
}

// A drag takes the mouse-up for itself: its end is the grid's mouse-up.
void ImageBrowserGridView::startDrag(Qt::DropActions supportedActions) {
  QListView::startDrag(supportedActions);
  mouseUp();
}

void ImageBrowserGridView::focusOutEvent(QFocusEvent* event) {
  QListView::focusOutEvent(event);
  if (selectsWithMouseHeld_) mouseUp();
}

void ImageBrowserGridView::hideEvent(QHideEvent* event) {
  QListView::hideEvent(event);
  if (selectsWithMouseHeld_) mouseUp();
}

void ImageBrowserGridView::leaveEvent(QEvent* event) {
  QListView::leaveEvent(event);
  if (selectsWithMouseHeld_ && !(QApplication::mouseButtons() & Qt::LeftButton)) mouseUp();
}

void ImageBrowserGridView::mouseUp() {
  selectsWithMouseHeld_ = false;
  qApp->removeEventFilter(this);
  foundation::NotificationCenter::defaultCenter().post("updatePreviewAfterIKBrowserViewMouseUp");
}

void ImageBrowserGridView::contextMenuEvent(QContextMenuEvent* event) {
  controller_.showContextMenu(event->pos());
}

void ImageBrowserGridView::scrollContentsBy(int dx, int dy) {
  QListView::scrollContentsBy(dx, dy);
  controller_.requestVisibleThumbnails();
}

int ImageBrowserGridView::dropRowAt(const QPoint& point) const {
  if (model() == nullptr) return 0;
  const QModelIndex under = indexAt(point);
  if (!under.isValid()) return model()->rowCount();
  return under.row() + (point.x() > visualRect(under).center().x() ? 1 : 0);
}

bool ImageBrowserGridView::answerDrag(QDropEvent* event) {
  const QMimeData* mime = event->mimeData();
  const bool cells = mime != nullptr && mime->hasFormat(ImageBrowserModel::kRowsMimeType);
  const bool files = mime != nullptr && mime->hasUrls();
  if (!cells && !files) {
    event->ignore();
    return false;
  }
  event->setDropAction(cells ? Qt::MoveAction : Qt::CopyAction);
  event->accept();
  return true;
}

void ImageBrowserGridView::dragEnterEvent(QDragEnterEvent* event) {
  answerDrag(event);
}

void ImageBrowserGridView::dragMoveEvent(QDragMoveEvent* event) {
  if (answerDrag(event)) viewport()->update();
}

void ImageBrowserGridView::dropEvent(QDropEvent* event) {
  if (!answerDrag(event) || model() == nullptr) return;
  model()->dropMimeData(event->mimeData(), event->dropAction(), dropRowAt(event->position().toPoint()), 0,
                        {});
  // The model has placed the cells itself: the drag's source must not
  // remove the moved rows afterwards.
  event->setDropAction(Qt::CopyAction);
  event->accept();
}

void ImageBrowserGridView::resizeEvent(QResizeEvent* event) {
  QListView::resizeEvent(event);
  controller_.requestVisibleThumbnails();
}

}  // namespace velumar
