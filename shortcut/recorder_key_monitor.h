#pragma once
// The application-wide key monitor of the recording shortcut view: an event
// filter on the application that hands every key event to the recording
// view and stops recording when its window is deactivated.

#include <QObject>
#include <QPointer>

namespace shortcut {

class KeyShortcutView;

class RecorderKeyMonitor : public QObject {
  Q_OBJECT

 public:
  // The one monitor; installed while a view records.
  static RecorderKeyMonitor& instance();
  // The view that records, or nullptr.
  static KeyShortcutView* recordingView();
  static void setRecordingView(KeyShortcutView* view);

  void setKeyMonitoring(bool on);
  void setResignObserving(bool on) { resignObserving_ = on; }
  bool isMonitoring() const { return monitoring_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QPointer<KeyShortcutView> view_;
  bool monitoring_ = false;
  bool resignObserving_ = false;
};

}  // namespace shortcut
