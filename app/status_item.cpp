#include "app/status_item.h"

#include <xcb/xcb.h>

#include <cstdlib>

#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusServiceWatcher>
#include <QIcon>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTimer>

#include "app/appearance.h"
#include "platform/foundation/files.h"
#include "shortcut/x11_key_grabs.h"

namespace velumar {

namespace {

const QString kWatcherService = QStringLiteral("org.kde.StatusNotifierWatcher");

QIcon statusIcon(const QString& name) {
  QIcon icon;
  for (int size : {16, 22, 32, 48}) {
    const std::string file = name.toStdString() + "-" + std::to_string(size) + ".png";
    icon.addFile(QString::fromStdString(foundation::bundleResourcePath(file)), QSize(size, size));
  }
  return icon;
}

// A StatusNotifierItem host (the D-Bus tray of current desktops).
bool statusNotifierHostRegistered() {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) return false;
  QDBusInterface watcher(kWatcherService, QStringLiteral("/StatusNotifierWatcher"), kWatcherService, bus);
  return watcher.isValid() && watcher.property("IsStatusNotifierHostRegistered").toBool();
}

// An X11 system tray (the older embedding protocol) on the default screen.
bool x11TrayExists() {
  xcb_connection_t* connection = shortcut::x11::connection();
  if (!connection) return false;
  static const char kSelection[] = "_NET_SYSTEM_TRAY_S0";
  xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(
      connection, xcb_intern_atom(connection, 1, sizeof(kSelection) - 1, kSelection), nullptr);
  if (!atom) return false;
  const xcb_atom_t selection = atom->atom;
  std::free(atom);
  if (selection == XCB_NONE) return false;
  xcb_get_selection_owner_reply_t* owner =
      xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, selection), nullptr);
  const bool owned = owner && owner->owner != XCB_NONE;
  std::free(owner);
  return owned;
}

bool trayHostExists() {
  return statusNotifierHostRegistered() || x11TrayExists();
}

}  // namespace

StatusItem::StatusItem(QMenu* appMenu, const Appearance& appearance, QObject* parent)
    : QObject(parent), appMenu_(appMenu), appearance_(appearance) {
  imageName_ = appearance_.statusImageName();
  connect(&appearance_, &Appearance::changed, this, &StatusItem::darkModeChanged);
  if (!showWhenTrayExists()) watchForLaterTray();
}

bool StatusItem::showWhenTrayExists() {
  if (tray_) return true;
  // Qt answers its tray check once per process: it is asked only once a
  // tray is known to be there, so a tray that comes later still counts.
  if (!trayHostExists() || !QSystemTrayIcon::isSystemTrayAvailable()) return false;
  tray_ = new QSystemTrayIcon(statusIcon(imageName_), this);
  tray_->setToolTip(QStringLiteral("Velumar"));
  tray_->setContextMenu(appMenu_);
  connect(tray_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
    if (reason == QSystemTrayIcon::Trigger && primaryAction_) primaryAction_();
  });
  tray_->show();
  return true;
}

void StatusItem::watchForLaterTray() {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) return;
  auto* watcher = new QDBusServiceWatcher(kWatcherService, bus, QDBusServiceWatcher::WatchForRegistration, this);
  // A host may register a moment after its watcher appears: ask again a
  // few times after each sign.
  const auto retry = [this] {
    for (int delay : {0, 250, 1000, 3000}) QTimer::singleShot(delay, this, [this] { showWhenTrayExists(); });
  };
  connect(watcher, &QDBusServiceWatcher::serviceRegistered, this, retry);
  bus.connect(kWatcherService, QStringLiteral("/StatusNotifierWatcher"), kWatcherService,
              QStringLiteral("StatusNotifierHostRegistered"), this, SLOT(trayHostRegistered()));
  retryLater_ = retry;
}

void StatusItem::trayHostRegistered() {
  if (!tray_ && retryLater_) retryLater_();
}

void StatusItem::darkModeChanged() {
  imageName_ = appearance_.statusImageName();
  if (tray_) tray_->setIcon(statusIcon(imageName_));
}

}  // namespace velumar
