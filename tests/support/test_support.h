#pragma once
// Shared helpers for the test executables: temporary folders, real sample
// files from Debian packages, file searches and running outside tools.

#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace testsupport {

// A fresh, empty temporary folder, removed with everything in it when the
// object goes out of scope.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // path() / name, as a string.
  std::string file(const std::string& name) const;

 private:
  std::filesystem::path path_;
};

// Downloads a Debian package with `apt-get download` and unpacks it with
// `dpkg-deb -x`; returns the folder it was unpacked to (the package's file
// system root, e.g. <folder>/usr/share/...). The result is cached under
// $XDG_CACHE_HOME/velumar-test-samples (or /tmp/velumar-test-samples) and is
// safe to call from several test processes at once. Returns an empty path on
// any failure, so the caller can GTEST_SKIP.
std::filesystem::path fetchDebianPackageFiles(const std::string& package);

// Regular files below folder (recursively) whose extension matches one of
// extensions, case-insensitively ("jpg" or ".jpg"); every file when
// extensions is empty. Sorted by path.
std::vector<std::filesystem::path> findFiles(const std::filesystem::path& folder,
                                             const std::vector<std::string>& extensions = {});

struct CommandResult {
  int exitCode = -1;   // -1 when the program could not be started or was killed
  std::string output;  // standard output and standard error, interleaved
};

// Runs argv[0] (looked up in PATH when it has no slash) with the given
// arguments, without a shell, and waits for it. With a working directory the
// program starts there.
CommandResult runCommand(const std::vector<std::string>& argv,
                         const std::filesystem::path& workingDirectory = {});

// The source tree's tests/data folder (small committed fixtures).
std::filesystem::path testDataDir();

// Runs check in a child process as user nobody when we are root (root may
// write anywhere, so a read-only folder would not refuse it); in this
// process otherwise. Answers whether check passed.
bool checkWithoutWriteAccess(const std::function<bool()>& check);

// Runs action with the given environment variables set, then puts back what
// they were (unset ones unset again).
void withEnvironment(const std::vector<std::pair<const char*, std::string>>& variables,
                     const std::function<void()>& action);

// Runs action with the C library's locale (LC_ALL) set to name, as the
// application's toolkit sets it from the environment, then puts the old one
// back. A locale that is not installed fails the test (scripts/setup
// compiles the ones the tests use); action does not run then.
void withLocale(const char* name, const std::function<void()>& action);

}  // namespace testsupport
