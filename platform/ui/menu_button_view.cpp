#include "platform/ui/menu_button_view.h"

#include <QMenu>

namespace ui {

MenuButtonView::MenuButtonView(const QString& title, QWidget* parent) : QPushButton(title, parent) {}

void MenuButtonView::mousePressEvent(QMouseEvent* event) {
  QPushButton::mousePressEvent(event);
  if (menu_) menu_->popup(mapToGlobal(rect().bottomLeft() + QPoint(0, 1)));
}

}  // namespace ui
