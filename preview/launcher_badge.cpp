#include "preview/launcher_badge.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QVariantMap>

namespace velumar {

bool setLauncherBadge(std::optional<std::int64_t> count) {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) return false;
  QDBusMessage update = QDBusMessage::createSignal(kLauncherEntryPath, kLauncherEntryInterface, "Update");
  const QVariantMap properties{{"count", qint64(count.value_or(0))}, {"count-visible", count.has_value()}};
  update << QStringLiteral("application://velumar.desktop") << properties;
  return bus.send(update);
}

}  // namespace velumar
