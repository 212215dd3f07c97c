#pragma once
// Drawing code written for a y-up coordinate system with the origin at the
// lower left converts to Qt's y-down widget coordinates here, and only here.

#include <QPointF>
#include <QRectF>

namespace ui {

// A point given from the lower left of an area of the given height.
inline QPointF flippedPoint(QPointF yUp, double height) {
  return {yUp.x(), height - yUp.y()};
}

// A rectangle whose origin is its lower-left corner in y-up coordinates.
inline QRectF flippedRect(const QRectF& yUp, double height) {
  return {yUp.x(), height - yUp.y() - yUp.height(), yUp.width(), yUp.height()};
}

}  // namespace ui
