// The shared test helpers other test folders rely on.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <future>

#include "support/test_support.h"

namespace fs = std::filesystem;

TEST(TestSupport, TempDirIsRemovedWithItsContents) {
  fs::path kept;
  {
    testsupport::TempDir dir;
    kept = dir.path();
    ASSERT_TRUE(fs::is_directory(kept));
    fs::create_directories(kept / "a" / "b");
    std::ofstream(dir.file("a/b/file.txt")) << "x";
    fs::permissions(kept / "a", fs::perms::owner_read | fs::perms::owner_exec);
  }
  EXPECT_FALSE(fs::exists(kept));
}

TEST(TestSupport, RunCommandReportsExitCodeAndOutput) {
  struct Case {
    std::vector<std::string> argv;
    int exitCode;
    std::string output;
  };
  const Case cases[] = {
      {{"echo", "two words", "$HOME"}, 0, "two words $HOME\n"},  // no shell expansion
      {{"sh", "-c", "echo out; echo err >&2; exit 3"}, 3, "out\nerr\n"},
      {{"/no/such/program"}, -1, "cannot start /no/such/program"},
      {{}, -1, ""},
  };
  for (const Case& c : cases) {
    auto result = testsupport::runCommand(c.argv);
    EXPECT_EQ(result.exitCode, c.exitCode) << (c.argv.empty() ? "" : c.argv[0]);
    EXPECT_EQ(result.output, c.output);
  }
  testsupport::TempDir dir;
  auto pwd = testsupport::runCommand({"pwd"}, dir.path());
  EXPECT_EQ(pwd.output, dir.path().string() + "\n");
}

TEST(TestSupport, FindFilesMatchesExtensionsCaseInsensitively) {
  testsupport::TempDir dir;
  fs::create_directories(dir.path() / "sub");
  for (const char* name : {"a.JPG", "b.jpg", "sub/c.png", "d.txt"}) std::ofstream(dir.path() / name) << "x";
  auto found = testsupport::findFiles(dir.path(), {"jpg", ".png"});
  ASSERT_EQ(found.size(), 3u);
  EXPECT_EQ(found[0].filename(), "a.JPG");
  EXPECT_EQ(found[2].filename(), "c.png");
  EXPECT_EQ(testsupport::findFiles(dir.path()).size(), 4u);
  EXPECT_TRUE(testsupport::findFiles(dir.file("missing")).empty());
}

TEST(TestSupport, FetchDebianPackageFilesOnceForConcurrentCallers) {
  EXPECT_TRUE(testsupport::fetchDebianPackageFiles("bad name; rm -rf /").empty());
  // Two callers at once must both get the same complete folder.
  auto first = std::async(std::launch::async,
                          [] { return testsupport::fetchDebianPackageFiles("icc-profiles-free"); });
  auto second = std::async(std::launch::async,
                           [] { return testsupport::fetchDebianPackageFiles("icc-profiles-free"); });
  const fs::path a = first.get();
  const fs::path b = second.get();
  if (a.empty() || b.empty()) GTEST_SKIP() << "package download unavailable";
  EXPECT_EQ(a, b);
  EXPECT_FALSE(testsupport::findFiles(a, {"icc", "icm"}).empty());
}
