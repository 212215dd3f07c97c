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

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  ImageBrowserController& controller_;
};

}  // namespace velumar
