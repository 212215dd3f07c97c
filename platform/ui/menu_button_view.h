#pragma once
// A button that, once pressed, pops up its menu at its bottom-left corner.

#include <QPushButton>

class QMenu;

namespace ui {

class MenuButtonView : public QPushButton {
  Q_OBJECT

 public:
  explicit MenuButtonView(const QString& title = {}, QWidget* parent = nullptr);

  // The menu it pops up (not owned; nullptr: none).
  QMenu* popUpMenu() const { return menu_; }
  void setPopUpMenu(QMenu* menu) { menu_ = menu; }

 protected:
  void mousePressEvent(QMouseEvent* event) override;

 private:
  QMenu* menu_ = nullptr;
};

}  // namespace ui
