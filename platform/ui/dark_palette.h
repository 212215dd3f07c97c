#pragma once
// The application's fixed dark look (Fusion style), whatever the desktop's
// colour scheme, for windows and popovers alike.

class QApplication;
class QPalette;

namespace ui {

// The dark tone that recurs in backgrounds, panels and buttons.
inline constexpr double kDarkTone = 0.192;

// The palette of that look; applyDarkPalette gives it to the application
// with the Fusion style.
QPalette darkPalette();
void applyDarkPalette(QApplication& application);

}  // namespace ui
