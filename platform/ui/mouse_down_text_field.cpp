#include "platform/ui/mouse_down_text_field.h"

#include <QMouseEvent>
#include <QTimer>

namespace ui {

void MouseDownTextField::mousePressEvent(QMouseEvent* event) {
  QLineEdit::mousePressEvent(event);
  // Other buttons keep the field's own meaning: the right one its menu.
  if (isEnabled() && event->button() == Qt::LeftButton)
    QTimer::singleShot(0, this, &MouseDownTextField::clickedToChoose);
}

}  // namespace ui
