#include "platform/ui/hold_down_button.h"

namespace ui {

CustomHoldDownButton::CustomHoldDownButton(const QString& title, QWidget* parent)
    : QPushButton(title, parent) {}

void CustomHoldDownButton::showOriginal(bool show) {
  if (preview_ && !preview_->isOriginalImage()) preview_->setShowOriginalImage(show);
}

void CustomHoldDownButton::mousePressEvent(QMouseEvent* event) {
  showOriginal(true);
  QPushButton::mousePressEvent(event);
}

void CustomHoldDownButton::mouseReleaseEvent(QMouseEvent* event) {
  QPushButton::mouseReleaseEvent(event);
  showOriginal(false);
  setChecked(false);
  update();
}

}  // namespace ui
