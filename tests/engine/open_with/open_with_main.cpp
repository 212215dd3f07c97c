// Entry point: the fake desktop is in place before GIO first reads the
// environment.
#include <gtest/gtest.h>

#include "engine/open_with/fake_desktop.h"
#include "platform/foundation/main_loop.h"

int main(int argc, char** argv) {
  fakedesktop::install();
  ::testing::InitGoogleTest(&argc, argv);
  foundation::PlainMainLoop loop;
  foundation::MainLoop::install(&loop);
  const int result = RUN_ALL_TESTS();
  foundation::MainLoop::install(nullptr);
  fakedesktop::remove();
  return result;
}
