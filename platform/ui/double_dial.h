#pragma once
// A circular slider over an angle, wrapping around: 0 at the bottom, growing
// clockwise, one turn worth 2π (radians) unless set otherwise (360 for an
// angle in degrees). It keeps the exact value it was given; a user's turn
// sets it from the knob. Disabled, it is drawn dimmed.

#include <QDial>

namespace ui {

class DoubleDial : public QDial {
  Q_OBJECT

 public:
  explicit DoubleDial(QWidget* parent = nullptr);

  double doubleValue() const { return value_; }
  // Sets the angle, wrapped into one turn, without emitting anything.
  void setDoubleValue(double value);
  double turn() const { return turn_; }
  // The value of one full turn; the angle is kept and wrapped into it.
  void setTurn(double turn);

 signals:
  void valueEdited(double value);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  static constexpr int kSteps = 3600;
  double value_ = 0;
  double turn_;
};

}  // namespace ui
