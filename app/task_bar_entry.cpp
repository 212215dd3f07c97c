#include "app/task_bar_entry.h"

#include <QEvent>
#include <QGuiApplication>
#include <QWindow>

#include "platform/ui/task_bar_skip.h"
#include "shortcut/x11_key_grabs.h"

namespace velumar {

bool canHideFromTaskBar() {
  // "wayland", "wayland-egl" and the other Wayland platform plugins.
  return !QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

QString taskBarHidingUnavailableReason() {
  return canHideFromTaskBar() ? QString()
                              : QStringLiteral("Wayland offers applications no way to leave the task bar.");
}

TaskBarHiding::TaskBarHiding(QObject* parent) : QObject(parent) {
  if (shortcut::x11::connection()) qApp->installEventFilter(this);
}

bool TaskBarHiding::eventFilter(QObject* watched, QEvent* event) {
  // A window's show event comes before the window is mapped; the window
  // manager drops the state when a window is hidden, so each showing marks
  // it again. Menus and tool tips never reach the task bar.
  if (event->type() != QEvent::Show || !watched->isWindowType()) return false;
  auto* window = static_cast<QWindow*>(watched);
  if (window->parent() || window->type() == Qt::Popup || window->type() == Qt::ToolTip) return false;
  ui::keepOutOfTaskBar(*window);
  return false;
}

}  // namespace velumar
