#include "support/test_support.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <pwd.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <clocale>
#include <cstdlib>
#include <optional>
#include <random>

#include "platform/foundation/ascii_case.h"

extern char** environ;

namespace testsupport {

namespace fs = std::filesystem;

TempDir::TempDir() {
  std::string pattern = (fs::temp_directory_path() / "velumar-test-XXXXXX").string();
  if (mkdtemp(pattern.data()) != nullptr) {
    path_ = pattern;
  }
}

TempDir::~TempDir() {
  std::error_code error;
  if (!path_.empty()) {
    // Make read-only folders removable again before deleting.
    for (auto it = fs::recursive_directory_iterator(path_, error);
         !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
      if (it->is_directory(error) && !it->is_symlink(error)) {
        fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, error);
      }
    }
    fs::remove_all(path_, error);
  }
}

std::string TempDir::file(const std::string& name) const {
  return (path_ / name).string();
}

CommandResult runCommand(const std::vector<std::string>& argv, const fs::path& workingDirectory) {
  CommandResult result;
  if (argv.empty()) {
    return result;
  }
  int pipeFds[2];
  if (pipe2(pipeFds, O_CLOEXEC) != 0) {
    return result;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDERR_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  if (!workingDirectory.empty()) {
    posix_spawn_file_actions_addchdir_np(&actions, workingDirectory.c_str());
  }

  std::vector<char*> args;
  for (const std::string& arg : argv) {
    args.push_back(const_cast<char*>(arg.c_str()));
  }
  args.push_back(nullptr);

  pid_t pid = 0;
  int spawnError = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(pipeFds[1]);
  if (spawnError != 0) {
    close(pipeFds[0]);
    result.output = "cannot start " + argv[0];
    return result;
  }
  char buffer[65536];
  for (;;) {
    ssize_t count = read(pipeFds[0], buffer, sizeof buffer);
    if (count > 0) {
      result.output.append(buffer, size_t(count));
    } else if (count == 0 || errno != EINTR) {
      break;
    }
  }
  close(pipeFds[0]);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

namespace {

fs::path sampleCacheRoot() {
  const char* cache = std::getenv("XDG_CACHE_HOME");
  if (cache != nullptr && cache[0] == '/') {
    return fs::path(cache) / "velumar-test-samples";
  }
  return fs::path("/tmp/velumar-test-samples");
}

bool isSafePackageName(const std::string& package) {
  return !package.empty() && std::all_of(package.begin(), package.end(), [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '+' || c == '.';
  });
}

}  // namespace

fs::path fetchDebianPackageFiles(const std::string& package) {
  if (!isSafePackageName(package)) {
    return {};
  }
  std::error_code error;
  const fs::path root = sampleCacheRoot();
  fs::create_directories(root, error);
  const fs::path target = root / package;
  const fs::path doneMarker = root / (package + ".done");
  if (fs::exists(doneMarker, error)) {
    return target;
  }

  // One process at a time unpacks a package; the others wait on the lock and
  // then find the marker.
  const fs::path lockPath = root / (package + ".lock");
  int lockFd = open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (lockFd < 0) {
    return {};
  }
  while (flock(lockFd, LOCK_EX) != 0 && errno == EINTR) {
  }
  fs::path answer;
  if (fs::exists(doneMarker, error)) {
    answer = target;
  } else {
    TempDir work;
    if (!work.path().empty()) {
      CommandResult download = runCommand({"apt-get", "download", package}, work.path());
      std::vector<fs::path> debs = findFiles(work.path(), {"deb"});
      if (download.exitCode == 0 && debs.size() == 1) {
        const fs::path unpacked = root / (package + ".partial");
        fs::remove_all(unpacked, error);
        CommandResult extract = runCommand({"dpkg-deb", "-x", debs.front().string(), unpacked.string()});
        if (extract.exitCode == 0) {
          fs::remove_all(target, error);
          fs::rename(unpacked, target, error);
          if (!error) {
            int marker = open(doneMarker.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
            if (marker >= 0) {
              close(marker);
              answer = target;
            }
          }
        } else {
          fs::remove_all(unpacked, error);
        }
      }
    }
  }
  flock(lockFd, LOCK_UN);
  close(lockFd);
  return answer;
}

std::vector<fs::path> findFiles(const fs::path& folder, const std::vector<std::string>& extensions) {
  std::vector<std::string> wanted;
  for (std::string extension : extensions) {
    if (!extension.empty() && extension.front() != '.') {
      extension.insert(extension.begin(), '.');
    }
    wanted.push_back(foundation::asciiLowercase(extension));
  }
  std::vector<fs::path> found;
  std::error_code error;
  for (auto it = fs::recursive_directory_iterator(folder, error);
       !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
    if (!it->is_regular_file(error)) {
      continue;
    }
    const std::string extension = foundation::asciiLowercase(it->path().extension().string());
    if (wanted.empty() || std::find(wanted.begin(), wanted.end(), extension) != wanted.end()) {
      found.push_back(it->path());
    }
  }
  std::sort(found.begin(), found.end());
  return found;
}

fs::path testDataDir() {
  return fs::path(VELUMAR_SOURCE_DIR) / "tests" / "data";
}

bool checkWithoutWriteAccess(const std::function<bool()>& check) {
  if (::geteuid() != 0) return check();
  const struct passwd* nobody = ::getpwnam("nobody");
  if (!nobody) return false;
  const pid_t child = ::fork();
  if (child == 0) {
    if (::setgid(nobody->pw_gid) != 0 || ::setuid(nobody->pw_uid) != 0) ::_exit(2);
    ::_exit(check() ? 0 : 1);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void withEnvironment(const std::vector<std::pair<const char*, std::string>>& variables,
                     const std::function<void()>& action) {
  std::vector<std::pair<const char*, std::optional<std::string>>> saved;
  for (const auto& [name, value] : variables) {
    const char* old = std::getenv(name);
    saved.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
    setenv(name, value.c_str(), 1);
  }
  action();
  for (const auto& [name, old] : saved) {
    if (old)
      setenv(name, old->c_str(), 1);
    else
      unsetenv(name);
  }
}

void withLocale(const char* name, const std::function<void()>& action) {
  const std::string previous = std::setlocale(LC_ALL, nullptr);
  if (std::setlocale(LC_ALL, name) == nullptr) {
    ADD_FAILURE() << "the locale " << name << " is not installed: scripts/setup compiles it";
    return;
  }
  action();
  std::setlocale(LC_ALL, previous.c_str());
}

}  // namespace testsupport
