#include "platform/ui/double_slider.h"

#include <QSignalBlocker>
#include <QStyleOptionSlider>
#include <algorithm>
#include <cmath>

#include "platform/ui/slider_painting.h"

namespace ui {

DoubleSlider::DoubleSlider(QWidget* parent) : QSlider(Qt::Horizontal, parent) {
  QSlider::setRange(0, kSteps);
  connect(this, &QSlider::actionTriggered, this, [this](int) {
    // sliderPosition already holds where the action moves the knob.
    const double fraction = double(sliderPosition()) / kSteps;
    value_ = minimum_ + fraction * (maximum_ - minimum_);
    emit valueEdited(value_);
  });
}

void DoubleSlider::setDoubleValue(double value) {
  if (!std::isfinite(value)) value = minimum_;
  value_ = std::clamp(value, minimum_, maximum_);
  showPosition();
}

void DoubleSlider::setRange(double minimum, double maximum) {
  if (!std::isfinite(minimum) || !std::isfinite(maximum) || maximum < minimum) return;
  minimum_ = minimum;
  maximum_ = maximum;
  setDoubleValue(value_);
}

void DoubleSlider::showPosition() {
  const double span = maximum_ - minimum_;
  const int position = span > 0 ? int(std::lround((value_ - minimum_) / span * kSteps)) : 0;
  const QSignalBlocker blocker(this);
  setValue(position);
}

void DoubleSlider::paintEvent(QPaintEvent* event) {
  if (isEnabled()) {
    QSlider::paintEvent(event);
    return;
  }
  QStyleOptionSlider option;
  initStyleOption(&option);
  option.subControls = QStyle::SC_SliderGroove | QStyle::SC_SliderHandle;
  paintSliderControl(this, QStyle::CC_Slider, option);
}

}  // namespace ui
