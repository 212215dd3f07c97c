#include "platform/ui/dark_palette.h"

#include <QApplication>
#include <QPalette>
#include <QStyleFactory>

namespace ui {

QPalette darkPalette() {
  const QColor dark = QColor::fromRgbF(kDarkTone, kDarkTone, kDarkTone);
  const QColor base = dark.darker(130);
  const QColor text(230, 230, 230);
  const QColor accent = QColor::fromRgbF(0, 0.62f, 0.89f);
  QPalette palette;
  palette.setColor(QPalette::Window, dark);
  palette.setColor(QPalette::WindowText, text);
  palette.setColor(QPalette::Base, base);
  palette.setColor(QPalette::AlternateBase, dark);
  palette.setColor(QPalette::ToolTipBase, dark);
  palette.setColor(QPalette::ToolTipText, text);
  palette.setColor(QPalette::Text, text);
  palette.setColor(QPalette::Button, dark.lighter(130));
  palette.setColor(QPalette::ButtonText, text);
  palette.setColor(QPalette::BrightText, Qt::white);
  palette.setColor(QPalette::Highlight, accent);
  palette.setColor(QPalette::HighlightedText, Qt::white);
  palette.setColor(QPalette::Link, accent);
  for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
    palette.setColor(QPalette::Disabled, role, text.darker(200));
  return palette;
}

void applyDarkPalette(QApplication& application) {
  application.setStyle(QStyleFactory::create("Fusion"));
  application.setPalette(darkPalette());
}

}  // namespace ui
