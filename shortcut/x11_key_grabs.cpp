#include "shortcut/x11_key_grabs.h"

#include <xcb/xcb_keysyms.h>

#include <QGuiApplication>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <memory>
#include <vector>

#include "platform/foundation/log.h"
#include "shortcut/key_shortcut.h"

namespace shortcut::x11 {

namespace {

constexpr std::uint32_t kNumLockKeysym = 0xff7f;
constexpr std::uint8_t kBadAccess = 10;

// The combinations this program holds, as grabbed (several registrations
// never share one; the hot-key registry refuses duplicates).
std::vector<Grab>& ownGrabs() {
  static std::vector<Grab> grabs;
  return grabs;
}

std::array<std::uint16_t, 4> lockVariants(std::uint16_t modifiers) {
  const std::uint16_t numLock = numLockMask();
  return {modifiers, std::uint16_t(modifiers | XCB_MOD_MASK_LOCK), std::uint16_t(modifiers | numLock),
          std::uint16_t(modifiers | XCB_MOD_MASK_LOCK | numLock)};
}

// Grabs every variant; on refusal releases those made. The error code of
// the refusal, 0 when all were granted.
std::uint8_t grabAll(xcb_connection_t* conn, const Grab& grab) {
  std::vector<std::uint16_t> granted;
  std::uint8_t refusal = 0;
  auto variants = lockVariants(grab.modifiers);
  std::sort(variants.begin(), variants.end());
  const auto end = std::unique(variants.begin(), variants.end());
  for (auto it = variants.begin(); it != end; ++it) {
    // owner_events off: the press is reported to the root window even when
    // one of our own windows has the focus, where the filter looks for it.
    auto cookie = xcb_grab_key_checked(conn, 0, rootWindow(), *it, grab.keycode, XCB_GRAB_MODE_ASYNC,
                                       XCB_GRAB_MODE_ASYNC);
    xcb_generic_error_t* error = xcb_request_check(conn, cookie);
    if (error != nullptr) {
      refusal = error->error_code;
      std::free(error);
      break;
    }
    granted.push_back(*it);
  }
  if (refusal != 0) {
    for (std::uint16_t modifiers : granted) xcb_ungrab_key(conn, grab.keycode, rootWindow(), modifiers);
    xcb_flush(conn);
  }
  return refusal;
}

}  // namespace

xcb_connection_t* connection() {
  auto* application = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  return application ? application->connection() : nullptr;
}

xcb_window_t rootWindow() {
  xcb_connection_t* conn = connection();
  if (conn == nullptr) return XCB_NONE;
  xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(conn)).data;
  return screen ? screen->root : XCB_NONE;
}

std::uint16_t modifierMask(std::uint64_t flags) {
  std::uint16_t mask = 0;
  if (flags & modifiers::kCommand) mask |= XCB_MOD_MASK_CONTROL;
  if (flags & modifiers::kOption) mask |= XCB_MOD_MASK_1;
  if (flags & modifiers::kControl) mask |= XCB_MOD_MASK_4;
  if (flags & modifiers::kShift) mask |= XCB_MOD_MASK_SHIFT;
  return mask;
}

std::uint16_t numLockMask() {
  xcb_connection_t* conn = connection();
  if (conn == nullptr) return 0;
  std::unique_ptr<xcb_key_symbols_t, void (*)(xcb_key_symbols_t*)> symbols(xcb_key_symbols_alloc(conn),
                                                                           xcb_key_symbols_free);
  if (!symbols) return 0;
  std::unique_ptr<xcb_keycode_t, void (*)(void*)> numLockCodes(
      xcb_key_symbols_get_keycode(symbols.get(), kNumLockKeysym), std::free);
  std::unique_ptr<xcb_get_modifier_mapping_reply_t, void (*)(void*)> mapping(
      xcb_get_modifier_mapping_reply(conn, xcb_get_modifier_mapping(conn), nullptr), std::free);
  if (!numLockCodes || !mapping) return 0;
  const xcb_keycode_t* codes = xcb_get_modifier_mapping_keycodes(mapping.get());
  const int perModifier = mapping->keycodes_per_modifier;
  for (int modifier = 0; modifier < 8; ++modifier) {
    for (int i = 0; i < perModifier; ++i) {
      const xcb_keycode_t code = codes[modifier * perModifier + i];
      for (const xcb_keycode_t* n = numLockCodes.get(); code != 0 && *n != XCB_NO_SYMBOL; ++n)
        if (*n == code) return std::uint16_t(1u << modifier);
    }
  }
  return 0;
}

std::optional<Grab> grabFor(const KeyShortcut& shortcut) {
  const auto evdev = evdevForKeyCode(shortcut.keyCode());
  if (!evdev) return std::nullopt;
  return Grab{static_cast<xcb_keycode_t>(*evdev + 8), modifierMask(shortcut.modifierFlags())};
}

bool grabKey(const Grab& grab) {
  xcb_connection_t* conn = connection();
  if (conn == nullptr) return false;
  const std::uint8_t refusal = grabAll(conn, grab);
  if (refusal != 0) {
    if (refusal != kBadAccess)
      foundation::log("Hot keys: the X server refused a key grab (error {})", refusal);
    return false;
  }
  ownGrabs().push_back(grab);
  return true;
}

void ungrabKey(const Grab& grab) {
  xcb_connection_t* conn = connection();
  auto& own = ownGrabs();
  auto found = std::find(own.begin(), own.end(), grab);
  if (conn == nullptr || found == own.end()) return;
  own.erase(found);
  for (std::uint16_t modifiers : lockVariants(grab.modifiers))
    xcb_ungrab_key(conn, grab.keycode, rootWindow(), modifiers);
  xcb_flush(conn);
}

bool isGrabbedElsewhere(const Grab& grab) {
  xcb_connection_t* conn = connection();
  if (conn == nullptr) return false;
  const auto& own = ownGrabs();
  if (std::find(own.begin(), own.end(), grab) != own.end()) return false;
  const std::uint8_t refusal = grabAll(conn, grab);
  if (refusal == 0) {
    for (std::uint16_t modifiers : lockVariants(grab.modifiers))
      xcb_ungrab_key(conn, grab.keycode, rootWindow(), modifiers);
    xcb_flush(conn);
  }
  return refusal == kBadAccess;
}

}  // namespace shortcut::x11
