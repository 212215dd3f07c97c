// Entry point of the shortcut tests: a QApplication, offscreen unless a
// platform is chosen, with its own configuration folder.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTemporaryDir>

#include "platform/foundation/main_loop.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // The standard user defaults live in a folder of the test's own.
  QTemporaryDir config;
  qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
  QApplication application(argc, argv);
  foundation::PlainMainLoop loop;
  foundation::MainLoop::install(&loop);
  const int result = RUN_ALL_TESTS();
  foundation::MainLoop::install(nullptr);
  return result;
}
