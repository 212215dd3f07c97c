// Stand-ins for the desktop's session-bus services, as a separate program:
//   --watcher       a status-notifier watcher with a host, recording items
//   --portal=N      the desktop portal's settings with colour scheme N; the
//                   method org.velumar.FakePortal.SetColorScheme(u) changes
//                   it and announces the change
//   --window        a window of another program that takes the focus
// It runs until killed.
#include <QApplication>
#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QStringList>
#include <QWidget>
#include <cstdio>

namespace {

class Watcher : public QDBusAbstractAdaptor {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
  Q_PROPERTY(bool IsStatusNotifierHostRegistered READ isHostRegistered)
  Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ items)
  Q_PROPERTY(int ProtocolVersion READ protocolVersion)

 public:
  explicit Watcher(QObject* parent) : QDBusAbstractAdaptor(parent) {}
  bool isHostRegistered() const { return true; }
  QStringList items() const { return items_; }
  int protocolVersion() const { return 0; }

 public slots:
  void RegisterStatusNotifierItem(const QString& service, const QDBusMessage& message) {
    // An item may name only its path; the caller's bus name completes it.
    const QString item = service.startsWith(QLatin1Char('/')) ? message.service() + service : service;
    items_ << item;
    emit StatusNotifierItemRegistered(item);
  }
  void RegisterStatusNotifierHost(const QString&) {}

 signals:
  void StatusNotifierItemRegistered(const QString& service);
  void StatusNotifierItemUnregistered(const QString& service);
  void StatusNotifierHostRegistered();

 private:
  QStringList items_;
};

class Portal : public QDBusAbstractAdaptor {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Settings")

 public:
  Portal(QObject* parent, uint scheme) : QDBusAbstractAdaptor(parent), scheme_(scheme) {}

 public slots:
  // Answers as the older portals do: the value inside a second variant.
  QDBusVariant Read(const QString& group, const QString& key) {
    if (group == QLatin1String("org.freedesktop.appearance") && key == QLatin1String("color-scheme"))
      return QDBusVariant(QVariant::fromValue(QDBusVariant(scheme_)));
    return QDBusVariant(QVariant::fromValue(QDBusVariant(QString())));
  }
  void SetColorScheme(uint scheme) {
    scheme_ = scheme;
    emit SettingChanged(QStringLiteral("org.freedesktop.appearance"), QStringLiteral("color-scheme"),
                        QDBusVariant(scheme_));
  }

 signals:
  void SettingChanged(const QString& group, const QString& key, const QDBusVariant& value);

 private:
  uint scheme_;
};

// The test's control of the portal, under a name of its own.
class PortalControl : public QDBusAbstractAdaptor {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.velumar.FakePortal")

 public:
  PortalControl(QObject* parent, Portal& portal) : QDBusAbstractAdaptor(parent), portal_(portal) {}

 public slots:
  void SetColorScheme(uint scheme) { portal_.SetColorScheme(scheme); }

 private:
  Portal& portal_;
};

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QDBusConnection bus = QDBusConnection::sessionBus();
  qRegisterMetaType<QDBusVariant>();
  QObject watcherObject, portalObject;
  QWidget window;
  for (const QString& argument : application.arguments().mid(1)) {
    if (argument == QLatin1String("--watcher")) {
      new Watcher(&watcherObject);
      bus.registerObject(QStringLiteral("/StatusNotifierWatcher"), &watcherObject);
      bus.registerService(QStringLiteral("org.kde.StatusNotifierWatcher"));
    } else if (argument.startsWith(QLatin1String("--portal="))) {
      auto* portal = new Portal(&portalObject, argument.mid(9).toUInt());
      new PortalControl(&portalObject, *portal);
      bus.registerObject(QStringLiteral("/org/freedesktop/portal/desktop"), &portalObject);
      bus.registerService(QStringLiteral("org.freedesktop.portal.Desktop"));
    } else if (argument == QLatin1String("--window")) {
      window.setWindowTitle(QStringLiteral("Another program"));
      window.resize(200, 100);
      window.show();
      window.activateWindow();
    }
  }
  std::puts("ready");
  std::fflush(stdout);
  return application.exec();
}

#include "fake_desktop_services.moc"
