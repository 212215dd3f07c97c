// Entry point of the shortcut tests: a QApplication, offscreen unless a
// platform is chosen.
#include <gtest/gtest.h>

#include <QApplication>

#include "platform/foundation/main_loop.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  foundation::PlainMainLoop loop;
  foundation::MainLoop::install(&loop);
  const int result = RUN_ALL_TESTS();
  foundation::MainLoop::install(nullptr);
  return result;
}
