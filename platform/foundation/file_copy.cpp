#include "platform/foundation/file_copy.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <filesystem>
#include <vector>

#include "platform/foundation/failure_cause.h"
#include "platform/foundation/log.h"

namespace foundation {

namespace {

// Closes a descriptor when it goes out of scope.
struct Descriptor {
  int fd = -1;
  explicit Descriptor(int value) : fd(value) {}
  ~Descriptor() {
    if (fd >= 0) ::close(fd);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
};

bool writeAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t written = ::write(fd, data, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += written;
    size -= std::size_t(written);
  }
  return true;
}

bool copyContents(int from, int to) {
  std::vector<char> buffer(std::size_t(1) << 20);
  for (;;) {
    const ssize_t count = ::read(from, buffer.data(), buffer.size());
    if (count < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (count == 0) return true;
    if (!writeAll(to, buffer.data(), std::size_t(count))) return false;
  }
}

// Mode, times and contents of the source, flushed to disk.
bool fillCopy(int from, const struct stat& info, int to) {
  return copyContents(from, to) && ::fchmod(to, info.st_mode & 07777) == 0 &&
         ::futimens(to, std::array<timespec, 2>{info.st_atim, info.st_mtim}.data()) == 0 && ::fsync(to) == 0;
}

bool copyThroughNamedTemporary(int from, const struct stat& info, const std::string& destination) {
  const std::filesystem::path target(destination);
  std::string pattern =
      (target.parent_path() / ("." + target.filename().string() + ".velumar-XXXXXX")).string();
  Descriptor temporary(::mkostemp(pattern.data(), O_CLOEXEC));
  if (temporary.fd < 0) return false;
  const bool linked = fillCopy(from, info, temporary.fd) && ::link(pattern.c_str(), destination.c_str()) == 0;
  ::unlink(pattern.c_str());
  return linked;
}

}  // namespace

bool copyFileWithoutReplacing(const std::string& source, const std::string& destination) {
  Descriptor from(::open(source.c_str(), O_RDONLY | O_CLOEXEC));
  struct stat info;
  if (from.fd < 0 || ::fstat(from.fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    noteErrnoFailure(from.fd < 0 ? errno : EISDIR, false);
    log("Cannot copy {}: not a readable file", source);
    return false;
  }
  std::string folder = std::filesystem::path(destination).parent_path().string();
  if (folder.empty()) folder = ".";
  Descriptor unnamed(::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600));
  bool copied = false;
  if (unnamed.fd < 0) {
    copied = (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL) &&
             copyThroughNamedTemporary(from.fd, info, destination);
  } else if (fillCopy(from.fd, info, unnamed.fd)) {
    const std::string handle = "/proc/self/fd/" + std::to_string(unnamed.fd);
    copied = ::linkat(AT_FDCWD, handle.c_str(), AT_FDCWD, destination.c_str(), AT_SYMLINK_FOLLOW) == 0;
  }
  if (!copied) {
    noteErrnoFailure(errno, true);
    log("Cannot copy {} to {}", source, destination);
  }
  return copied;
}

}  // namespace foundation
