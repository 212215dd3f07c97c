#pragma once
// A keyboard shortcut: one physical key (by its stored key code, see
// key_codes.h) and a set of modifiers, with its text, its stored form and
// the checks that decide whether it may be used as a global shortcut.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <QString>

#include "platform/foundation/value.h"
#include "shortcut/key_codes.h"

class QKeyEvent;
class QMenuBar;

namespace shortcut {

class KeyboardLayout;

// Modifier bits as stored. Ctrl is Command, Alt is Option, Super is Control.
namespace modifiers {
inline constexpr std::uint64_t kShift = 0x20000, kControl = 0x40000, kOption = 0x80000, kCommand = 0x100000;
inline constexpr std::uint64_t kMask = kShift | kControl | kOption | kCommand;
}  // namespace modifiers

class KeyShortcut {
 public:
  KeyShortcut(std::uint64_t keyCode, std::uint64_t modifierFlags);

  // The physical key and held modifiers of a key event (Caps Lock and Num
  // Lock are not modifiers here); a key missing from the key table is no key.
  static KeyShortcut fromEvent(const QKeyEvent& event);
  // Qt modifier bits as stored modifier bits.
  static std::uint64_t flagsFromQt(int qtModifiers);

  // The stored form: a keyed archive of the value.
  foundation::Data data() const;
  // The value of a stored form; nullopt (logged) for anything else,
  // including the archive of an empty dictionary that means "no shortcut".
  static std::optional<KeyShortcut> fromData(const foundation::Data& data);
  // The stored form of "no shortcut".
  static foundation::Data emptyData();

  std::uint64_t keyCode() const { return keyCode_; }
  std::uint64_t modifierFlags() const { return modifierFlags_; }
  void setModifierFlags(std::uint64_t flags) { modifierFlags_ = flags & modifiers::kMask; }
  bool hasKey() const { return keyCode_ != kNoKeyCode; }

  // "Ctrl+Alt+Shift+Super+" for the set modifiers, in that order.
  std::string modifierFlagsString() const;
  // The key's text: a fixed name for special keys, else what it types in
  // the current layout, upper-cased; empty for no key and modifier keys.
  std::string keyCodeString() const;
  std::string keyCodeString(const KeyboardLayout* layout) const;
  std::string description() const { return modifierFlagsString() + keyCodeString(); }

  // Ctrl+W and Ctrl+Q: closing and quitting go on while recording.
  bool shouldBypass() const;
  // Usable as a global shortcut at all.
  bool isValid() const;
  // Used by a menu item of the given menu bars; the message names the item.
  bool isTakenInMenus(const std::vector<const QMenuBar*>& menuBars, QString* error) const;
  // Used system-wide (another program's global shortcut) or by a menu of
  // the application's windows.
  bool isTakenError(QString* error) const;

  static bool allowsAnyHotkeyWithOptionModifier();
  static void setAllowsAnyHotkeyWithOptionModifier(bool allows);

  bool operator==(const KeyShortcut& other) const = default;

 private:
  std::uint64_t keyCode_;
  std::uint64_t modifierFlags_;
};

}  // namespace shortcut
