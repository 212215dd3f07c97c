// The shell's tests get private configuration, data and runtime folders
// before the first test runs: the user's own are never touched. Only the
// desktop tests (on their private session bus) keep the bus.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "support/test_support.h"

namespace {

class PrivateHome : public ::testing::Environment {
 public:
  void SetUp() override {
    for (const char* name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_RUNTIME_DIR"}) {
      const std::filesystem::path folder = home_.path() / name;
      std::filesystem::create_directories(folder);
      std::filesystem::permissions(folder, std::filesystem::perms::owner_all);
      setenv(name, folder.c_str(), 1);
    }
    // Off the desktop tests no desktop service answers.
    if (std::getenv("VELUMAR_DESKTOP_TESTS") == nullptr) unsetenv("DBUS_SESSION_BUS_ADDRESS");
  }

 private:
  testsupport::TempDir home_;
};

[[maybe_unused]] ::testing::Environment* const privateHome =
    ::testing::AddGlobalTestEnvironment(new PrivateHome);

}  // namespace
