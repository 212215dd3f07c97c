#include "platform/ui/double_dial.h"

#include <QSignalBlocker>
#include <cmath>
#include <numbers>

namespace ui {

namespace {
constexpr double kTurn = 2 * std::numbers::pi;
}

DoubleDial::DoubleDial(QWidget* parent) : QDial(parent) {
  setRange(0, kSteps);
  setWrapping(true);
  setNotchesVisible(false);
  connect(this, &QDial::actionTriggered, this, [this](int) {
    value_ = double(sliderPosition() % kSteps) / kSteps * kTurn;
    emit valueEdited(value_);
  });
}

void DoubleDial::setDoubleValue(double radians) {
  if (!std::isfinite(radians)) radians = 0;
  // 2π itself stays 2π: a full turn is a value the angle fields show.
  value_ = radians == kTurn ? radians : radians - kTurn * std::floor(radians / kTurn);
  const QSignalBlocker blocker(this);
  setValue(int(std::lround(value_ / kTurn * kSteps)) % kSteps);
}

}  // namespace ui
