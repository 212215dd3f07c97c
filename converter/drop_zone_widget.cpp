#include "converter/drop_zone_widget.h"

#include <QPainter>
#include <QPainterPath>

namespace velumar {

DropZoneWidget::DropZoneWidget(QWidget* parent) : QWidget(parent) {
  setMinimumHeight(140);
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

void DropZoneWidget::setText(const QString& text) {
  text_ = text;
  update();
}

void DropZoneWidget::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  if (dimmed_) painter.setOpacity(0.5);
  painter.setRenderHint(QPainter::Antialiasing);
  const QRectF area = QRectF(rect()).adjusted(6, 6, -6, -6);
  QPainterPath path;
  path.addRoundedRect(area, 12, 12);
  painter.fillPath(path, QColor(0, 0, 0, 90));
  const QColor accent = QColor::fromRgbF(0.0f, 0.62f, 0.89f);
  QPen outline(highlighted_ ? accent : QColor(110, 110, 110), highlighted_ ? 3.0 : 1.5, Qt::DashLine);
  painter.setPen(outline);
  painter.drawPath(path);
  QFont font = painter.font();
  font.setPointSizeF(18);
  painter.setFont(font);
  painter.setPen(highlighted_ ? accent : QColor(200, 200, 200));
  painter.drawText(area, Qt::AlignCenter, text_);
}

}  // namespace velumar
