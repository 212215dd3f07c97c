#pragma once
// The batch's progress on the desktop's task bar or dock: the launcher-entry
// signal (com.canonical.Unity.LauncherEntry, "Update") for the application's
// desktop file, which the KDE task manager and several docks read. Without
// a session bus nothing is sent.

#include <QString>

namespace velumar {

class TaskbarProgress {
 public:
  static constexpr const char* kDesktopEntry = "application://velumar.desktop";
  static constexpr const char* kInterface = "com.canonical.Unity.LauncherEntry";
  static constexpr const char* kObjectPath = "/com/velumar/LauncherEntry";

  // Shows fraction (clamped to 0..1, NaN as 0) as the entry's progress.
  void show(double fraction);
  // Hides the entry's progress.
  void hide();
  bool isShown() const { return shown_; }

 private:
  void send(double fraction, bool visible);

  bool shown_ = false;
  double lastFraction_ = -1;
};

}  // namespace velumar
