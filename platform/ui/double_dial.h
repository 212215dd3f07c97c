#pragma once
// A circular slider over an angle in radians, 0 to 2π, wrapping around. It
// keeps the exact value it was given; a user's turn sets it from the knob.

#include <QDial>

namespace ui {

class DoubleDial : public QDial {
  Q_OBJECT

 public:
  explicit DoubleDial(QWidget* parent = nullptr);

  double doubleValue() const { return value_; }
  // Sets the angle, wrapped into 0..2π, without emitting anything.
  void setDoubleValue(double radians);

 signals:
  void valueEdited(double radians);

 private:
  static constexpr int kSteps = 3600;
  double value_ = 0;
};

}  // namespace ui
