#include "platform/ui/slider_painting.h"

#include <QPainter>
#include <QStyleOptionSlider>
#include <QWidget>

namespace ui {

void paintSliderControl(QWidget* widget, QStyle::ComplexControl control, QStyleOptionSlider& option) {
  QPainter painter(widget);
  if (!widget->isEnabled()) {
    painter.setOpacity(kDisabledControlOpacity);
    // The filled part of the track takes the highlight colour; a dead
    // control shows it in the neutral mid tone instead.
    const QColor neutral = option.palette.color(QPalette::Disabled, QPalette::Mid);
    option.palette.setColor(QPalette::Disabled, QPalette::Highlight, neutral);
    option.palette.setColor(QPalette::Inactive, QPalette::Highlight, neutral);
    option.palette.setColor(QPalette::Active, QPalette::Highlight, neutral);
  }
  widget->style()->drawComplexControl(control, &option, &painter, widget);
}

}  // namespace ui
