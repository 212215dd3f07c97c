#include "platform/imageio/bounded_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

#include "platform/foundation/log.h"

extern char** environ;

namespace imageio {

namespace {

struct Pipe {
  int fds[2] = {-1, -1};
  bool open() { return ::pipe2(fds, O_CLOEXEC) == 0; }
  void closeRead() {
    if (fds[0] >= 0) ::close(fds[0]);
    fds[0] = -1;
  }
  void closeWrite() {
    if (fds[1] >= 0) ::close(fds[1]);
    fds[1] = -1;
  }
  ~Pipe() {
    closeRead();
    closeWrite();
  }
};

constexpr std::size_t kErrorTail = 4096;

}  // namespace

BoundedResult runBounded(const std::vector<std::string>& argv, double timeoutSeconds,
                         std::size_t maxOutputBytes, const ChildSetting& setting) {
  BoundedResult result;
  if (argv.empty()) return result;
  Pipe out, err;
  if (!out.open() || !err.open()) {
    foundation::log("process: cannot create pipes");
    return result;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, out.fds[1], 1);
  posix_spawn_file_actions_adddup2(&actions, err.fds[1], 2);
  if (!setting.workingDirectory.empty())
    posix_spawn_file_actions_addchdir_np(&actions, setting.workingDirectory.c_str());
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  std::vector<char*> environment;
  for (const std::string& entry : setting.environment)
    environment.push_back(const_cast<char*>(entry.c_str()));
  environment.push_back(nullptr);
  char** childEnvironment = setting.environment.empty() ? environ : environment.data();
  // The child starts with default signal handling, whatever this process ignores.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t defaults;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  sigaddset(&defaults, SIGXFSZ);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
  pid_t pid = -1;
  const int spawned = ::posix_spawnp(&pid, args[0], &actions, &attributes, args.data(), childEnvironment);
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  out.closeWrite();
  err.closeWrite();
  if (spawned != 0) {
    foundation::log("process: cannot start {}: {}", argv[0], std::strerror(spawned));
    return result;
  }

  const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeoutSeconds);
  bool killed = false;
  std::uint8_t buffer[65536];
  while (out.fds[0] >= 0 || err.fds[0] >= 0) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      result.timedOut = true;
      break;
    }
    pollfd fds[2];
    int count = 0;
    if (out.fds[0] >= 0) fds[count++] = pollfd{out.fds[0], POLLIN, 0};
    if (err.fds[0] >= 0) fds[count++] = pollfd{err.fds[0], POLLIN, 0};
    const int ready = ::poll(fds, nfds_t(count), int(std::min<std::int64_t>(left.count(), 1000)));
    if (ready < 0 && errno != EINTR) break;
    for (int i = 0; i < count; ++i) {
      if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
      const bool isOut = fds[i].fd == out.fds[0];
      if (n <= 0) {
        if (n < 0 && errno == EINTR) continue;
        if (isOut)
          out.closeRead();
        else
          err.closeRead();
        continue;
      }
      if (isOut) {
        if (result.output.size() + std::size_t(n) > maxOutputBytes) {
          result.outputTooLarge = true;
          break;
        }
        result.output.insert(result.output.end(), buffer, buffer + n);
      } else {
        result.errors.append(reinterpret_cast<const char*>(buffer), std::size_t(n));
        if (result.errors.size() > kErrorTail) result.errors.erase(0, result.errors.size() - kErrorTail);
      }
    }
    if (result.outputTooLarge) break;
  }
  if (result.timedOut || result.outputTooLarge) {
    ::kill(pid, SIGKILL);
    killed = true;
  }
  out.closeRead();
  err.closeRead();
  int status = 0;
  // The pipes may close before the child ends: wait within the deadline.
  while (!killed) {
    const pid_t done = ::waitpid(pid, &status, WNOHANG);
    if (done == pid || (done < 0 && errno != EINTR)) break;
    if (std::chrono::steady_clock::now() >= deadline) {
      result.timedOut = true;
      ::kill(pid, SIGKILL);
      killed = true;
      break;
    }
    ::usleep(5000);
  }
  if (killed) {
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
  }
  if (!killed && WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
  if (result.timedOut) foundation::log("process: {} ran out of time and was stopped", argv[0]);
  if (result.outputTooLarge) foundation::log("process: {} wrote too much and was stopped", argv[0]);
  return result;
}

}  // namespace imageio
