#pragma once
// A horizontal slider over a floating-point range that keeps the exact
// value it was given: the integer position only follows it for drawing. A
// user's move sets the value from the position. Disabled, it is drawn dimmed.

#include <QSlider>

namespace ui {

class DoubleSlider : public QSlider {
  Q_OBJECT

 public:
  explicit DoubleSlider(QWidget* parent = nullptr);

  double doubleValue() const { return value_; }
  double minimum() const { return minimum_; }
  double maximum() const { return maximum_; }
  // Sets the value clamped to the range, without emitting anything.
  void setDoubleValue(double value);
  void setRange(double minimum, double maximum);

 signals:
  // The user moved the slider (while dragging and on release).
  void valueEdited(double value);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  static constexpr int kSteps = 10000;
  void showPosition();

  double value_ = 0;
  double minimum_ = 0;
  double maximum_ = 1;
};

}  // namespace ui
