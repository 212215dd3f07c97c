#include "app/launch_steps.h"

#include <QWidget>

#include "platform/foundation/user_defaults.h"
#include "session/processing_queues.h"
#include "shortcut/key_shortcut_hot_key.h"

namespace velumar {

void runLaunchSteps(QWidget& window) {
  foundation::UserDefaults& defaults = foundation::UserDefaults::standard();
  shortcut::unregisterGlobalShortcutWithUserDefaultsKey(kGlobalShortcutDefaultsKey);
  shortcut::registerGlobalShortcutWithUserDefaultsKey(
      kGlobalShortcutDefaultsKey,
      [&window] {
        window.show();
        window.raise();
        window.activateWindow();
      },
      defaults);
}

void runQuitSteps() {
  shortcut::unregisterGlobalShortcutWithUserDefaultsKey(kGlobalShortcutDefaultsKey);
  ProcessingQueues::shared().joinAll();
  foundation::UserDefaults::standard().synchronize();
}

}  // namespace velumar
