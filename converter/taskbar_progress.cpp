#include "converter/taskbar_progress.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QVariantMap>
#include <algorithm>
#include <cmath>

namespace velumar {

void TaskbarProgress::show(double fraction) {
  fraction = std::isnan(fraction) ? 0.0 : std::clamp(fraction, 0.0, 1.0);
  if (shown_ && fraction == lastFraction_) return;
  shown_ = true;
  lastFraction_ = fraction;
  send(fraction, true);
}

void TaskbarProgress::hide() {
  if (!shown_) return;
  shown_ = false;
  lastFraction_ = -1;
  send(0.0, false);
}

void TaskbarProgress::send(double fraction, bool visible) {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) return;
  QDBusMessage signal =
      QDBusMessage::createSignal(QString::fromLatin1(kObjectPath), QString::fromLatin1(kInterface), "Update");
  QVariantMap properties;
  properties.insert(QStringLiteral("progress"), fraction);
  properties.insert(QStringLiteral("progress-visible"), visible);
  signal << QString::fromLatin1(kDesktopEntry) << properties;
  bus.send(signal);
}

}  // namespace velumar
