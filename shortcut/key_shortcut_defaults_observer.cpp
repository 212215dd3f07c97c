#include "shortcut/key_shortcut_defaults_observer.h"

#include <QDir>
#include <QFileInfo>

#include "shortcut/key_shortcut_view.h"

namespace shortcut {

KeyShortcutDefaultsObserver::KeyShortcutDefaultsObserver(KeyShortcutView& view, QString userDefaultsKey,
                                                         foundation::UserDefaults& defaults)
    : view_(view),
      userDefaultsKey_(std::move(userDefaultsKey)),
      defaults_(defaults),
      originalShortcut_(view.shortcutValue()) {
  view_.setShortcutValue(storedShortcut());
  defaultsToken_ = foundation::NotificationCenter::defaultCenter().addObserver(
      foundation::UserDefaults::kDidChangeNotification, &defaults_,
      [this](const foundation::Notification&) { userDefaultsDidChange(); });
  viewConnection_ =
      QObject::connect(&view_, &KeyShortcutView::shortcutValueChanged, [this] { shortcutValueDidChange(); });
  // The defaults file is replaced on every write, so its folder is watched.
  const QString folder = QFileInfo(QString::fromStdString(defaults_.path())).absolutePath();
  QDir().mkpath(folder);
  fileWatcher_.addPath(folder);
  QObject::connect(&fileWatcher_, &QFileSystemWatcher::directoryChanged, [this] { defaults_.reload(); });
}

KeyShortcutDefaultsObserver::~KeyShortcutDefaultsObserver() {
  QObject::disconnect(viewConnection_);
  defaultsToken_.reset();
  view_.setShortcutValue(originalShortcut_);
}

std::optional<KeyShortcut> KeyShortcutDefaultsObserver::storedShortcut() const {
  auto data = defaults_.dataForKey(userDefaultsKey_.toStdString());
  return data ? KeyShortcut::fromData(*data) : std::nullopt;
}

void KeyShortcutDefaultsObserver::userDefaultsDidChange() {
  if (internalShortcutChange_) return;
  internalPreferenceChange_ = true;
  view_.setShortcutValue(storedShortcut());
  internalPreferenceChange_ = false;
}

void KeyShortcutDefaultsObserver::shortcutValueDidChange() {
  if (internalPreferenceChange_) return;
  internalShortcutChange_ = true;
  const auto& value = view_.shortcutValue();
  defaults_.set(userDefaultsKey_.toStdString(), value ? value->data() : KeyShortcut::emptyData());
  defaults_.synchronize();
  internalShortcutChange_ = false;
}

}  // namespace shortcut
