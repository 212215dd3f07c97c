#pragma once
// Global hot keys as key grabs on the X11 root window. Presses arrive
// through a native event filter, installed with the first registration and
// removed with the last.

#include <QAbstractNativeEventFilter>

#include <map>

#include "shortcut/hot_key_backend.h"
#include "shortcut/x11_key_grabs.h"

namespace shortcut {

class X11HotKeyBackend : public HotKeyBackend, private QAbstractNativeEventFilter {
 public:
  ~X11HotKeyBackend() override;

  bool registerHotKey(std::uint32_t id, const KeyShortcut& shortcut) override;
  void unregisterHotKey(std::uint32_t id) override;

  bool isFilterInstalled() const { return filterInstalled_; }

 private:
  bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;
  void setFilterInstalled(bool installed);

  std::map<std::uint32_t, x11::Grab> grabs_;
  bool filterInstalled_ = false;
};

}  // namespace shortcut
