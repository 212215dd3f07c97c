#include "platform/imageio/unnamed_file.h"

#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <random>

#include "platform/foundation/log.h"

namespace imageio {

namespace {

std::string folderOf(const std::string& target) {
  std::filesystem::path folder = std::filesystem::path(target).parent_path();
  return folder.empty() ? std::string(".") : folder.string();
}

// The permissions target has, else those a new file gets under the umask.
mode_t modeFor(const std::string& target) {
  struct stat existing {};
  if (::stat(target.c_str(), &existing) == 0) return existing.st_mode & 07777;
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

std::string descriptorPath(int fd) {
  return "/proc/self/fd/" + std::to_string(fd);
}

// An unnamed file in folder that can be reopened through /proc; -1 when the
// file system or the system lacks either.
int openUnnamed(const std::string& folder, mode_t mode) {
  const int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, mode);
  if (fd < 0) return -1;
  if (::access(descriptorPath(fd).c_str(), W_OK) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

// A hidden name beside target that does not exist yet.
std::string hiddenNameBeside(const std::string& target) {
  static std::mutex mutex;
  static std::mt19937_64 random{std::random_device{}()};
  std::lock_guard lock(mutex);
  const std::filesystem::path path(target);
  char suffix[24];
  std::snprintf(suffix, sizeof suffix, "%012llx",
                static_cast<unsigned long long>(random() & 0xffffffffffffULL));
  return (std::filesystem::path(folderOf(target)) / ("." + path.filename().string() + ".velumar-" + suffix))
      .string();
}

}  // namespace

std::unique_ptr<UnnamedFile> UnnamedFile::createFor(const std::string& target) {
  const mode_t mode = modeFor(target);
  const int fd = openUnnamed(folderOf(target), mode);
  if (fd >= 0) {
    ::fchmod(fd, mode);
    return std::unique_ptr<UnnamedFile>(new UnnamedFile(fd, descriptorPath(fd), true));
  }
  // The named stand-in.
  std::string pattern = (std::filesystem::path(folderOf(target)) /
                         ("." + std::filesystem::path(target).filename().string() + ".velumar-XXXXXX"))
                            .string();
  const int named = ::mkostemp(pattern.data(), O_CLOEXEC);
  if (named < 0) {
    foundation::log("imageio: cannot create a file beside {}: {}", target, std::strerror(errno));
    return nullptr;
  }
  ::fchmod(named, mode);
  return std::unique_ptr<UnnamedFile>(new UnnamedFile(named, pattern, false));
}

std::unique_ptr<UnnamedFile> UnnamedFile::createScratch() {
  std::error_code error;
  std::string folder = std::filesystem::temp_directory_path(error).string();
  if (error) folder = "/tmp";
  const int fd = openUnnamed(folder, 0600);
  if (fd >= 0) return std::unique_ptr<UnnamedFile>(new UnnamedFile(fd, descriptorPath(fd), true));
  std::string pattern = (std::filesystem::path(folder) / "velumar-scratch-XXXXXX").string();
  const int named = ::mkostemp(pattern.data(), O_CLOEXEC);
  if (named < 0) {
    foundation::log("imageio: cannot create a scratch file: {}", std::strerror(errno));
    return nullptr;
  }
  return std::unique_ptr<UnnamedFile>(new UnnamedFile(named, pattern, false));
}

UnnamedFile::~UnnamedFile() {
  if (fd_ >= 0) ::close(fd_);
  if (!unnamed_ && !committed_) ::unlink(path_.c_str());
}

bool UnnamedFile::flush() {
  if (fd_ < 0 || ::fsync(fd_) != 0) {
    foundation::log("imageio: cannot flush {}: {}", path_, std::strerror(errno));
    return false;
  }
  return true;
}

void UnnamedFile::takeModeFor(const std::string& target) {
  if (fd_ >= 0) ::fchmod(fd_, modeFor(target));
}

bool UnnamedFile::commit(const std::string& target) {
  if (committed_ || fd_ < 0) return false;
  if (::fsync(fd_) != 0) {
    foundation::log("imageio: cannot flush {}: {}", target, std::strerror(errno));
    return false;
  }
  if (!unnamed_) {
    if (::rename(path_.c_str(), target.c_str()) != 0) {
      foundation::log("imageio: cannot move the new file to {}: {}", target, std::strerror(errno));
      return false;
    }
    committed_ = true;
    return true;
  }
  // A new name is linked directly; an existing file is replaced by linking
  // under a hidden name and renaming that over it (both on one file system).
  if (::linkat(AT_FDCWD, path_.c_str(), AT_FDCWD, target.c_str(), AT_SYMLINK_FOLLOW) == 0) {
    committed_ = true;
    return true;
  }
  if (errno != EEXIST) {
    foundation::log("imageio: cannot put the new file at {}: {}", target, std::strerror(errno));
    return false;
  }
  for (int attempt = 0; attempt < 16; ++attempt) {
    const std::string hidden = hiddenNameBeside(target);
    if (::linkat(AT_FDCWD, path_.c_str(), AT_FDCWD, hidden.c_str(), AT_SYMLINK_FOLLOW) != 0) {
      if (errno == EEXIST) continue;
      break;
    }
    if (::rename(hidden.c_str(), target.c_str()) != 0) {
      foundation::log("imageio: cannot replace {}: {}", target, std::strerror(errno));
      ::unlink(hidden.c_str());
      return false;
    }
    committed_ = true;
    return true;
  }
  foundation::log("imageio: cannot put the new file at {}: {}", target, std::strerror(errno));
  return false;
}

void ignoreFileSizeSignal() {
  static std::once_flag once;
  std::call_once(once, [] { ::signal(SIGXFSZ, SIG_IGN); });
}

}  // namespace imageio
