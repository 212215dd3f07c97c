#include "platform/ui/custom_views.h"

#include <QAbstractButton>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include "platform/ui/dark_palette.h"
#include "platform/ui/view_alpha.h"

namespace ui {

namespace {

constexpr double kCornerRadius = 8.0;
constexpr double kPressedAlpha = 0.5;
constexpr double kRestingAlpha = double(0.8f);

QColor rgba(double red, double green, double blue, double alpha) {
  return QColor::fromRgbF(float(red), float(green), float(blue), float(alpha));
}

QPainterPath rounded(const QRectF& bounds) {
  QPainterPath path;
  path.addRoundedRect(bounds, kCornerRadius, kCornerRadius);
  return path;
}

void strokeOutline(QPainter& painter, const QPainterPath& path, const QColor& color, double width) {
  QPen pen(color, width);
  pen.setCapStyle(Qt::RoundCap);
  pen.setJoinStyle(Qt::BevelJoin);
  painter.strokePath(path, pen);
}

}  // namespace

void drawDarkBackground(QPainter& painter, const QRectF& bounds) {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);
  const QPainterPath path = rounded(bounds);
  painter.setClipPath(path);
  QLinearGradient gradient(bounds.topLeft(), bounds.bottomLeft());
  gradient.setColorAt(0, rgba(kDarkTone, kDarkTone, kDarkTone, 0.9));
  gradient.setColorAt(1, rgba(0, 0, 0, 0.9));
  painter.fillPath(path, gradient);
  strokeOutline(painter, path, rgba(0, 0, 0, 0.9), 2.0);
  painter.restore();
}

void drawButtonsBar(QPainter& painter, const QRectF& bounds) {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);
  const QPainterPath path = rounded(bounds);
  painter.setClipPath(path);
  painter.fillRect(bounds, rgba(1, 1, 1, 0.8));
  strokeOutline(painter, path, Qt::black, 3.0);
  painter.restore();
}

void drawSheetBackground(QPainter& painter, const QRectF& bounds) {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);
  painter.fillPath(rounded(bounds), rgba(0, 0, 0, 0.9));
  painter.restore();
}

void drawProcessSheetBackground(QPainter& painter, const QRectF& bounds) {
  const double r = kCornerRadius;
  QPainterPath path(bounds.topLeft());
  path.lineTo(bounds.topRight());
  path.lineTo(bounds.right(), bounds.bottom() - r);
  path.arcTo(QRectF(bounds.right() - 2 * r, bounds.bottom() - 2 * r, 2 * r, 2 * r), 0, -90);
  path.lineTo(bounds.left() + r, bounds.bottom());
  path.arcTo(QRectF(bounds.left(), bounds.bottom() - 2 * r, 2 * r, 2 * r), -90, -90);
  path.closeSubpath();
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);
  painter.fillPath(path, rgba(0, 0, 0, 0.9));
  painter.restore();
}

void drawProcessPreviewBackground(QPainter& painter, const QRectF& bounds) {
  painter.fillRect(bounds, rgba(0.18, 0.17, 0.18, 1.0));
}

void drawPanelBackground(QPainter& painter, const QRectF& bounds) {
  painter.fillRect(bounds, rgba(0.163, 0.163, 0.163, 1.0));
}

void drawSeparatorLine(QPainter& painter, const QRectF& bounds) {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);
  QPen pen(rgba(0.0, 0.62, 0.89, 0.8), 3.0);
  pen.setCapStyle(Qt::RoundCap);
  pen.setJoinStyle(Qt::RoundJoin);
  painter.setPen(pen);
  const double middle = bounds.center().x();
  painter.drawLine(QPointF(middle, bounds.top() + 1.0), QPointF(middle, bounds.bottom() - 1.0));
  painter.restore();
}

PaintedView::PaintedView(Drawing drawing, QWidget* parent) : QWidget(parent), drawing_(drawing) {}

void PaintedView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  drawing_(painter, QRectF(rect()));
}

BackgroundView::BackgroundView(QWidget* parent) : QWidget(parent) {
  setAutoFillBackground(true);
}

void dimWhilePressed(QAbstractButton* button) {
  setViewAlpha(button, kRestingAlpha);
  QObject::connect(button, &QAbstractButton::pressed, button,
                   [button] { setViewAlpha(button, kPressedAlpha); });
  QObject::connect(button, &QAbstractButton::released, button,
                   [button] { setViewAlpha(button, kRestingAlpha); });
}

}  // namespace ui
