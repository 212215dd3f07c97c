#include "platform/ui/elided_label.h"

#include <QFontMetricsF>
#include <QResizeEvent>
#include <cmath>

#include "platform/ui/plain_text.h"

namespace ui {

ElidedLabel::ElidedLabel(const QString& text, QWidget* parent) : QLabel(parent) {
  // The text comes from outside: shown as it is, never as markup.
  setTextFormat(Qt::PlainText);
  setFullText(text);
}

void ElidedLabel::setFullText(const QString& text) {
  fullText_ = text;
  elide();
  updateGeometry();
}

int ElidedLabel::textWidth(const QString& text) const {
  // Advances are fractional: rounded down, the label would be given a
  // pixel less than its text needs.
  return int(std::ceil(QFontMetricsF(fontMetrics()).horizontalAdvance(text)));
}

int ElidedLabel::widthFor(const QString& text) const {
  const QMargins margins = contentsMargins();
  return textWidth(text) + margins.left() + margins.right() + 2 * margin();
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
  // Whole whenever the label is as wide as its own size hint asks.
  const int room = contentsRect().width() - 2 * margin();
  const QString shown = textWidth(fullText_) <= room
                            ? fullText_
                            : QFontMetricsF(fontMetrics()).elidedText(fullText_, Qt::ElideRight, room);
  setToolTip(shown == fullText_ ? QString() : plainToolTip(fullText_));
  if (shown != text()) setText(shown);
}

}  // namespace ui
