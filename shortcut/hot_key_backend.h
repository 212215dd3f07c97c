#pragma once
// Where global hot keys are registered: key grabs on an X11 display, the
// desktop portal's global shortcuts in a Wayland session. A backend tells
// pressed() the id of the hot key that was pressed.

#include <cstdint>
#include <functional>

#include <QString>

namespace shortcut {

class KeyShortcut;

class HotKeyBackend {
 public:
  virtual ~HotKeyBackend() = default;

  // Registers the combination under id; false when it is refused (taken by
  // another program) or cannot be registered.
  virtual bool registerHotKey(std::uint32_t id, const KeyShortcut& shortcut) = 0;
  virtual void unregisterHotKey(std::uint32_t id) = 0;
  // False once the backend found it cannot register anything any more.
  virtual bool isAvailable() const { return true; }

  std::function<void(std::uint32_t id)> pressed;
};

// The backend of this session: the desktop portal's global shortcuts in a
// Wayland session, key grabs on an X11 display; nullptr when neither is
// offered.
HotKeyBackend* hotKeyBackend();

// What the recorder tells the user when global shortcuts are not available
// on this desktop (no backend, or one that became unusable); empty when
// they are.
QString globalShortcutsNotice();

}  // namespace shortcut
