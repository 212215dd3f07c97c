#include "converter/tone_curve_view.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>

#include "platform/ui/flipped_coordinates.h"
#include "platform/ui/shadow_helper.h"

namespace velumar {

namespace {
const ui::ShadowStyle kShadow{6.0, {0.0, 4.0}, Qt::black};
}

ToneCurveView::ToneCurveView(CurveEditor& model, Type type, QWidget* parent)
    : QWidget(parent), model_(model), type_(type) {
  setMinimumSize(80, 80);
}

void ToneCurveView::resetDefaultPercentPoints() {
  model_ = CurveEditor();
  update();
}

raster::Point ToneCurveView::viewPoint(const QPointF& position) const {
  const QPointF yUp = ui::flippedPoint(position, height());
  return {yUp.x(), yUp.y()};
}

QColor ToneCurveView::typeColor() const {
  switch (type_) {
    case Red:
      return QColor::fromRgbF(0.94f, 0.12f, 0.22f);
    case Green:
      return QColor::fromRgbF(0.15f, 0.89f, 0.36f);
    case Blue:
      return QColor::fromRgbF(0.02f, 0.35f, 0.81f);
    case Master:
      break;
  }
  return QColor::fromRgbF(0.5f, 0.5f, 0.5f);
}

void ToneCurveView::mousePressEvent(QMouseEvent* event) {
  const raster::Point click = viewPoint(event->position());
  moves_.fill(false);
  CurvePoints points = percentPoints();
  if (const std::optional<std::size_t> hit = curvePointHit(points, click, viewSize(), kCurveKnobRadius)) {
    moves_[*hit] = true;
    points[*hit] = {click.x / width(), click.y / height()};
    model_.percentPoints.assign(points.begin(), points.end());
    update();
  }
}

void ToneCurveView::mouseMoveEvent(QMouseEvent* event) {
  const raster::Point m = viewPoint(event->position());
  CurvePoints points = percentPoints();
  bool moved = false;
  for (std::size_t i = 0; i < points.size(); ++i) {
    if (!moves_[i]) continue;
    const raster::Point q{m.x / width(), m.y / height()};
    // A refused move leaves the point where the last accepted one put it.
    if (!acceptsCurveMove(points, i, q, viewSize(), kCurveKnobRadius)) continue;
    points[i] = q;
    moved = true;
  }
  if (!moved) return;
  model_.percentPoints.assign(points.begin(), points.end());
  update();
}

void ToneCurveView::mouseReleaseEvent(QMouseEvent*) {
  emit editFinished();
}

void ToneCurveView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const double W = width(), H = height();
  const QColor color = typeColor();
  QPainterPath frame;
  frame.addRoundedRect(QRectF(rect()).adjusted(2, 2, -2, -2), 4, 4);
  // The shadow of the frame's stroke, not of the area it encloses.
  QPainterPathStroker stroker;
  stroker.setWidth(2);
  stroker.setJoinStyle(Qt::RoundJoin);
  stroker.setCapStyle(Qt::RoundCap);
  ui::drawShadow(painter, stroker.createStroke(frame), kShadow);
  painter.setPen(QPen(color, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  painter.drawPath(frame);
  painter.setClipPath(frame);

  const CurvePoints points = percentPoints();
  const CurveDrawing drawing = curveDrawing(points, viewSize());
  const auto at = [H](double x, double y) { return ui::flippedPoint({x, y}, H); };
  QPainterPath curve;
  curve.moveTo(at(drawing.leftEnd.x, drawing.leftEnd.y));
  curve.lineTo(at(W * points.front().x, H * points.front().y));
  if (drawing.path) {
    for (const CubicSegment& s : drawing.path->segments)
      curve.cubicTo(at(s.control1.x, s.control1.y), at(s.control2.x, s.control2.y), at(s.end.x, s.end.y));
  }
  curve.lineTo(at(drawing.rightEnd.x, drawing.rightEnd.y));
  painter.setPen(QPen(Qt::white, 1));
  painter.setBrush(Qt::NoBrush);
  painter.drawPath(curve);

  painter.setPen(Qt::NoPen);
  for (std::size_t i = 0; i < points.size(); ++i) {
    const raster::Point centre = curveKnobCentre(points, i, viewSize(), kCurveKnobRadius);
    QPainterPath knob;
    knob.addEllipse(at(centre.x, centre.y), kCurveKnobRadius, kCurveKnobRadius);
    ui::drawShadow(painter, knob, kShadow);
    painter.fillPath(knob, color);
  }
}

}  // namespace velumar
