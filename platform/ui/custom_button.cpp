#include "platform/ui/custom_button.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>

#include "platform/ui/dark_palette.h"
#include "platform/ui/flipped_coordinates.h"
#include "platform/ui/shadow_helper.h"

namespace ui {

namespace {
// Black, blur 5, offset (0.1, -1.1) y up.
const ShadowStyle kShadow{5.0, {0.1, 1.1}, Qt::black};

// The label's shadow: the text as a mask, blurred and tinted like the body's.
void drawLabelShadow(QPainter& painter, const QRectF& label, const QFont& font, const QString& text) {
  const double ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
  QImage mask((label.size() * ratio).toSize().expandedTo({1, 1}), QImage::Format_Alpha8);
  mask.setDevicePixelRatio(ratio);
  mask.fill(Qt::transparent);
  {
    QPainter textPainter(&mask);
    textPainter.setFont(font);
    textPainter.setPen(Qt::black);
    textPainter.drawText(QRectF(QPointF(), label.size()), Qt::AlignCenter, text);
  }
  const QImage shadow = shadowOfMask(mask, kShadow.blurRadius, kShadow.color);
  if (shadow.isNull()) return;
  const double margin = (double(shadow.width()) / ratio - label.width()) / 2;
  painter.drawImage(label.topLeft() + kShadow.offset - QPointF(margin, margin), shadow);
}
}  // namespace

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
  drawShadow(painter, path, kShadow);
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
  drawLabelShadow(painter, label, font, text());
  painter.setPen(isEnabled() ? Qt::white : QColor(150, 150, 150));
  painter.drawText(label, Qt::AlignCenter, text());
}

}  // namespace ui
