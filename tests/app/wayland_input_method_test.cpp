// When the input method is turned off on Wayland, decided from the
// environment and what the compositor offers, without a compositor.
#include "app/wayland_input_method.h"

#include <gtest/gtest.h>

namespace velumar {
namespace {

TEST(WaylandInputMethod, OffOnlyOnWaylandWithTextInputButNoSeatAndNoChosenModule) {
  struct Case {
    const char* platform;
    const char* sessionType;
    bool x11Display, waylandDisplay, seat, textInput, chosen;
    bool off;
  };
  const Case cases[] = {
      {"wayland", "", false, true, false, true, false, true},
      {"wayland-egl", "", false, true, false, true, false, true},
      {"wayland;xcb", "x11", true, true, false, true, false, true},
      {"xcb;wayland", "wayland", true, true, false, true, false, false},
      {"wayland", "", false, true, true, true, false, false},    // a seat
      {"wayland", "", false, true, false, false, false, false},  // no text input
      {"wayland", "", false, true, false, true, true, false},    // QT_IM_MODULE set
      {"xcb", "wayland", true, true, false, true, false, false},
      {"offscreen", "wayland", false, true, false, true, false, false},
      {"", "wayland", true, true, false, true, false, true},
      {"", "x11", true, true, false, true, false, false},
      {"", "", false, true, false, true, false, true},  // only a Wayland display
      {"", "", true, true, false, true, false, false},
      {"", "tty", false, false, false, true, false, false},
  };
  for (const Case& c : cases) {
    const InputMethodEnvironment environment{c.platform, c.sessionType, c.x11Display, c.waylandDisplay, c.chosen};
    const WaylandGlobals globals{true, c.seat, c.textInput};
    EXPECT_EQ(inputMethodMustBeOff(environment, globals), c.off)
        << c.platform << " / " << c.sessionType << " seat " << c.seat << " text " << c.textInput << " chosen "
        << c.chosen;
  }
  // No compositor answered: nothing to avoid.
  EXPECT_FALSE(inputMethodMustBeOff({"wayland", "", false, true, false}, WaylandGlobals{false, false, true}));
}

}  // namespace
}  // namespace velumar
