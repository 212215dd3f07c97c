#pragma once
// The global shortcut around the application's life: the shortcut stored
// under "KeyShortcut" is registered once launching has finished and
// unregistered at quit, when running batches are also waited for.

#include <functional>

namespace foundation {
class UserDefaults;
}

namespace velumar {

inline constexpr const char* kGlobalShortcutDefaultsKey = "KeyShortcut";

// Registers the stored shortcut (replacing an earlier registration) to run
// handler, following later changes of the stored value.
void registerGlobalShortcut(std::function<void()> handler, foundation::UserDefaults& defaults);
void unregisterGlobalShortcut();
// Whether a hot key is registered for the stored shortcut now.
bool isGlobalShortcutRegistered();
// After the event loop: the shortcut is released and running batches are
// waited for.
void runQuitSteps();

}  // namespace velumar
