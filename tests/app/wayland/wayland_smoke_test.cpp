// The application on a headless Wayland compositor that offers text input
// but no seat: started with a file on first use, the destination sheet's
// text field draws its cursor, and the application goes on running.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QTest>
#include <QTimer>
#include <filesystem>

#include "app/app_delegate.h"
#include "app/preferences_window.h"
#include "app/wayland_input_method.h"
#include "platform/foundation/main_loop.h"
#include "platform/foundation/user_defaults.h"
#include "platform/ui/qt_main_loop.h"
#include "support/test_support.h"

namespace velumar {
namespace {

namespace fs = std::filesystem;

std::string makeJpeg(const testsupport::TempDir& dir) {
  const std::string path = dir.file("first.jpg");
  testsupport::runCommand({"/usr/bin/convert", "-size", "24x16", "gradient:red-blue", path});
  return path;
}

QLineEdit* shownLineEditInASheet() {
  for (QWidget* window : QApplication::topLevelWidgets())
    if (window->isVisible() && window->windowModality() != Qt::NonModal)
      for (QLineEdit* field : window->findChildren<QLineEdit*>())
        if (field->isVisible()) return field;
  return nullptr;
}

TEST(Wayland, TheFirstUseSheetDrawsItsTextFieldAndTheApplicationQuits) {
  ASSERT_EQ(QGuiApplication::platformName(), "wayland");
  const WaylandGlobals globals = probeWaylandGlobals();
  ASSERT_TRUE(globals.connected);
  EXPECT_TRUE(globals.textInputManager && !globals.seat);  // the case that crashed
  EXPECT_EQ(qgetenv("QT_IM_MODULE"), "none");

  testsupport::TempDir dir;
  foundation::UserDefaults defaults(dir.file("velumar.plist"));
  {
    AppDelegate delegate(defaults, false);
    delegate.launch();
    // No Wayland protocol keeps a window out of the task bar: the choice says so.
    const PreferencesWindow& preferences = delegate.preferencesPanel();
    const auto* note = preferences.findChild<QLabel*>("dockStateNote");
    EXPECT_FALSE(preferences.dockStatePopUp()->isEnabled());
    EXPECT_TRUE(note && !note->text().isEmpty());
    // The sheet may run its own event loop: it is watched from a timer.
    bool drawn = false;
    QTimer watch;
    watch.setInterval(100);
    QObject::connect(&watch, &QTimer::timeout, [&] {
      QLineEdit* field = shownLineEditInASheet();
      if (!field) return;
      watch.stop();
      field->window()->activateWindow();
      field->setFocus();
      QTimer::singleShot(1200, field, [&drawn, field] {  // the cursor blinks at least once
        field->repaint();
        drawn = field->isVisible();
        field->window()->close();
      });
    });
    watch.start();
    delegate.openFiles({makeJpeg(dir)});
    EXPECT_TRUE(QTest::qWaitFor([&] { return drawn; }, 30000));
  }
}

TEST(Wayland, TheProgramStartedWithAFileKeepsRunning) {
  testsupport::TempDir dir;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert("XDG_CONFIG_HOME", QString::fromStdString(dir.file("config")));
  environment.insert("XDG_DATA_HOME", QString::fromStdString(dir.file("data")));
  QProcess program;
  program.setProcessEnvironment(environment);
  program.setProcessChannelMode(QProcess::ForwardedChannels);
  program.start(VELUMAR_APP_BINARY, {QString::fromStdString(makeJpeg(dir))});
  ASSERT_TRUE(program.waitForStarted(10000));
  // Its first-use sheet is up by then, text field and cursor drawn.
  EXPECT_FALSE(program.waitForFinished(6000)) << "ended with " << program.exitCode();
  program.kill();
  program.waitForFinished();
}

}  // namespace
}  // namespace velumar

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  velumar::avoidSeatlessInputMethod();
  QApplication application(argc, argv);
  int result = 0;
  {
    ui::QtMainLoop loop;
    foundation::MainLoop::install(&loop);
    result = RUN_ALL_TESTS();
    foundation::MainLoop::install(nullptr);
  }
  return result;
}
