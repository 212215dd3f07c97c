#pragma once
// The grid of the library window: a list view in icon mode that tells its
// controller about keys, clicks, scrolling and context menus.

#include <QListView>

namespace velumar {

class ImageBrowserController;

class ImageBrowserGridView : public QListView {
  Q_OBJECT

 public:
  explicit ImageBrowserGridView(ImageBrowserController& controller, QWidget* parent = nullptr);
  // Where a drop at point (viewport coordinates) inserts: before the cell
  // under it, or after it on its right half; after the last cell elsewhere.
  int dropRowAt(const QPoint& point) const;
  // The left button is down on the grid without the command key (Ctrl):
  // a selection of several cells waits for the mouse-up to be shown.
  // Selections made with keys never wait.
  bool selectsWithMouseHeld() const { return selectsWithMouseHeld_ && !handlingKey_; }

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  // A release that never reaches the grid (a modal window or another
  // program took it) must not leave the selection waiting: losing the
  // focus, hiding, or the pointer leaving with no button down ends it.
  void focusOutEvent(QFocusEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void leaveEvent(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void startDrag(Qt::DropActions supportedActions) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;
  void resizeEvent(QResizeEvent* event) override;
  // Drops land between cells: before the cell under the pointer, or after
  // it on its right half; moved cells and dropped files go through the model.
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  bool answerDrag(QDropEvent* event);
  void mouseUp();
  ImageBrowserController& controller_;
  bool selectsWithMouseHeld_ = false;
  bool handlingKey_ = false;
};

}  // namespace velumar
