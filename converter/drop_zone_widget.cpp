#include "converter/drop_zone_widget.h"

#include <QPainter>

namespace velumar {

DropZoneWidget::DropZoneWidget(QWidget* parent) : QWidget(parent) {
  setMinimumHeight(140);
}

QColor DropZoneWidget::normalColor() {
  return QColor::fromRgbF(0.18f, 0.17f, 0.18f, 1.0f);
}

QColor DropZoneWidget::dragColor() {
  return QColor::fromRgbF(0.0f, 0.62f, 0.89f, 0.8f);
}

void DropZoneWidget::setHighlighted(bool on) {
  if (highlighted_ == on) return;
  highlighted_ = on;
  update();
}

void DropZoneWidget::setDimmed(bool on) {
  if (dimmed_ == on) return;
  dimmed_ = on;
  update();
}

void DropZoneWidget::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  if (dimmed_) painter.setOpacity(0.5);
  painter.fillRect(rect(), highlighted_ ? dragColor() : normalColor());
}

}  // namespace velumar
