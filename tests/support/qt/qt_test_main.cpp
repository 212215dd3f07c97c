// Entry point of the widget tests: a QApplication (offscreen unless a
// platform is chosen) whose event loop is the main queue.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLocale>

#include "platform/foundation/main_loop.h"
#include "platform/ui/qt_main_loop.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
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
