#include "platform/ui/custom_scroller.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOptionSlider>
#include <algorithm>

namespace ui {

CustomScroller::CustomScroller(Qt::Orientation orientation, QWidget* parent)
    : QScrollBar(orientation, parent) {
  setAttribute(Qt::WA_OpaquePaintEvent, false);
}

void CustomScroller::paintEvent(QPaintEvent*) {
  QStyleOptionSlider option;
  initStyleOption(&option);
  const QRect knob = style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, this);
  if (knob.isEmpty() || minimum() == maximum()) return;
  // A rounded bar inset from the knob's place, in the text colour at half strength.
  const QRectF bar = QRectF(knob).adjusted(2, 2, -2, -2);
  const double radius = std::min(bar.width(), bar.height()) / 2;
  QColor color = palette().color(QPalette::WindowText);
  color.setAlphaF(0.5f);
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  painter.setBrush(color);
  painter.drawRoundedRect(bar, radius, radius);
}

}  // namespace ui
