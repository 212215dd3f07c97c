#pragma once
// The text a physical key types in a keyboard layout, through xkbcommon.

#include <memory>
#include <optional>
#include <string>

struct xkb_context;
struct xkb_keymap;
struct xkb_state;

namespace shortcut {

class KeyboardLayout {
 public:
  // The layout in use: the X server's keymap and active group on X11, the
  // default keymap (XKB_DEFAULT_* environment, else US) elsewhere. Nullptr
  // when no keymap can be compiled.
  static std::shared_ptr<const KeyboardLayout> current();
  // A named layout ("de", "fr" with an optional variant).
  static std::shared_ptr<const KeyboardLayout> named(const std::string& layout,
                                                     const std::string& variant = {});

  ~KeyboardLayout();
  KeyboardLayout(const KeyboardLayout&) = delete;
  KeyboardLayout& operator=(const KeyboardLayout&) = delete;

  // The UTF-8 text of the key pressed without modifiers; empty when it types
  // nothing.
  std::string text(int evdev) const;
  // The name of the key's symbol without modifiers ("k", "F5", "Return");
  // empty when it has none.
  std::string keysymName(int evdev) const;

 private:
  KeyboardLayout(xkb_context* context, xkb_keymap* keymap, xkb_state* state);
  xkb_context* context_;
  xkb_keymap* keymap_;
  xkb_state* state_;
};

}  // namespace shortcut
