#include "app/status_item.h"

#include <QDBusConnection>
#include <QDBusServiceWatcher>
#include <QIcon>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTimer>

#include "app/appearance.h"
#include "platform/foundation/files.h"

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

}  // namespace

StatusItem::StatusItem(QMenu* appMenu, const Appearance& appearance, QObject* parent)
    : QObject(parent), appMenu_(appMenu), appearance_(appearance) {
  imageName_ = appearance_.statusImageName();
  connect(&appearance_, &Appearance::changed, this, &StatusItem::darkModeChanged);
  if (!showWhenTrayExists()) watchForLaterTray();
}

bool StatusItem::showWhenTrayExists() {
  if (tray_) return true;
  if (!QSystemTrayIcon::isSystemTrayAvailable()) return false;
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
  // Qt learns of the tray asynchronously: ask again a few times after a sign.
  const auto retry = [this, watcher] {
    for (int delay : {0, 250, 1000, 3000})
      QTimer::singleShot(delay, this, [this, watcher] {
        if (showWhenTrayExists()) watcher->deleteLater();
      });
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
