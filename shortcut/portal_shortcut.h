#pragma once
// One shortcut as the desktop portal's GlobalShortcuts interface passes it:
// its id and a dictionary of properties (D-Bus type (sa{sv})).

#include <QDBusArgument>
#include <QMetaType>
#include <QString>
#include <QVariantMap>

namespace shortcut {

struct PortalShortcut {
  QString id;
  QVariantMap options;
};

inline QDBusArgument& operator<<(QDBusArgument& argument, const PortalShortcut& entry) {
  argument.beginStructure();
  argument << entry.id << entry.options;
  argument.endStructure();
  return argument;
}

inline const QDBusArgument& operator>>(const QDBusArgument& argument, PortalShortcut& entry) {
  argument.beginStructure();
  argument >> entry.id >> entry.options;
  argument.endStructure();
  return argument;
}

}  // namespace shortcut

Q_DECLARE_METATYPE(shortcut::PortalShortcut)
