#include "platform/ui/double_dial.h"

#include <QSignalBlocker>
#include <QStyleOptionSlider>
#include <cmath>
#include <numbers>

#include "platform/ui/slider_painting.h"

namespace ui {

DoubleDial::DoubleDial(QWidget* parent) : QDial(parent), turn_(2 * std::numbers::pi) {
  setRange(0, kSteps);
  setWrapping(true);
  setNotchesVisible(false);
  connect(this, &QDial::actionTriggered, this, [this](int) {
    value_ = double(sliderPosition() % kSteps) / kSteps * turn_;
    emit valueEdited(value_);
  });
}

void DoubleDial::setDoubleValue(double value) {
  if (!std::isfinite(value)) value = 0;
  // A full turn itself stays a full turn: it is a value the angle fields show.
  value_ = value == turn_ ? value : value - turn_ * std::floor(value / turn_);
  const QSignalBlocker blocker(this);
  setValue(int(std::lround(value_ / turn_ * kSteps)) % kSteps);
}

void DoubleDial::setTurn(double turn) {
  if (!std::isfinite(turn) || turn <= 0 || turn == turn_) return;
  turn_ = turn;
  setDoubleValue(value_);
}

void DoubleDial::paintEvent(QPaintEvent* event) {
  if (isEnabled()) {
    QDial::paintEvent(event);
    return;
  }
  QStyleOptionSlider option;
  initStyleOption(&option);
  paintSliderControl(this, QStyle::CC_Dial, option);
}

}  // namespace ui
