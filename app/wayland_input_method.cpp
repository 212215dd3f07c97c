#include "app/wayland_input_method.h"

#include <wayland-client.h>

#include <cstdlib>
#include <cstring>
#include <string_view>

#include "platform/foundation/log.h"

namespace velumar {

namespace {

void onGlobal(void* data, wl_registry*, std::uint32_t, const char* interface, std::uint32_t) {
  auto& globals = *static_cast<WaylandGlobals*>(data);
  const std::string_view name = interface ? interface : "";
  if (name == "wl_seat") globals.seat = true;
  if (name.starts_with("zwp_text_input_manager_v") || name == "qt_text_input_method_manager_v1")
    globals.textInputManager = true;
}

void onGlobalRemove(void*, wl_registry*, std::uint32_t) {}

const wl_registry_listener kListener = {onGlobal, onGlobalRemove};

std::string_view environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

}  // namespace

WaylandGlobals probeWaylandGlobals() {
  WaylandGlobals globals;
  wl_display* display = wl_display_connect(nullptr);
  if (!display) return globals;
  wl_registry* registry = wl_display_get_registry(display);
  if (registry && wl_registry_add_listener(registry, &kListener, &globals) == 0 &&
      wl_display_roundtrip(display) >= 0)
    globals.connected = true;
  if (registry) wl_registry_destroy(registry);
  wl_display_disconnect(display);
  return globals;
}

InputMethodEnvironment InputMethodEnvironment::current() {
  return {std::string(environment("QT_QPA_PLATFORM")), std::string(environment("XDG_SESSION_TYPE")),
          !environment("DISPLAY").empty(), !environment("WAYLAND_DISPLAY").empty(),
          !environment("QT_IM_MODULE").empty()};
}

bool waylandPlatformExpected(const InputMethodEnvironment& environment) {
  if (!environment.platform.empty()) {
    // Qt tries the platforms of a list in turn; the first one decides.
    const std::string_view first = std::string_view(environment.platform).substr(0, environment.platform.find(';'));
    return first.starts_with("wayland");
  }
  if (environment.sessionType == "wayland") return true;
  return !environment.x11Display && environment.waylandDisplay;
}

bool inputMethodMustBeOff(const InputMethodEnvironment& environment, const WaylandGlobals& globals) {
  return !environment.inputMethodChosen && waylandPlatformExpected(environment) && globals.connected &&
         !globals.seat && globals.textInputManager;
}

bool avoidSeatlessInputMethod() {
  const InputMethodEnvironment current = InputMethodEnvironment::current();
  // The compositor is asked only when its answer can matter.
  if (current.inputMethodChosen || !waylandPlatformExpected(current)) return false;
  if (!inputMethodMustBeOff(current, probeWaylandGlobals())) return false;
  setenv("QT_IM_MODULE", "none", 1);
  foundation::logDebug("Wayland: text input is offered without a seat; the input method is off");
  return true;
}

}  // namespace velumar
