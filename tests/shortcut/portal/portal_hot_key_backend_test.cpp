#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusServiceWatcher>
#include <QProcess>
#include <QTest>

#include "shortcut/key_shortcut.h"
#include "shortcut/key_shortcut_view.h"
#include "shortcut/portal_hot_key_backend.h"

namespace shortcut {
namespace {

namespace m = modifiers;
constexpr std::uint16_t kK = 40, kF5 = 96, kReturn = 36;
const QString kPortal = QStringLiteral("org.freedesktop.portal.Desktop");

// The fake portal on this test's private session bus, in one of its modes.
class FakePortal {
 public:
  explicit FakePortal(const char* mode) {
    // The watcher hears of the name's owner when the bus connection does,
    // so signals of the new process are not taken for a stale sender's.
    QDBusServiceWatcher watcher(kPortal, QDBusConnection::sessionBus());
    bool registered = false;
    QObject::connect(&watcher, &QDBusServiceWatcher::serviceRegistered, [&] { registered = true; });
    process_.start(QStringLiteral(VELUMAR_FAKE_PORTAL), {QString::fromUtf8(mode)});
    started_ = process_.waitForStarted() && QTest::qWaitFor([&] { return registered; }, 5000);
  }
  ~FakePortal() {
    process_.kill();
    process_.waitForFinished();
    const bool gone = QTest::qWaitFor(
        [] { return !QDBusConnection::sessionBus().interface()->isServiceRegistered(kPortal); }, 5000);
    EXPECT_TRUE(gone);
  }
  bool started() const { return started_; }

  QVariant control(const char* method, const QVariantList& arguments = {}) {
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.portal.Desktop"), QStringLiteral("/control"),
        QStringLiteral("org.velumar.FakePortal"), QString::fromUtf8(method));
    call.setArguments(arguments);
    const QDBusMessage reply = QDBusConnection::sessionBus().call(call);
    return reply.arguments().value(0);
  }
  QStringList bound() { return control("Bound").toStringList(); }
  void activate(const QString& id) { control("Activate", {id}); }

 private:
  QProcess process_;
  bool started_ = false;
};

TEST(PortalHotKeys, TriggersUseTheDesktopNotation) {
  const struct {
    KeyShortcut shortcut;
    const char* trigger;
  } rows[] = {
      {KeyShortcut(kK, m::kCommand | m::kOption), "CTRL+ALT+k"},
      {KeyShortcut(kF5, m::kShift | m::kControl), "SHIFT+LOGO+F5"},
      {KeyShortcut(kReturn, m::kCommand | m::kOption | m::kShift | m::kControl),
       "CTRL+ALT+SHIFT+LOGO+Return"},
      {KeyShortcut(kNoKeyCode, m::kCommand), ""},
  };
  for (const auto& row : rows)
    EXPECT_EQ(PortalHotKeyBackend::triggerFor(row.shortcut).toStdString(), row.trigger) << row.trigger;
}

TEST(PortalHotKeys, BindsInOneSessionAndRunsOnActivation) {
  FakePortal portal("ok");
  ASSERT_TRUE(portal.started());
  auto backend = PortalHotKeyBackend::create(QDBusConnection::sessionBus());
  ASSERT_NE(backend, nullptr);
  std::vector<std::uint32_t> pressed;
  backend->pressed = [&](std::uint32_t id) { pressed.push_back(id); };

  // Registered before the session exists: bound once it does.
  EXPECT_TRUE(backend->registerHotKey(1, KeyShortcut(kK, m::kCommand | m::kOption)));
  EXPECT_FALSE(backend->registerHotKey(2, KeyShortcut(kK, m::kCommand | m::kOption)));  // one per combination
  ASSERT_TRUE(QTest::qWaitFor([&] { return backend->isBound(); }, 5000));
  const QStringList bound = portal.bound();
  ASSERT_EQ(bound.size(), 1);
  const QStringList fields = bound[0].split(QLatin1Char('|'));
  EXPECT_EQ(fields[0], "CTRL+ALT+k");
  EXPECT_TRUE(fields[1].endsWith(": Ctrl+Alt+K")) << fields[1].toStdString();
  EXPECT_EQ(fields[2], "CTRL+ALT+k");

  EXPECT_TRUE(backend->registerHotKey(3, KeyShortcut(kF5, m::kShift)));
  ASSERT_TRUE(QTest::qWaitFor([&] { return portal.bound().size() == 2 && backend->isBound(); }, 5000));

  portal.activate("SHIFT+F5");
  portal.activate("CTRL+ALT+k");
  portal.activate("CTRL+q");  // not ours
  ASSERT_TRUE(QTest::qWaitFor([&] { return pressed.size() >= 2; }, 5000));
  QTest::qWait(100);
  EXPECT_EQ(pressed, (std::vector<std::uint32_t>{3, 1}));

  backend->unregisterHotKey(1);
  portal.activate("CTRL+ALT+k");
  QTest::qWait(200);
  EXPECT_EQ(pressed.size(), 2u);
  EXPECT_TRUE(backend->isAvailable());
}

TEST(PortalHotKeys, AnAnswerAheadOfItsReplyIsFollowed) {
  FakePortal portal("answer-first");
  ASSERT_TRUE(portal.started());
  auto backend = PortalHotKeyBackend::create(QDBusConnection::sessionBus());
  ASSERT_NE(backend, nullptr);
  int pressed = 0;
  backend->pressed = [&](std::uint32_t) { ++pressed; };
  EXPECT_TRUE(backend->registerHotKey(1, KeyShortcut(kK, m::kCommand)));
  ASSERT_TRUE(QTest::qWaitFor([&] { return backend->isBound(); }, 5000));
  EXPECT_TRUE(backend->registerHotKey(2, KeyShortcut(kF5, m::kCommand)));
  ASSERT_TRUE(QTest::qWaitFor([&] { return portal.bound().size() == 2 && backend->isBound(); }, 5000));
  portal.activate("CTRL+F5");
  ASSERT_TRUE(QTest::qWaitFor([&] { return pressed == 1; }, 5000));
}

TEST(PortalHotKeys, UnexpectedPortalsLeaveTheBackendUnavailable) {
  {
    // No portal on the bus at all.
    EXPECT_EQ(PortalHotKeyBackend::create(QDBusConnection::sessionBus()), nullptr);
  }
  {
    FakePortal portal("no-interface");
    ASSERT_TRUE(portal.started());
    EXPECT_EQ(PortalHotKeyBackend::create(QDBusConnection::sessionBus()), nullptr);
  }
  const struct {
    const char* mode;
    bool registersFirst;
  } modes[] = {{"no-session", false}, {"refuse-bind", true}};
  for (const auto& mode : modes) {
    FakePortal portal(mode.mode);
    ASSERT_TRUE(portal.started());
    auto backend = PortalHotKeyBackend::create(QDBusConnection::sessionBus());
    ASSERT_NE(backend, nullptr) << mode.mode;
    if (mode.registersFirst) {
      ASSERT_TRUE(QTest::qWaitFor([&] { return backend->isSessionReady(); }, 5000)) << mode.mode;
      EXPECT_TRUE(backend->registerHotKey(1, KeyShortcut(kK, m::kCommand)));
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return !backend->isAvailable(); }, 5000)) << mode.mode;
    EXPECT_FALSE(backend->isBound());
    EXPECT_FALSE(backend->registerHotKey(2, KeyShortcut(kF5, m::kCommand))) << mode.mode;
  }
}

TEST(PortalHotKeys, AWaylandSessionWithoutThePortalShowsTheNotice) {
  FakePortal portal("no-interface");
  ASSERT_TRUE(portal.started());
  qputenv("WAYLAND_DISPLAY", "wayland-test");
  EXPECT_EQ(hotKeyBackend(), nullptr);
  KeyShortcutView view;
  view.resize(200, 22);
  view.setShortcutValue(KeyShortcut(kK, m::kCommand));
  EXPECT_EQ(view.toolTipAt(QPoint(190, 10)), "Global shortcuts are not available on this desktop.");
  qunsetenv("WAYLAND_DISPLAY");
}

}  // namespace
}  // namespace shortcut
