#pragma once
// Key grabs on the X11 root window: a combination grabbed here reaches this
// program whichever window has the focus. Grabs are made with and without
// Caps Lock and Num Lock, so those locks never hide a press. All functions
// answer false or nothing when the program does not run on X11.

#include <xcb/xcb.h>

#include <cstdint>
#include <optional>

namespace shortcut {

class KeyShortcut;

namespace x11 {

struct Grab {
  xcb_keycode_t keycode = 0;
  std::uint16_t modifiers = 0;  // X modifier mask, locks excluded
  bool operator==(const Grab&) const = default;
};

// Qt's connection to the X server, or nullptr.
xcb_connection_t* connection();
xcb_window_t rootWindow();

// The grab of a shortcut; nothing for no key or a key without X key code.
std::optional<Grab> grabFor(const KeyShortcut& shortcut);
// The X modifier mask of stored modifier flags.
std::uint16_t modifierMask(std::uint64_t flags);
// The modifier bit Num Lock sets (0 when it sets none).
std::uint16_t numLockMask();

// Grabs all lock variants; false, with nothing grabbed, when the server
// refuses any (another client holds the combination).
bool grabKey(const Grab& grab);
void ungrabKey(const Grab& grab);
// Whether another client holds the combination: a test grab, released at
// once. A combination this program grabbed itself is not taken.
bool isGrabbedElsewhere(const Grab& grab);

}  // namespace x11
}  // namespace shortcut
