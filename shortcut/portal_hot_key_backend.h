#pragma once
// Global hot keys through the desktop portal's GlobalShortcuts interface, for
// Wayland sessions (where key grabs on XWayland only see our own windows).
// One portal session holds every registered combination; the desktop may let
// the user confirm or change the triggers. Any reply of an unexpected shape
// leaves the backend unavailable.

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QVariantMap>
#include <map>
#include <memory>

#include "shortcut/hot_key_backend.h"

class QDBusObjectPath;
class QDBusPendingCallWatcher;

namespace shortcut {

class PortalHotKeyBackend : public QObject, public HotKeyBackend {
  Q_OBJECT

 public:
  // A backend on bus when the portal there offers global shortcuts; nullptr
  // (logged) otherwise. The portal session is requested at once.
  static std::unique_ptr<PortalHotKeyBackend> create(const QDBusConnection& bus);
  ~PortalHotKeyBackend() override;

  bool registerHotKey(std::uint32_t id, const KeyShortcut& shortcut) override;
  void unregisterHotKey(std::uint32_t id) override;
  bool isAvailable() const override { return available_; }

  // Whether the portal session exists and holds the registered shortcuts.
  bool isSessionReady() const { return !session_.isEmpty(); }
  bool isBound() const { return bound_; }

  // The portal's name for a combination, in the desktop shortcut notation
  // ("CTRL+ALT+k"); empty when the key has no symbol name.
  static QString triggerFor(const KeyShortcut& shortcut);

 private slots:
  void sessionCreated(uint response, const QVariantMap& results);
  void shortcutsBound(uint response, const QVariantMap& results);
  void activated(const QDBusObjectPath& session, const QString& shortcutId, qulonglong timestamp,
                 const QVariantMap& options);

 private:
  struct Entry {
    QString trigger;
    QString description;
  };

  explicit PortalHotKeyBackend(const QDBusConnection& bus);
  void requestSession();
  void bindShortcuts();
  // Calls method with arguments; its Response arrives at slot. The request
  // path is predicted from the token and subscribed before the call, so a
  // fast answer is not missed.
  void callWithResponse(const QString& method, const QList<QVariant>& arguments, const QString& token,
                        const char* slot);
  bool listenForResponse(const QString& requestPath, const char* slot);
  void stopListening();
  void becomeUnavailable(const QString& why);
  QString nextToken();

  QDBusConnection bus_;
  bool available_ = true;
  bool bound_ = false;
  QString session_;
  QString requestPath_;
  const char* requestSlot_ = nullptr;
  std::uint32_t tokens_ = 0;
  std::map<std::uint32_t, Entry> entries_;
};

}  // namespace shortcut
