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

// Whether Qt will run on Wayland, from the platform the environment asks for.
bool waylandPlatformExpected();

// Sets QT_IM_MODULE=none when Qt will run on Wayland, the user chose no
// input method module, and the compositor offers text input without a seat.
// True when it did.
bool avoidSeatlessInputMethod();

}  // namespace velumar
