#pragma once
// Text from outside (file names, paths, preset names) shown literally:
// Qt takes any text that looks like markup for rich text.

#include <QString>

class QMessageBox;

namespace ui {

// The text as a tooltip that shows it literally, markup and all, and that
// wraps within the screen: escaped rich text, spaces and line feeds kept,
// with an invisible break opportunity in every long run that has none.
// Empty for an empty text, which shows no tooltip.
QString plainToolTip(const QString& text);

// Sets the alert's text and informative text, both shown as plain text.
void setPlainTexts(QMessageBox& box, const QString& text, const QString& informativeText);

}  // namespace ui
