#include "shortcut/keyboard_layout.h"

#include <xkbcommon/xkbcommon-x11.h>
#include <xkbcommon/xkbcommon.h>

#include <QGuiApplication>

#include "platform/foundation/log.h"

namespace shortcut {

namespace {

xcb_connection_t* x11Connection() {
  auto* application = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  return application ? application->connection() : nullptr;
}

}  // namespace

KeyboardLayout::KeyboardLayout(xkb_context* context, xkb_keymap* keymap, xkb_state* state)
    : context_(context), keymap_(keymap), state_(state) {}

KeyboardLayout::~KeyboardLayout() {
  xkb_state_unref(state_);
  xkb_keymap_unref(keymap_);
  xkb_context_unref(context_);
}

std::shared_ptr<const KeyboardLayout> KeyboardLayout::named(const std::string& layout,
                                                            const std::string& variant) {
  xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
  if (context == nullptr) return nullptr;
  xkb_rule_names names{};
  names.layout = layout.empty() ? nullptr : layout.c_str();
  names.variant = variant.empty() ? nullptr : variant.c_str();
  xkb_keymap* keymap = xkb_keymap_new_from_names(context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
  xkb_state* state = keymap ? xkb_state_new(keymap) : nullptr;
  if (state == nullptr) {
    foundation::log("Keyboard layout: cannot compile a keymap for \"{}\"", layout);
    xkb_keymap_unref(keymap);
    xkb_context_unref(context);
    return nullptr;
  }
  return std::shared_ptr<const KeyboardLayout>(new KeyboardLayout(context, keymap, state));
}

std::shared_ptr<const KeyboardLayout> KeyboardLayout::current() {
  xcb_connection_t* connection = x11Connection();
  if (connection == nullptr) return named({});
  static const bool extension =
      xkb_x11_setup_xkb_extension(connection, XKB_X11_MIN_MAJOR_XKB_VERSION, XKB_X11_MIN_MINOR_XKB_VERSION,
                                  XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS, nullptr, nullptr, nullptr,
                                  nullptr) == 1;
  const std::int32_t device = extension ? xkb_x11_get_core_keyboard_device_id(connection) : -1;
  if (device < 0) return named({});
  xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
  xkb_keymap* keymap =
      context ? xkb_x11_keymap_new_from_device(context, connection, device, XKB_KEYMAP_COMPILE_NO_FLAGS)
              : nullptr;
  xkb_state* state = keymap ? xkb_x11_state_new_from_device(keymap, connection, device) : nullptr;
  if (state == nullptr) {
    xkb_keymap_unref(keymap);
    xkb_context_unref(context);
    return named({});
  }
  return std::shared_ptr<const KeyboardLayout>(new KeyboardLayout(context, keymap, state));
}

namespace {

// A state of keymap in state's active group, without any modifier held;
// nullptr when it cannot be made.
xkb_state* plainStateLike(xkb_keymap* keymap, xkb_state* state) {
  xkb_state* plain = xkb_state_new(keymap);
  if (plain == nullptr) return nullptr;
  const xkb_layout_index_t group = xkb_state_serialize_layout(state, XKB_STATE_LAYOUT_EFFECTIVE);
  xkb_state_update_mask(plain, 0, 0, 0, 0, 0, group);
  return plain;
}

}  // namespace

std::string KeyboardLayout::text(int evdev) const {
  xkb_state* plain = plainStateLike(keymap_, state_);
  if (plain == nullptr) return {};
  char buffer[64] = {};
  const int length =
      xkb_state_key_get_utf8(plain, static_cast<xkb_keycode_t>(evdev + 8), buffer, sizeof buffer);
  xkb_state_unref(plain);
  if (length <= 0 || length >= int(sizeof buffer)) return {};
  return std::string(buffer, static_cast<std::size_t>(length));
}

std::string KeyboardLayout::keysymName(int evdev) const {
  xkb_state* plain = plainStateLike(keymap_, state_);
  if (plain == nullptr) return {};
  const xkb_keysym_t symbol = xkb_state_key_get_one_sym(plain, static_cast<xkb_keycode_t>(evdev + 8));
  xkb_state_unref(plain);
  if (symbol == XKB_KEY_NoSymbol) return {};
  char buffer[64] = {};
  const int length = xkb_keysym_get_name(symbol, buffer, sizeof buffer);
  if (length <= 0 || length >= int(sizeof buffer)) return {};
  return std::string(buffer, static_cast<std::size_t>(length));
}

}  // namespace shortcut
