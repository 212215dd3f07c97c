#pragma once
// Keeps a recorder view and one user-defaults key equal both ways: a
// shortcut recorded or cleared in the view is stored (and written) at once,
// and a stored value changed elsewhere, in this program or by an edit of the
// defaults file, is shown in the view. Detaching restores the view's earlier
// shortcut.

#include <QFileSystemWatcher>
#include <QMetaObject>
#include <QString>

#include <optional>

#include "platform/foundation/notification_center.h"
#include "platform/foundation/user_defaults.h"
#include "shortcut/key_shortcut.h"

namespace shortcut {

class KeyShortcutView;

class KeyShortcutDefaultsObserver {
 public:
  KeyShortcutDefaultsObserver(KeyShortcutView& view, QString userDefaultsKey,
                              foundation::UserDefaults& defaults = foundation::UserDefaults::standard());
  ~KeyShortcutDefaultsObserver();
  KeyShortcutDefaultsObserver(const KeyShortcutDefaultsObserver&) = delete;
  KeyShortcutDefaultsObserver& operator=(const KeyShortcutDefaultsObserver&) = delete;

  const QString& userDefaultsKey() const { return userDefaultsKey_; }

 private:
  void userDefaultsDidChange();
  void shortcutValueDidChange();
  std::optional<KeyShortcut> storedShortcut() const;

  KeyShortcutView& view_;
  QString userDefaultsKey_;
  foundation::UserDefaults& defaults_;
  std::optional<KeyShortcut> originalShortcut_;
  bool internalPreferenceChange_ = false;
  bool internalShortcutChange_ = false;
  foundation::ObserverToken defaultsToken_;
  QMetaObject::Connection viewConnection_;
  QFileSystemWatcher fileWatcher_;
};

}  // namespace shortcut
