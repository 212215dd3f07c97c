#pragma once
// Keeping one window out of the task bar and the pager. On X11 (and
// XWayland) the window's _NET_WM_STATE gets the skip-taskbar and skip-pager
// states; the window manager reads them when the window is mapped and drops
// them when it is withdrawn, so a window is marked each time before it is
// shown. Elsewhere nothing happens.

class QWindow;

namespace ui {

void keepOutOfTaskBar(QWindow& window);

}  // namespace ui
