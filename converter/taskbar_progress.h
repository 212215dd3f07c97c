#pragma once
// The batch's progress on the desktop's task bar or dock: the launcher-entry
// signal (com.canonical.Unity.LauncherEntry, "Update") for the application's
// desktop file, which the KDE task manager and several docks read. Without
// a session bus nothing is sent.

namespace velumar {

class TaskbarProgress {
 public:
  // Shows fraction (clamped to 0..1, NaN as 0) as the entry's progress.
  void show(double fraction);
  // Hides the entry's progress.
  void hide();
  bool isShown() const { return shown_; }

 private:
  static void send(double fraction, bool visible);

  bool shown_ = false;
  double lastFraction_ = -1;
};

}  // namespace velumar
