#pragma once
// A view's alpha: the whole widget, children included, drawn at an opacity.

class QWidget;

namespace ui {

// 1.0 or more draws the widget as it is; below, through an opacity effect.
void setViewAlpha(QWidget* widget, double alpha);
// The alpha last set (1.0 when none).
double viewAlpha(const QWidget* widget);

}  // namespace ui
