#include "shortcut/recorder_key_monitor.h"

#include <QApplication>
#include <QKeyEvent>

#include "shortcut/key_shortcut_view.h"

namespace shortcut {

RecorderKeyMonitor& RecorderKeyMonitor::instance() {
  static RecorderKeyMonitor* monitor = new RecorderKeyMonitor;  // lives as long as the process
  return *monitor;
}

KeyShortcutView* RecorderKeyMonitor::recordingView() {
  return instance().view_;
}

void RecorderKeyMonitor::setRecordingView(KeyShortcutView* view) {
  instance().view_ = view;
}

void RecorderKeyMonitor::setKeyMonitoring(bool on) {
  if (on == monitoring_ || qApp == nullptr) return;
  monitoring_ = on;
  if (on) {
    qApp->installEventFilter(this);
  } else {
    qApp->removeEventFilter(this);
  }
}

bool RecorderKeyMonitor::eventFilter(QObject* watched, QEvent* event) {
  KeyShortcutView* view = view_;
  if (view == nullptr || !view->isRecording()) return false;
  switch (event->type()) {
    case QEvent::ShortcutOverride:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
      return view->handleRecordingKey(static_cast<QKeyEvent*>(event));
    case QEvent::WindowDeactivate:
      if (resignObserving_ && watched == view->window()) view->setRecording(false);
      return false;
    default:
      return false;
  }
}

}  // namespace shortcut
