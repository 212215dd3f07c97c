#include "shortcut/portal_hot_key_backend.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>

#include "platform/foundation/log.h"
#include "shortcut/key_codes.h"
#include "shortcut/key_shortcut.h"
#include "shortcut/keyboard_layout.h"
#include "shortcut/portal_shortcut.h"

namespace shortcut {
namespace {

const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kInterface = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");
const QString kRequestInterface = QStringLiteral("org.freedesktop.portal.Request");
constexpr int kCallTimeoutMs = 5000;

void registerTypes() {
  static const bool registered = [] {
    qDBusRegisterMetaType<PortalShortcut>();
    qDBusRegisterMetaType<QList<PortalShortcut>>();
    return true;
  }();
  (void)registered;
}

std::string text(const QString& value) {
  return value.toStdString();
}

}  // namespace

std::unique_ptr<PortalHotKeyBackend> PortalHotKeyBackend::create(const QDBusConnection& bus) {
  if (!bus.isConnected()) {
    foundation::log("global shortcuts: no session bus");
    return nullptr;
  }
  // The portal offers the interface when it answers its version property.
  QDBusMessage get = QDBusMessage::createMethodCall(
      kService, kPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
  get << kInterface << QStringLiteral("version");
  const QDBusMessage reply = QDBusConnection(bus).call(get, QDBus::Block, kCallTimeoutMs);
  const QVariant version = reply.type() == QDBusMessage::ReplyMessage && reply.arguments().size() == 1
                               ? reply.arguments().at(0).value<QDBusVariant>().variant()
                               : QVariant();
  if (version.typeId() != QMetaType::UInt || version.toUInt() == 0) {
    foundation::log("global shortcuts: the desktop portal offers none (" + text(reply.errorMessage()) + ")");
    return nullptr;
  }
  std::unique_ptr<PortalHotKeyBackend> backend(new PortalHotKeyBackend(bus));
  backend->requestSession();
  return backend;
}

PortalHotKeyBackend::PortalHotKeyBackend(const QDBusConnection& bus) : bus_(bus) {
  registerTypes();
}

PortalHotKeyBackend::~PortalHotKeyBackend() {
  stopListening();
  if (isSessionReady()) {
    bus_.disconnect(kService, kPath, kInterface, QStringLiteral("Activated"), this,
                    SLOT(activated(QDBusObjectPath, QString, qulonglong, QVariantMap)));
    // Closing the session releases the shortcuts at once.
    bus_.asyncCall(QDBusMessage::createMethodCall(
        kService, session_, QStringLiteral("org.freedesktop.portal.Session"), QStringLiteral("Close")));
  }
}

QString PortalHotKeyBackend::triggerFor(const KeyShortcut& shortcut) {
  const std::optional<int> evdev = evdevForKeyCode(shortcut.keyCode());
  const auto layout = KeyboardLayout::current();
  if (!evdev || layout == nullptr) return {};
  const std::string key = layout->keysymName(*evdev);
  if (key.empty()) return {};
  // Command is Ctrl, Option is Alt and Control is the logo key here.
  QString trigger;
  const std::uint64_t flags = shortcut.modifierFlags();
  if (flags & modifiers::kCommand) trigger += QStringLiteral("CTRL+");
  if (flags & modifiers::kOption) trigger += QStringLiteral("ALT+");
  if (flags & modifiers::kShift) trigger += QStringLiteral("SHIFT+");
  if (flags & modifiers::kControl) trigger += QStringLiteral("LOGO+");
  return trigger + QString::fromStdString(key);
}

QString PortalHotKeyBackend::nextToken() {
  return QStringLiteral("velumar%1").arg(++tokens_);
}

void PortalHotKeyBackend::becomeUnavailable(const QString& why) {
  if (available_) foundation::log("global shortcuts: the desktop portal is not usable: " + text(why));
  available_ = false;
  bound_ = false;
  stopListening();
}

bool PortalHotKeyBackend::listenForResponse(const QString& requestPath, const char* slot) {
  stopListening();
  if (!bus_.connect(kService, requestPath, kRequestInterface, QStringLiteral("Response"), this, slot))
    return false;
  requestPath_ = requestPath;
  requestSlot_ = slot;
  return true;
}

void PortalHotKeyBackend::stopListening() {
  if (requestPath_.isEmpty()) return;
  bus_.disconnect(kService, requestPath_, kRequestInterface, QStringLiteral("Response"), this, requestSlot_);
  requestPath_.clear();
  requestSlot_ = nullptr;
}

void PortalHotKeyBackend::callWithResponse(const QString& method, const QList<QVariant>& arguments,
                                           const QString& token, const char* slot) {
  QString sender = bus_.baseService().mid(1);
  sender.replace(QLatin1Char('.'), QLatin1Char('_'));
  const QString predicted = kPath + QStringLiteral("/request/") + sender + QLatin1Char('/') + token;
  if (!listenForResponse(predicted, slot)) {
    becomeUnavailable(QStringLiteral("cannot follow its requests"));
    return;
  }
  QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
  call.setArguments(arguments);
  auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call, kCallTimeoutMs), this);
  connect(
      watcher, &QDBusPendingCallWatcher::finished, this,
      [this, method, slot, predicted](QDBusPendingCallWatcher* done) {
        done->deleteLater();
        const QDBusPendingReply<QDBusObjectPath> reply = *done;
        if (reply.isError() || !reply.isValid()) {
          becomeUnavailable(method + QStringLiteral(" failed: ") + reply.error().message());
          return;
        }
        // The answer may come before the reply, and a later request may
        // be waiting by then: only a request still waiting is followed.
        // Older portals answer another request path than the one asked
        // for.
        const QString path = reply.value().path();
        if (available_ && requestPath_ == predicted && path != predicted && !listenForResponse(path, slot))
          becomeUnavailable(QStringLiteral("cannot follow its requests"));
      });
}

void PortalHotKeyBackend::requestSession() {
  const QString token = nextToken();
  QVariantMap options{{QStringLiteral("handle_token"), token},
                      {QStringLiteral("session_handle_token"), nextToken()}};
  callWithResponse(QStringLiteral("CreateSession"), {options}, token,
                   SLOT(sessionCreated(uint, QVariantMap)));
}

void PortalHotKeyBackend::sessionCreated(uint response, const QVariantMap& results) {
  stopListening();
  const QVariant handle = results.value(QStringLiteral("session_handle"));
  // The handle is a string by the interface's word; some portals send an
  // object path.
  const QString session = handle.typeId() == QMetaType::QString  ? handle.toString()
                          : handle.canConvert<QDBusObjectPath>() ? handle.value<QDBusObjectPath>().path()
                                                                 : QString();
  if (response != 0 || session.isEmpty() || !session.startsWith(kPath + QLatin1Char('/'))) {
    becomeUnavailable(QStringLiteral("no session (response %1)").arg(response));
    return;
  }
  session_ = session;
  bus_.connect(kService, kPath, kInterface, QStringLiteral("Activated"), this,
               SLOT(activated(QDBusObjectPath, QString, qulonglong, QVariantMap)));
  if (!entries_.empty()) bindShortcuts();
}

void PortalHotKeyBackend::bindShortcuts() {
  if (!available_ || !isSessionReady()) return;
  bound_ = false;
  QList<PortalShortcut> shortcuts;
  for (const auto& [id, entry] : entries_) {
    shortcuts.push_back({entry.trigger,
                         {{QStringLiteral("description"), entry.description},
                          {QStringLiteral("preferred_trigger"), entry.trigger}}});
  }
  const QString token = nextToken();
  callWithResponse(QStringLiteral("BindShortcuts"),
                   {QVariant::fromValue(QDBusObjectPath(session_)), QVariant::fromValue(shortcuts), QString(),
                    QVariantMap{{QStringLiteral("handle_token"), token}}},
                   token, SLOT(shortcutsBound(uint, QVariantMap)));
}

void PortalHotKeyBackend::shortcutsBound(uint response, const QVariantMap&) {
  stopListening();
  // 1: the user dismissed the portal's dialog; the shortcuts stay unbound
  // until the next registration asks again.
  if (response == 1) {
    foundation::log("global shortcuts: the desktop did not bind them");
    return;
  }
  if (response != 0) {
    becomeUnavailable(QStringLiteral("binding answered %1").arg(response));
    return;
  }
  bound_ = true;
}

bool PortalHotKeyBackend::registerHotKey(std::uint32_t id, const KeyShortcut& shortcut) {
  if (!available_) return false;
  const QString trigger = triggerFor(shortcut);
  if (trigger.isEmpty()) return false;
  for (const auto& [other, entry] : entries_)
    if (entry.trigger == trigger) return false;  // one registration per combination
  const QString application = QCoreApplication::applicationName();
  entries_[id] = {trigger, (application.isEmpty() ? QString() : application + QStringLiteral(": ")) +
                               QString::fromStdString(shortcut.description())};
  bindShortcuts();  // before the session exists, it binds them once it does
  return true;
}

void PortalHotKeyBackend::unregisterHotKey(std::uint32_t id) {
  // The portal has no way to unbind one shortcut: its activations are
  // ignored from now on.
  entries_.erase(id);
}

void PortalHotKeyBackend::activated(const QDBusObjectPath& session, const QString& shortcutId, qulonglong,
                                    const QVariantMap&) {
  if (session.path() != session_) return;
  for (const auto& [id, entry] : entries_) {
    if (entry.trigger == shortcutId) {
      const std::uint32_t pressedId = id;  // the handler may unregister
      if (pressed) pressed(pressedId);
      return;
    }
  }
}

}  // namespace shortcut
