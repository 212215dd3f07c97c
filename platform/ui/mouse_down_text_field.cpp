#include "platform/ui/mouse_down_text_field.h"

#include <QTimer>

namespace ui {

void MouseDownTextField::mousePressEvent(QMouseEvent* event) {
  QLineEdit::mousePressEvent(event);
  if (isEnabled()) QTimer::singleShot(0, this, &MouseDownTextField::clickedToChoose);
}

}  // namespace ui
