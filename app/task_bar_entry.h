#pragma once
// Keeping the application out of the task bar ("DockState" 1): on X11 and
// XWayland every window of the application is marked to be skipped by the
// task bar and the pager before it is mapped, which is when the window
// manager reads the mark; the tray icon stays the way in. Native Wayland
// has no protocol for it.

#include <QObject>
#include <QString>

namespace velumar {

// Whether windows can be kept out of the task bar on this display.
bool canHideFromTaskBar();
// Why they cannot, for the preferences; empty when they can.
QString taskBarHidingUnavailableReason();

// While it lives, marks each application window as it is shown.
class TaskBarHiding : public QObject {
  Q_OBJECT

 public:
  explicit TaskBarHiding(QObject* parent = nullptr);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace velumar
