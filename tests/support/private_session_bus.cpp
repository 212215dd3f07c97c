#include "support/private_session_bus.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "support/test_support.h"

namespace testsupport {
namespace {

constexpr const char* kPrivateBusVariable = "VELUMAR_TEST_PRIVATE_BUS";

}  // namespace

bool onPrivateSessionBus() {
  if (std::getenv(kPrivateBusVariable)) return true;
  const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
  const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
  const std::string filter = std::string("--gtest_filter=") + test->test_suite_name() + "." + test->name();
  const CommandResult result =
      runCommand({"dbus-run-session", "--", "env", std::string(kPrivateBusVariable) + "=1", self, filter});
  EXPECT_EQ(result.exitCode, 0) << result.output;
  return false;
}

}  // namespace testsupport
