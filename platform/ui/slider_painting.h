#pragma once
// Slider-like controls drawn as the style draws them, with a visible
// disabled state: a disabled control is drawn at half opacity and without
// the accent colour on its track, so a dead control never looks live.

#include <QStyle>

class QStyleOptionSlider;
class QWidget;

namespace ui {

// The opacity of a disabled slider or dial.
inline constexpr double kDisabledControlOpacity = 0.5;

// Paints control (CC_Slider or CC_Dial) of widget with option, from its
// paint event.
void paintSliderControl(QWidget* widget, QStyle::ComplexControl control, QStyleOptionSlider& option);

}  // namespace ui
