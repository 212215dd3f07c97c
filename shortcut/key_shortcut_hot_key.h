#pragma once
// Global hot keys: a shortcut that runs its handler when pressed, whichever
// program has the focus. Main thread only.
//
// KeyShortcutHotKey is one registration. Monitors name registrations by the
// shortcut's description, so one combination is registered once. A
// user-defaults hot key keeps the shortcut stored under a key registered,
// following every change of the stored value.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/notification_center.h"
#include "platform/foundation/user_defaults.h"
#include "shortcut/key_shortcut.h"

namespace shortcut {

class KeyShortcutHotKey {
 public:
  // Registers; nullptr when the combination is refused or global shortcuts
  // are not available. Every attempt that reaches the backend takes the
  // next id (1, 2, ...), failed or not.
  static std::unique_ptr<KeyShortcutHotKey> create(const KeyShortcut& shortcut,
                                                   std::function<void()> handler);
  ~KeyShortcutHotKey();
  KeyShortcutHotKey(const KeyShortcutHotKey&) = delete;
  KeyShortcutHotKey& operator=(const KeyShortcutHotKey&) = delete;

  std::uint32_t hotKeyId() const { return id_; }
  const KeyShortcut& shortcut() const { return shortcut_; }
  const std::function<void()>& handler() const { return handler_; }

  // The id the last registration attempt took.
  static std::uint32_t lastHotKeyId();

 private:
  KeyShortcutHotKey(std::uint32_t id, KeyShortcut shortcut, std::function<void()> handler);
  std::uint32_t id_;
  KeyShortcut shortcut_;
  std::function<void()> handler_;
};

// Registers and answers the monitor's token; nothing when the combination is
// already monitored or cannot be registered.
std::optional<std::string> addGlobalHotkeyMonitor(const KeyShortcut& shortcut, std::function<void()> handler);
// Removes a monitor; nothing does nothing.
void removeGlobalHotkeyMonitor(const std::optional<std::string>& token);

// Keeps the shortcut stored under key registered with handler, replacing an
// earlier registration of the key. Stored values that are no shortcut (the
// empty archive) register nothing.
void registerGlobalShortcutWithUserDefaultsKey(
    const std::string& key, std::function<void()> handler,
    foundation::UserDefaults& defaults = foundation::UserDefaults::standard());
void unregisterGlobalShortcutWithUserDefaultsKey(const std::string& key);
// Whether the shortcut stored under key is registered as a hot key now.
bool isGlobalShortcutRegisteredWithUserDefaultsKey(const std::string& key);
// Stores shortcut under key (nothing removes the key).
void setGlobalShortcut(const std::optional<KeyShortcut>& shortcut, const std::string& key,
                       foundation::UserDefaults& defaults = foundation::UserDefaults::standard());

}  // namespace shortcut
