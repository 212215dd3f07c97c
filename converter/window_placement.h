#pragma once
// Where the converter window goes when it is called up at the mouse: its
// lower-right corner at the pointer, kept on the screens.

#include <QList>
#include <QPoint>
#include <QRect>
#include <QSize>

namespace velumar {

// The top-left corner of a window frame of the given size: left of the
// pointer, no further left than the leftmost screen (or 0), and above the
// pointer, no higher than the top of the screen under it.
QPoint windowOriginNearMouse(QPoint mouse, QSize frame, const QList<QRect>& availableScreens);

// Whether this desktop lets a program place its windows and read the
// pointer anywhere (X11; not a Wayland session).
bool canPlaceWindowsAtTheMouse();

}  // namespace velumar
