#include "platform/ui/elided_label.h"

#include <QFontMetrics>
#include <QResizeEvent>

namespace ui {

ElidedLabel::ElidedLabel(const QString& text, QWidget* parent) : QLabel(parent) {
  setFullText(text);
}

void ElidedLabel::setFullText(const QString& text) {
  fullText_ = text;
  elide();
  updateGeometry();
}

int ElidedLabel::widthFor(const QString& text) const {
  const QMargins margins = contentsMargins();
  return fontMetrics().horizontalAdvance(text) + margins.left() + margins.right() + 2 * margin();
}

QSize ElidedLabel::sizeHint() const {
  return {widthFor(fullText_), QLabel::sizeHint().height()};
}

QSize ElidedLabel::minimumSizeHint() const {
  return {widthFor(fullText_.isEmpty() ? QString() : QStringLiteral("\u2026")),
          QLabel::minimumSizeHint().height()};
}

void ElidedLabel::resizeEvent(QResizeEvent* event) {
  QLabel::resizeEvent(event);
  elide();
}

void ElidedLabel::elide() {
  const int room = contentsRect().width() - 2 * margin();
  const QString shown = fontMetrics().elidedText(fullText_, Qt::ElideRight, room);
  setToolTip(shown == fullText_ ? QString() : fullText_);
  if (shown != text()) setText(shown);
}

}  // namespace ui
