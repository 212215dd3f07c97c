#include "converter/window_placement.h"

#include <QGuiApplication>
#include <algorithm>
#include <optional>

namespace velumar {

QPoint windowOriginNearMouse(QPoint mouse, QSize frame, const QList<QRect>& availableScreens) {
  int leftmost = 0;
  // The highest the top may go: the top of the screen under the pointer,
  // else of the highest screen; anywhere without screens.
  std::optional<int> highest;
  std::optional<int> underPointer;
  for (const QRect& screen : availableScreens) {
    leftmost = std::min(leftmost, screen.left());
    highest = std::min(highest.value_or(screen.top()), screen.top());
    if (!underPointer && screen.contains(mouse)) underPointer = screen.top();
  }
  if (underPointer) highest = underPointer;
  const int top = mouse.y() - frame.height();
  return {std::max(mouse.x() - frame.width(), leftmost), highest ? std::max(top, *highest) : top};
}

bool canPlaceWindowsAtTheMouse() {
  // Under Wayland the program runs on XWayland, which sees the pointer only
  // over its own windows.
  return QGuiApplication::platformName() == QLatin1String("xcb") &&
         qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

}  // namespace velumar
