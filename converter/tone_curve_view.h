#pragma once
// The five-point tone-curve editor: the user drags a point's knob; the
// curve through the points is drawn smooth. When the mouse goes up the view
// emits editFinished and the converter hands the points to its curve filter.

#include <QWidget>
#include <array>

#include "converter/tone_curve_geometry.h"
#include "presets/converter_controls.h"

namespace velumar {

class ToneCurveView : public QWidget {
  Q_OBJECT

 public:
  enum Type { Red = 0, Green = 1, Blue = 2, Master = 3 };
  ToneCurveView(CurveEditor& model, Type type, QWidget* parent = nullptr);

  Type toneCurveViewType() const { return type_; }
  // The points as the view shows them (the model's list normalised).
  CurvePoints percentPoints() const { return curveViewPoints(model_.percentPoints); }
  void resetDefaultPercentPoints();
  QSize sizeHint() const override { return {120, 120}; }

 signals:
  void editFinished();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  raster::Point viewPoint(const QPointF& position) const;
  raster::Size viewSize() const { return {double(width()), double(height())}; }
  QColor typeColor() const;

  CurveEditor& model_;
  Type type_;
  std::array<bool, 5> moves_{};
};

}  // namespace velumar
