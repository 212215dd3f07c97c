#pragma once
// The application's commands as menus: the converter window's menu bar
// holds every one of them (so nothing is lost without a tray), the tray
// icon's menu the usual few.

class QMenu;
class QWidget;

namespace velumar {

class AppDelegate;
class ConverterWindow;

// The tray icon's menu.
QMenu* buildAppMenu(AppDelegate& delegate, QWidget* parent);
// Adds the application's menus to the converter window's menu bar.
void buildMenuBar(AppDelegate& delegate, ConverterWindow& window);

}  // namespace velumar
