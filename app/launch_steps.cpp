#include "app/launch_steps.h"

#include "platform/foundation/user_defaults.h"
#include "session/processing_queues.h"
#include "shortcut/key_shortcut_hot_key.h"

namespace velumar {

void registerGlobalShortcut(std::function<void()> handler, foundation::UserDefaults& defaults) {
  shortcut::registerGlobalShortcutWithUserDefaultsKey(kGlobalShortcutDefaultsKey, std::move(handler),
                                                      defaults);
}

void unregisterGlobalShortcut() {
  shortcut::unregisterGlobalShortcutWithUserDefaultsKey(kGlobalShortcutDefaultsKey);
}

bool isGlobalShortcutRegistered() {
  return shortcut::isGlobalShortcutRegisteredWithUserDefaultsKey(kGlobalShortcutDefaultsKey);
}

void runQuitSteps() {
  unregisterGlobalShortcut();
  ProcessingQueues::shared().joinAll();
}

}  // namespace velumar
