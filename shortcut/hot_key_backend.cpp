#include "shortcut/hot_key_backend.h"

#include <QObject>
#include <QtGlobal>

#include "shortcut/portal_hot_key_backend.h"
#include "shortcut/x11_hot_key_backend.h"
#include "shortcut/x11_key_grabs.h"

namespace shortcut {

HotKeyBackend* hotKeyBackend() {
  // Made once and kept to the end of the process (registrations may still be
  // released during exit); the X server drops the grabs with the connection.
  static HotKeyBackend* backend = []() -> HotKeyBackend* {
    // Under Wayland the program runs on XWayland, whose grabs only see keys
    // typed into its own windows: only the portal can help there.
    if (!qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
      return PortalHotKeyBackend::create(QDBusConnection::sessionBus()).release();
    if (x11::connection() != nullptr) return new X11HotKeyBackend;
    return nullptr;
  }();
  return backend;
}

QString globalShortcutsNotice() {
  const HotKeyBackend* backend = hotKeyBackend();
  if (backend != nullptr && backend->isAvailable()) return {};
  return QObject::tr("Global shortcuts are not available on this desktop.");
}

}  // namespace shortcut
