#pragma once
// What the application does around its event loop: at launch the user's
// settings are read and the global shortcut stored under "KeyShortcut"
// brings the given window to the front; at quit running batches are waited
// for and the settings written.

class QWidget;

namespace velumar {

inline constexpr const char* kGlobalShortcutDefaultsKey = "KeyShortcut";

void runLaunchSteps(QWidget& window);
void runQuitSteps();

}  // namespace velumar
