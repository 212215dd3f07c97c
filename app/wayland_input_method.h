#pragma once
// Qt's Wayland input-method support (6.4) asks the session's first seat for
// its text input without checking that there is a seat: a compositor that
// offers a text-input manager but no seat (a headless one, a kiosk without
// a keyboard) makes the first text field that draws its cursor crash the
// program. Before the application object is made, such a session gets
// QT_IM_MODULE=none, so keys still reach text fields directly; sessions
// with a seat, every ordinary desktop, keep their input method.

#include <string>

namespace velumar {

struct WaylandGlobals {
  bool connected = false;
  bool seat = false;
  bool textInputManager = false;
};

// The globals of the compositor at WAYLAND_DISPLAY (nothing when none answers).
WaylandGlobals probeWaylandGlobals();

// What the environment says about the session.
struct InputMethodEnvironment {
  std::string platform;     // QT_QPA_PLATFORM ("wayland", "wayland-egl", "xcb;wayland", ...)
  std::string sessionType;  // XDG_SESSION_TYPE
  bool x11Display = false;  // DISPLAY is set
  bool waylandDisplay = false;  // WAYLAND_DISPLAY is set
  bool inputMethodChosen = false;  // QT_IM_MODULE is set
  static InputMethodEnvironment current();
};

// Whether Qt will run on Wayland: the first platform asked for, else the
// session type, else the only display there is.
bool waylandPlatformExpected(const InputMethodEnvironment& environment);

// Whether the input method must be off: Qt runs on Wayland, the user chose
// no input method module, and the compositor offers text input without a
// seat.
bool inputMethodMustBeOff(const InputMethodEnvironment& environment, const WaylandGlobals& globals);

// Sets QT_IM_MODULE=none when Qt will run on Wayland, the user chose no
// input method module, and the compositor offers text input without a seat.
// True when it did.
bool avoidSeatlessInputMethod();

}  // namespace velumar
