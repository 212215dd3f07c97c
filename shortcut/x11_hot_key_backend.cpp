#include "shortcut/x11_hot_key_backend.h"

#include <QCoreApplication>

#include "shortcut/key_shortcut.h"

namespace shortcut {

X11HotKeyBackend::~X11HotKeyBackend() {
  for (const auto& [id, grab] : grabs_) x11::ungrabKey(grab);
  setFilterInstalled(false);
}

void X11HotKeyBackend::setFilterInstalled(bool installed) {
  if (installed == filterInstalled_ || QCoreApplication::instance() == nullptr) return;
  filterInstalled_ = installed;
  if (installed) {
    QCoreApplication::instance()->installNativeEventFilter(this);
  } else {
    QCoreApplication::instance()->removeNativeEventFilter(this);
  }
}

bool X11HotKeyBackend::registerHotKey(std::uint32_t id, const KeyShortcut& shortcut) {
  const auto grab = x11::grabFor(shortcut);
  if (!grab || !x11::grabKey(*grab)) return false;
  grabs_[id] = *grab;
  setFilterInstalled(true);
  return true;
}

void X11HotKeyBackend::unregisterHotKey(std::uint32_t id) {
  auto found = grabs_.find(id);
  if (found == grabs_.end()) return;
  x11::ungrabKey(found->second);
  grabs_.erase(found);
  if (grabs_.empty()) setFilterInstalled(false);
}

bool X11HotKeyBackend::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
  if (eventType != "xcb_generic_event_t" || message == nullptr) return false;
  auto* event = static_cast<xcb_generic_event_t*>(message);
  if ((event->response_type & 0x7f) != XCB_KEY_PRESS) return false;
  auto* press = reinterpret_cast<xcb_key_press_event_t*>(event);
  if (press->event != x11::rootWindow()) return false;
  const std::uint16_t locks = XCB_MOD_MASK_LOCK | x11::numLockMask();
  const x11::Grab combination{press->detail, std::uint16_t(press->state & ~locks & 0xff)};
  for (const auto& [id, grab] : grabs_) {
    if (grab == combination) {
      const std::uint32_t pressedId = id;  // the handler may unregister
      if (pressed) pressed(pressedId);
      return true;
    }
  }
  return false;
}

}  // namespace shortcut
