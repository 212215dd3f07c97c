#include "app/status_item.h"

#include <QIcon>
#include <QMenu>
#include <QSystemTrayIcon>

#include "app/appearance.h"
#include "platform/foundation/files.h"

namespace velumar {

namespace {

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
    : QObject(parent), appearance_(appearance) {
  imageName_ = appearance_.statusImageName();
  connect(&appearance_, &Appearance::changed, this, &StatusItem::darkModeChanged);
  if (!QSystemTrayIcon::isSystemTrayAvailable()) return;
  tray_ = new QSystemTrayIcon(statusIcon(imageName_), this);
  tray_->setToolTip(QStringLiteral("Velumar"));
  tray_->setContextMenu(appMenu);
  tray_->show();
}

void StatusItem::darkModeChanged() {
  imageName_ = appearance_.statusImageName();
  if (tray_) tray_->setIcon(statusIcon(imageName_));
}

}  // namespace velumar
