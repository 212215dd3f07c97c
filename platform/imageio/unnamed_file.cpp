#include "platform/imageio/unnamed_file.h"

#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>
#include <random>

#include "platform/foundation/failure_cause.h"
#include "platform/foundation/files.h"
#include "platform/foundation/log.h"

namespace imageio {

namespace {

std::string folderOf(const std::string& target) {
  std::filesystem::path folder = std::filesystem::path(target).parent_path();
  return folder.empty() ? std::string(".") : folder.string();
}

std::string descriptorPath(int fd) {
  return "/proc/self/fd/" + std::to_string(fd);
}

// An unnamed file in folder that can be reopened through /proc; -1 when the
// file system or the system lacks either.
int openUnnamed(const std::string& folder, mode_t mode) {
  const int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, mode);
  if (fd < 0) {
    // Only a missing folder or a refusal is the destination's fault; other
    // errors mean the file system lacks unnamed files.
    if (errno == ENOENT || errno == ENOTDIR || errno == EACCES || errno == EROFS)
      foundation::noteErrnoFailure(errno, true);
    return -1;
  }
  if (::access(descriptorPath(fd).c_str(), W_OK) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

// A short hidden name in target's folder (a long target name must still
// leave room for it), random so that it is almost surely free.
std::string hiddenNameBeside(const std::string& target) {
  static std::mutex mutex;
  static std::mt19937_64 random{std::random_device{}()};
  std::lock_guard lock(mutex);
  char name[32];
  std::snprintf(name, sizeof name, ".velumar-%012llx",
                static_cast<unsigned long long>(random() & 0xffffffffffffULL));
  return (std::filesystem::path(folderOf(target)) / name).string();
}

// The pattern of a named stand-in in target's folder, as short as the
// hidden name above.
std::string standInPattern(const std::string& target) {
  return (std::filesystem::path(folderOf(target)) / ".velumar-XXXXXX").string();
}

// This thread's commit naming (see NoReplaceScope).
struct CommitNaming {
  bool noReplace = false;
  int depth = 0;
  std::map<std::string, std::string> bases;  // chosen free name -> its base
  std::map<std::string, std::string> moved;  // target -> name committed instead
};
thread_local CommitNaming naming;

// Puts the file reached through handle at name unless something is there.
bool claimName(const std::string& handle, bool named, const std::string& name) {
  if (!named) return ::linkat(AT_FDCWD, handle.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0;
  if (::renameat2(AT_FDCWD, handle.c_str(), AT_FDCWD, name.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) return false;
  // A file system without the no-replace rename: a hard link never replaces.
  if (::link(handle.c_str(), name.c_str()) != 0) return false;
  ::unlink(handle.c_str());
  return true;
}

}  // namespace

std::unique_ptr<UnnamedFile> UnnamedFile::createFor(const std::string& target) {
  const mode_t mode = foundation::modeForNewOrExisting(target);
  const int fd = openUnnamed(folderOf(target), mode);
  if (fd >= 0) {
    std::unique_ptr<UnnamedFile> file(new UnnamedFile(fd, descriptorPath(fd), true));
    if (::fchmod(fd, mode) == 0) file->mode_ = mode;
    return file;
  }
  // The named stand-in.
  std::string pattern = standInPattern(target);
  const int named = ::mkostemp(pattern.data(), O_CLOEXEC);
  if (named < 0) {
    const int error = errno;
    foundation::log("imageio: cannot create a file beside {}: {}", target, std::strerror(error));
    foundation::noteErrnoFailure(error, true);
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
  if (fd_ < 0) return;
  // An unchanged mode leaves the inode alone, so a flushed file stays clean.
  const mode_t mode = foundation::modeForNewOrExisting(target);
  if (mode == mode_) return;
  if (::fchmod(fd_, mode) == 0) mode_ = mode;
}

bool UnnamedFile::commit(const std::string& target) {
  if (committed_ || fd_ < 0) return false;
  if (::fsync(fd_) != 0) {
    const int error = errno;
    foundation::log("imageio: cannot flush {}: {}", target, std::strerror(error));
    foundation::noteErrnoFailure(error, true);
    return false;
  }
  if (naming.noReplace) return commitWithoutReplacing(target);
  if (!unnamed_) {
    if (::rename(path_.c_str(), target.c_str()) != 0) return failCommit(target);
    committed_ = true;
    return true;
  }
  // A new name is linked directly; an existing file is replaced by linking
  // under a hidden name and renaming that over it (both on one file system).
  if (::linkat(AT_FDCWD, path_.c_str(), AT_FDCWD, target.c_str(), AT_SYMLINK_FOLLOW) == 0) {
    committed_ = true;
    return true;
  }
  if (errno != EEXIST) return failCommit(target);
  for (int attempt = 0; attempt < 16; ++attempt) {
    const std::string hidden = hiddenNameBeside(target);
    if (::linkat(AT_FDCWD, path_.c_str(), AT_FDCWD, hidden.c_str(), AT_SYMLINK_FOLLOW) != 0) {
      if (errno == EEXIST) continue;
      break;
    }
    if (::rename(hidden.c_str(), target.c_str()) != 0) {
      const int error = errno;
      ::unlink(hidden.c_str());
      errno = error;
      return failCommit(target);
    }
    committed_ = true;
    return true;
  }
  return failCommit(target);
}

bool UnnamedFile::commitWithoutReplacing(const std::string& target) {
  const auto base = naming.bases.find(target);
  const std::string used =
      claimFreeName(path_, !unnamed_, target, base != naming.bases.end() ? base->second : target);
  if (used.empty()) return failCommit(target);
  committed_ = true;
  if (used == target) {
    naming.moved.erase(target);
  } else {
    foundation::log("imageio: {} was taken meanwhile; written as {}", target, used);
    naming.moved[target] = used;
  }
  return true;
}

bool UnnamedFile::failCommit(const std::string& target) {
  const int error = errno;
  foundation::log("imageio: cannot put the new file at {}: {}", target, std::strerror(error));
  // An error without a cause of its own keeps the system's words.
  const bool plain = foundation::failureCauseFromErrno(error, true) == foundation::FailureCause::Other;
  foundation::noteErrnoFailure(error, true, plain ? std::strerror(error) : "");
  return false;
}

std::string claimFreeName(const std::string& handle, bool named, const std::string& target,
                          const std::string& base) {
  // Each refused name is a file that exists, so the free-name search moves
  // on; the bound only guards against a folder filling as fast as we look.
  std::string name = target;
  for (int attempt = 0; attempt < 1000; ++attempt) {
    if (claimName(handle, named, name)) return name;
    if (errno != EEXIST) return {};
    name = foundation::freeName(base);
  }
  errno = EEXIST;
  return {};
}

bool writeFileCommitted(const std::string& target, const std::uint8_t* data, std::size_t size) {
  ignoreFileSizeSignal();
  const std::unique_ptr<UnnamedFile> file = UnnamedFile::createFor(target);
  if (!file) return false;
  const int fd = ::open(file->path().c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
  bool written = fd >= 0;
  while (written && size > 0) {
    const ssize_t count = ::write(fd, data, size);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) {
      const int error = count < 0 ? errno : ENOSPC;
      foundation::log("imageio: cannot write {}: {}", target, std::strerror(error));
      foundation::noteErrnoFailure(error, true);
      written = false;
      break;
    }
    data += count;
    size -= std::size_t(count);
  }
  if (fd >= 0) ::close(fd);
  return written && file->commit(target);
}

NoReplaceScope::NoReplaceScope(bool active) : saved_(naming.noReplace) {
  naming.noReplace = active;
  ++naming.depth;
}

NoReplaceScope::~NoReplaceScope() {
  naming.noReplace = saved_;
  if (--naming.depth == 0) {
    naming.bases.clear();
    naming.moved.clear();
  }
}

void noteFreeNameBase(const std::string& chosen, const std::string& base) {
  if (naming.depth > 0 && chosen != base) naming.bases[chosen] = base;
}

std::string committedPath(const std::string& target) {
  const auto moved = naming.moved.find(target);
  return moved != naming.moved.end() ? moved->second : target;
}

void ignoreFileSizeSignal() {
  static std::once_flag once;
  std::call_once(once, [] { ::signal(SIGXFSZ, SIG_IGN); });
}

}  // namespace imageio
