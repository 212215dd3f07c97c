#include "converter/position_picker.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <cmath>

#include "platform/foundation/notification_center.h"
#include "platform/ui/flipped_coordinates.h"
#include "platform/ui/shadow_helper.h"

namespace velumar {

PositionPickerView::PositionPickerView(PositionPicker& model, std::string notification, QWidget* parent)
    : QWidget(parent), model_(model), notification_(std::move(notification)) {
  setFixedSize(100, 100);
}

bool PositionPickerView::takePoint(const QPointF& position) {
  const QPointF yUp = ui::flippedPoint(position, height());
  if (!std::isfinite(yUp.x()) || !std::isfinite(yUp.y())) return false;
  model_.mousePoint = {yUp.x(), yUp.y()};
  return true;
}

void PositionPickerView::mousePressEvent(QMouseEvent* event) {
  if (!model_.mouseEvents || !takePoint(event->position())) return;
  model_.viewIsMovingMouse = true;
  emit pointMoved();
  update();
}

void PositionPickerView::mouseMoveEvent(QMouseEvent* event) {
  if (!model_.mouseEvents || !model_.viewIsMovingMouse || !takePoint(event->position())) return;
  emit pointMoved();
  update();
}

void PositionPickerView::mouseReleaseEvent(QMouseEvent* event) {
  if (!model_.mouseEvents || !model_.viewIsMovingMouse) return;
  model_.viewIsMovingMouse = false;
  if (takePoint(event->position())) foundation::NotificationCenter::defaultCenter().post(notification_);
  update();
}

void PositionPickerView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setOpacity(model_.alpha);
  const double W = width(), H = height();
  QPainterPath clip;
  clip.addRoundedRect(QRectF(rect()), 4, 4);
  painter.setClipPath(clip);
  painter.fillRect(rect(), QColor::fromRgbF(0.19f, 0.19f, 0.19f));
  QPen dashed(Qt::white, 1);
  dashed.setDashPattern({4, 4});
  painter.setPen(dashed);
  painter.drawLine(QPointF(W / 2, 0), QPointF(W / 2, H));
  painter.drawLine(QPointF(0, H / 2), QPointF(W, H / 2));
  const QPointF centre = ui::flippedPoint({model_.mousePoint.x, model_.mousePoint.y}, H);
  QPainterPath disc;
  disc.addEllipse(centre, 10, 10);
  ui::drawShadow(painter, disc, {10.0, {0.1, -0.1}, Qt::black});
  painter.fillPath(disc, QColor::fromRgbF(0.0f, 0.62f, 0.89f));
  painter.setPen(QPen(Qt::black, 0.5));
  painter.drawPath(disc);
}

}  // namespace velumar
