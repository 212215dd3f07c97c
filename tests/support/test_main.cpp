// Test entry point: the test thread is the main thread of the plain main loop.
#include <gtest/gtest.h>

#include "platform/foundation/main_loop.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  foundation::PlainMainLoop loop;
  foundation::MainLoop::install(&loop);
  int result = RUN_ALL_TESTS();
  foundation::MainLoop::install(nullptr);
  return result;
}
