#pragma once
// The application's fixed dark look (Fusion style), whatever the desktop's
// colour scheme, for windows and popovers alike.

class QApplication;

namespace ui {

// The dark tone that recurs in backgrounds, panels and buttons.
inline constexpr double kDarkTone = 0.192;

void applyDarkPalette(QApplication& application);

}  // namespace ui
