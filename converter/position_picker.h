#pragma once
// A 100 × 100 point picker of a position on the picture (crop centre,
// composite origin, watermark origins): a dashed cross through the centre
// and a blue disc at the picked point, y up from the lower-left corner.
// Pressing and dragging move the point (not clamped); releasing posts the
// picker's notification.

#include <QWidget>
#include <string>

#include "presets/converter_controls.h"

namespace velumar {

class PositionPickerView : public QWidget {
  Q_OBJECT

 public:
  PositionPickerView(PositionPicker& model, std::string notification, QWidget* parent = nullptr);
  QSize sizeHint() const override { return {100, 100}; }
  // While the mouse is down here or a crop is dragged on the preview.
  bool viewIsMovingMouse() const { return model_.viewIsMovingMouse; }

 signals:
  // Every step of a press or drag (the preview follows a crop drag).
  void pointMoved();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  // False for a point that is not finite.
  bool takePoint(const QPointF& position);

  PositionPicker& model_;
  std::string notification_;
};

}  // namespace velumar
