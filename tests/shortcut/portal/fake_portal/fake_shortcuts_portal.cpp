// A desktop portal that offers GlobalShortcuts on the session bus, as a test
// peer. The first argument picks its behaviour:
//   ok            sessions and bindings succeed
//   answer-first  the same, answering each request before replying to it
//   no-interface  the portal exists but offers no global shortcuts
//   no-session    CreateSession answers success without a session handle
//   refuse-bind   BindShortcuts answers "other error"
// The object /control (interface org.velumar.FakePortal) lets the test read
// the bound shortcuts and press one.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QTimer>
#include <cstdio>

#include "shortcut/portal_shortcut.h"

namespace {

const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");

struct State {
  QString mode;
  QString session;
  QStringList bound;  // "id|description|preferred trigger"
  int bindCalls = 0;
};

State state;

bool succeeds() {
  return state.mode == QStringLiteral("ok") || state.mode == QStringLiteral("answer-first");
}

// Answers a request on its handle path, after the method's reply unless the
// mode says otherwise.
QDBusObjectPath respond(const QString& sender, const QVariantMap& options, uint response,
                        const QVariantMap& results) {
  QString client = sender.mid(1);
  client.replace(QLatin1Char('.'), QLatin1Char('_'));
  const QString path = kPath + QStringLiteral("/request/") + client + QLatin1Char('/') +
                       options.value(QStringLiteral("handle_token"), QStringLiteral("t")).toString();
  const auto answer = [path, response, results] {
    QDBusMessage signal = QDBusMessage::createSignal(path, QStringLiteral("org.freedesktop.portal.Request"),
                                                     QStringLiteral("Response"));
    signal << response << results;
    QDBusConnection::sessionBus().send(signal);
  };
  if (state.mode == QStringLiteral("answer-first")) {
    answer();
  } else {
    QTimer::singleShot(0, answer);
  }
  return QDBusObjectPath(path);
}

}  // namespace

class GlobalShortcuts : public QObject, protected QDBusContext {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.GlobalShortcuts")
  Q_PROPERTY(uint version READ version)

 public:
  uint version() const { return 1; }

 public slots:
  QDBusObjectPath CreateSession(const QVariantMap& options) {
    QString client = message().service().mid(1);
    client.replace(QLatin1Char('.'), QLatin1Char('_'));
    state.session = kPath + QStringLiteral("/session/") + client + QLatin1Char('/') +
                    options.value(QStringLiteral("session_handle_token")).toString();
    QVariantMap results;
    if (state.mode != QStringLiteral("no-session")) results[QStringLiteral("session_handle")] = state.session;
    return respond(message().service(), options, 0, results);
  }

  QDBusObjectPath BindShortcuts(const QDBusObjectPath& session,
                                const QList<shortcut::PortalShortcut>& shortcuts, const QString&,
                                const QVariantMap& options) {
    ++state.bindCalls;
    const bool known = session.path() == state.session;
    if (known && succeeds()) {
      state.bound.clear();
      for (const shortcut::PortalShortcut& entry : shortcuts)
        state.bound << entry.id + QLatin1Char('|') +
                           entry.options.value(QStringLiteral("description")).toString() + QLatin1Char('|') +
                           entry.options.value(QStringLiteral("preferred_trigger")).toString();
    }
    return respond(message().service(), options, known && succeeds() ? 0 : 2, {});
  }
};

class Control : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.velumar.FakePortal")

 public slots:
  QStringList Bound() { return state.bound; }
  int BindCalls() { return state.bindCalls; }
  // Presses the bound shortcut id, as the desktop does.
  void Activate(const QString& id) {
    QDBusMessage signal = QDBusMessage::createSignal(
        kPath, QStringLiteral("org.freedesktop.portal.GlobalShortcuts"), QStringLiteral("Activated"));
    signal << QVariant::fromValue(QDBusObjectPath(state.session)) << id << qulonglong(1) << QVariantMap();
    QDBusConnection::sessionBus().send(signal);
  }
};

// Offered in no-interface mode: the portal object without global shortcuts.
class Settings : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Settings")

 public slots:
  uint ReadAll() { return 0; }
};

int main(int argc, char** argv) {
  QCoreApplication application(argc, argv);
  state.mode = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("ok");
  qDBusRegisterMetaType<shortcut::PortalShortcut>();
  qDBusRegisterMetaType<QList<shortcut::PortalShortcut>>();
  QDBusConnection bus = QDBusConnection::sessionBus();
  GlobalShortcuts shortcuts;
  Settings settings;
  Control control;
  const bool exported =
      state.mode == QStringLiteral("no-interface")
          ? bus.registerObject(kPath, &settings, QDBusConnection::ExportAllSlots)
          : bus.registerObject(kPath, &shortcuts,
                               QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllProperties);
  if (!exported ||
      !bus.registerObject(QStringLiteral("/control"), &control, QDBusConnection::ExportAllSlots) ||
      !bus.registerService(QStringLiteral("org.freedesktop.portal.Desktop"))) {
    std::fprintf(stderr, "fake portal: cannot take the portal's place on the bus\n");
    return 1;
  }
  return application.exec();
}

#include "fake_shortcuts_portal.moc"
