#include "platform/ui/custom_button.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>

#include "platform/ui/dark_palette.h"
#include "platform/ui/flipped_coordinates.h"

namespace ui {

CustomButton::CustomButton(const QString& buttonName, QWidget* parent) : QAbstractButton(parent) {
  setText(buttonName);
  setFocusPolicy(Qt::TabFocus);
}

void CustomButton::setButtonAlpha(double alpha) {
  buttonAlpha_ = alpha;
  update();
}

void CustomButton::setFrames(const QRectF& buttonFrame, const QRectF& textFrame) {
  buttonFrame_ = buttonFrame;
  textFrame_ = textFrame;
  updateGeometry();
  update();
}

void CustomButton::setLabelSize(double points) {
  labelSize_ = points;
  update();
}

QSize CustomButton::sizeHint() const {
  return QSize(int(buttonFrame_.right() + buttonFrame_.left()),
               int(buttonFrame_.bottom() + buttonFrame_.top()));
}

void CustomButton::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const double height = this->height();
  const QRectF body = flippedRect(buttonFrame_, height);
  QPainterPath path;
  path.addRoundedRect(body, 8.0, 8.0);

  // A soft shadow below the body, then the fill and a thin outline.
  painter.fillPath(path.translated(0.1, 1.1), QColor(0, 0, 0, 90));
  const bool pressed = isDown() || isChecked();
  const QColor fill = pressed ? QColor::fromRgbF(0.0f, 0.59f, 0.886f, 1.0f)
                              : QColor::fromRgbF(float(kDarkTone), float(kDarkTone), float(kDarkTone),
                                                 float(std::clamp(buttonAlpha_, 0.0, 1.0)));
  painter.fillPath(path, fill);
  painter.setPen(QPen(Qt::black, 0.5));
  painter.drawPath(path);

  if (text().isEmpty()) return;
  QRectF label = flippedRect(textFrame_.translated(0, 1.0).adjusted(0, 1.0, 0, -1.0), height);
  // The label shrinks until it fits its frame: desktop fonts run wider
  // than the sizes the frames were made for.
  QFont font = painter.font();
  font.setPointSizeF(labelSize_);
  while (font.pointSizeF() > 6.0 && QFontMetricsF(font).horizontalAdvance(text()) > label.width())
    font.setPointSizeF(font.pointSizeF() - 0.5);
  painter.setFont(font);
  painter.setPen(QColor(0, 0, 0, 160));
  painter.drawText(label.translated(0.1, 1.1), Qt::AlignCenter, text());
  painter.setPen(isEnabled() ? Qt::white : QColor(150, 150, 150));
  painter.drawText(label, Qt::AlignCenter, text());
}

}  // namespace ui
