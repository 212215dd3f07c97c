#include "platform/ui/view_alpha.h"

#include <QGraphicsOpacityEffect>
#include <QWidget>
#include <algorithm>

namespace ui {

void setViewAlpha(QWidget* widget, double alpha) {
  auto* effect = qobject_cast<QGraphicsOpacityEffect*>(widget->graphicsEffect());
  if (alpha >= 1.0) {
    if (effect) widget->setGraphicsEffect(nullptr);
    return;
  }
  if (!effect) {
    effect = new QGraphicsOpacityEffect(widget);
    widget->setGraphicsEffect(effect);
  }
  effect->setOpacity(std::max(0.0, alpha));
}

double viewAlpha(const QWidget* widget) {
  const auto* effect = qobject_cast<const QGraphicsOpacityEffect*>(widget->graphicsEffect());
  return effect ? effect->opacity() : 1.0;
}

}  // namespace ui
