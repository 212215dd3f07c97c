#pragma once
// Small helpers the option pages are built with.

#include <QHBoxLayout>
#include <QString>
#include <QWidget>
#include <initializer_list>

#include "platform/ui/double_dial.h"

namespace velumar {

// The widget with its object name (the model control's name), for tests
// and style sheets.
template <typename Widget>
Widget* named(Widget* widget, const char* name) {
  widget->setObjectName(QString::fromUtf8(name));
  return widget;
}

// The widgets side by side, left-aligned.
inline QHBoxLayout* row(std::initializer_list<QWidget*> widgets) {
  auto* layout = new QHBoxLayout;
  for (QWidget* widget : widgets) layout->addWidget(widget);
  layout->addStretch(1);
  return layout;
}

// The circular slider of a watermark or transform angle.
inline ui::DoubleDial* newAngleDial() {
  auto* dial = new ui::DoubleDial;
  dial->setFixedSize(40, 40);
  return dial;
}

}  // namespace velumar
