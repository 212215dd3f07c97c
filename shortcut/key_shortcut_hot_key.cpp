#include "shortcut/key_shortcut_hot_key.h"

#include <map>

#include "shortcut/hot_key_backend.h"

namespace shortcut {

namespace {

std::uint32_t lastId = 0;

std::map<std::string, std::unique_ptr<KeyShortcutHotKey>>& monitors() {
  static std::map<std::string, std::unique_ptr<KeyShortcutHotKey>> registry;
  return registry;
}

void dispatch(std::uint32_t id) {
  for (const auto& [token, hotKey] : monitors()) {
    if (hotKey->hotKeyId() != id) continue;
    const std::function<void()> handler = hotKey->handler();  // may remove the monitor
    if (handler) handler();
    return;
  }
}

// One user-defaults key's hot key: re-registered when the value stored
// under its key changes (other keys' writes leave it alone).
class UserDefaultsHotKey {
 public:
  UserDefaultsHotKey(std::string key, std::function<void()> handler, foundation::UserDefaults& defaults)
      : key_(std::move(key)), handler_(std::move(handler)), defaults_(defaults) {
    token_ = foundation::NotificationCenter::defaultCenter().addObserver(
        foundation::UserDefaults::kDidChangeNotification, &defaults_,
        [this](const foundation::Notification&) {
          if (defaults_.dataForKey(key_) == stored_) return;
          removeGlobalHotkeyMonitor(monitor_);
          monitor_.reset();
          install();
        });
    install();
  }
  bool isRegistered() const { return monitor_.has_value(); }

  ~UserDefaultsHotKey() {
    token_.reset();
    removeGlobalHotkeyMonitor(monitor_);
  }

 private:
  void install() {
    const auto data = defaults_.dataForKey(key_);
    stored_ = data;
    auto shortcut = data ? KeyShortcut::fromData(*data) : std::nullopt;
    if (shortcut) monitor_ = addGlobalHotkeyMonitor(*shortcut, handler_);
  }

  std::string key_;
  std::function<void()> handler_;
  foundation::UserDefaults& defaults_;
  std::optional<std::string> monitor_;
  std::optional<foundation::Data> stored_;
  foundation::ObserverToken token_;
};

std::map<std::string, std::unique_ptr<UserDefaultsHotKey>>& registeredUserDefaultsHotKeys() {
  static std::map<std::string, std::unique_ptr<UserDefaultsHotKey>> registry;
  return registry;
}

}  // namespace

KeyShortcutHotKey::KeyShortcutHotKey(std::uint32_t id, KeyShortcut shortcut, std::function<void()> handler)
    : id_(id), shortcut_(shortcut), handler_(std::move(handler)) {}

std::unique_ptr<KeyShortcutHotKey> KeyShortcutHotKey::create(const KeyShortcut& shortcut,
                                                             std::function<void()> handler) {
  HotKeyBackend* backend = hotKeyBackend();
  if (!shortcut.hasKey() || backend == nullptr) return nullptr;
  backend->pressed = dispatch;
  const std::uint32_t id = ++lastId;
  if (!backend->registerHotKey(id, shortcut)) return nullptr;
  return std::unique_ptr<KeyShortcutHotKey>(new KeyShortcutHotKey(id, shortcut, std::move(handler)));
}

KeyShortcutHotKey::~KeyShortcutHotKey() {
  if (HotKeyBackend* backend = hotKeyBackend()) backend->unregisterHotKey(id_);
}

std::uint32_t KeyShortcutHotKey::lastHotKeyId() {
  return lastId;
}

std::optional<std::string> addGlobalHotkeyMonitor(const KeyShortcut& shortcut,
                                                  std::function<void()> handler) {
  std::string token = shortcut.description();
  if (monitors().contains(token)) return std::nullopt;
  auto hotKey = KeyShortcutHotKey::create(shortcut, std::move(handler));
  if (!hotKey) return std::nullopt;
  monitors().emplace(token, std::move(hotKey));
  return token;
}

void removeGlobalHotkeyMonitor(const std::optional<std::string>& token) {
  if (!token) return;
  auto found = monitors().find(*token);
  if (found == monitors().end()) return;
  std::unique_ptr<KeyShortcutHotKey> removed = std::move(found->second);
  monitors().erase(found);
}

void registerGlobalShortcutWithUserDefaultsKey(const std::string& key, std::function<void()> handler,
                                               foundation::UserDefaults& defaults) {
  auto& registry = registeredUserDefaultsHotKeys();
  registry.erase(key);  // the earlier registration goes first, freeing its combination
  registry[key] = std::make_unique<UserDefaultsHotKey>(key, std::move(handler), defaults);
}

void unregisterGlobalShortcutWithUserDefaultsKey(const std::string& key) {
  registeredUserDefaultsHotKeys().erase(key);
}

bool isGlobalShortcutRegisteredWithUserDefaultsKey(const std::string& key) {
  const auto& registry = registeredUserDefaultsHotKeys();
  const auto found = registry.find(key);
  return found != registry.end() && found->second->isRegistered();
}

void setGlobalShortcut(const std::optional<KeyShortcut>& shortcut, const std::string& key,
                       foundation::UserDefaults& defaults) {
  if (shortcut) {
    defaults.set(key, shortcut->data());
  } else {
    defaults.remove(key);
  }
}

}  // namespace shortcut
