#include "platform/foundation/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/foundation/failure_cause.h"
#include "platform/foundation/log.h"

namespace foundation {

namespace fs = std::filesystem;

namespace {

bool writeAll(int fd, const Data& bytes) {
  std::size_t written = 0;
  while (written < bytes.size()) {
    ssize_t count = ::write(fd, bytes.data() + written, bytes.size() - written);
    if (count < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    written += std::size_t(count);
  }
  return true;
}

bool exists(const std::string& path) {
  struct stat info;
  return ::lstat(path.c_str(), &info) == 0;
}

std::string homeFolder() {
  const char* home = std::getenv("HOME");
  return home != nullptr && home[0] != '\0' ? home : "/tmp";
}

// An absolute $name, else home + fallback.
std::string xdgFolder(const char* name, const char* fallback) {
  const char* value = std::getenv(name);
  if (value != nullptr && value[0] == '/') return value;
  return homeFolder() + fallback;
}

}  // namespace

mode_t processUmask() {
  // Linux reports it in the process status; only without that is it read by
  // setting it, which is safe only while no other thread creates files.
  if (std::FILE* status = std::fopen("/proc/self/status", "re")) {
    char line[256];
    unsigned mask = 0;
    bool found = false;
    while (!found && std::fgets(line, sizeof line, status))
      found = std::sscanf(line, "Umask: %o", &mask) == 1;
    std::fclose(status);
    if (found) return mode_t(mask & 0777);
  }
  const mode_t mask = ::umask(022);
  ::umask(mask);
  return mask;
}

mode_t modeForNewOrExisting(const std::string& path) {
  struct stat existing {};
  if (::stat(path.c_str(), &existing) == 0) return existing.st_mode & 07777;
  return 0666 & ~processUmask();
}

bool writeFileAtomically(const std::string& path, const Data& bytes) {
  if (path.empty()) return false;
  fs::path target(path);
  fs::path folder = target.parent_path();
  if (folder.empty()) folder = ".";
  std::string temporary = (folder / ("." + target.filename().string() + ".XXXXXX")).string();
  int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
  if (fd < 0) {
    log("Cannot create a temporary file beside {}: {}", path, std::strerror(errno));
    return false;
  }
  // Keep the permissions of the file being replaced; new files get the usual
  // mode under the umask instead of mkstemp's 0600.
  const mode_t mode = modeForNewOrExisting(path);
  bool ok = ::fchmod(fd, mode) == 0 && writeAll(fd, bytes) && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  if (ok && ::rename(temporary.c_str(), path.c_str()) != 0) ok = false;
  if (!ok) {
    log("Cannot write {}: {}", path, std::strerror(errno));
    ::unlink(temporary.c_str());
    return false;
  }
  // Make the rename itself durable.
  int folderFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folderFd >= 0) {
    ::fsync(folderFd);
    ::close(folderFd);
  }
  return true;
}

int openRegularFile(const std::string& path) {
  // Non-blocking, so that opening a FIFO returns at once; O_NOCTTY, so that
  // a terminal never becomes the controlling one.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) {
    const int error = errno;
    // An error without a cause of its own keeps the system's words.
    const bool plain = failureCauseFromErrno(error, false) == FailureCause::Other;
    noteErrnoFailure(error, false, plain ? std::strerror(error) : "");
    return -1;
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    noteFailure(FailureCause::SourceUnreadable, "not a regular file");
    return -1;
  }
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  return fd;
}

bool isReadableRegularFile(const std::string& path) {
  const int fd = openRegularFile(path);
  if (fd < 0) return false;
  ::close(fd);
  return true;
}

std::optional<Data> readFile(const std::string& path, std::size_t maxBytes) {
  int fd = openRegularFile(path);
  if (fd < 0) return std::nullopt;
  struct stat info;
  if (::fstat(fd, &info) != 0 || std::uint64_t(info.st_size) > maxBytes) {
    ::close(fd);
    return std::nullopt;
  }
  Data bytes;
  bytes.reserve(std::size_t(info.st_size));
  std::uint8_t buffer[65536];
  for (;;) {
    ssize_t count = ::read(fd, buffer, sizeof buffer);
    if (count < 0) {
      if (errno == EINTR) continue;
      ::close(fd);
      return std::nullopt;
    }
    if (count == 0) break;
    if (bytes.size() + std::size_t(count) > maxBytes) {  // grew while reading
      ::close(fd);
      return std::nullopt;
    }
    bytes.insert(bytes.end(), buffer, buffer + count);
  }
  ::close(fd);
  return bytes;
}

std::string freeName(const std::string& path) {
  if (!exists(path)) return path;
  fs::path original(path);
  // The extension of the last component only; a leading dot (".profile")
  // is part of the name, not an extension.
  std::string extension = original.filename().extension().string();
  std::string stem = path.substr(0, path.size() - extension.size());
  for (long n = 2;; ++n) {
    std::string candidate = fmt::format("{} {}{}", stem, n, extension);
    if (!exists(candidate)) return candidate;
  }
}

std::string freeNameAppendingNumber(const std::string& path) {
  if (!exists(path)) return path;
  for (long n = 2;; ++n) {
    std::string candidate = fmt::format("{} {}", path, n);
    if (!exists(candidate)) return candidate;
  }
}

std::optional<Date> creationDate(const std::string& path) {
  struct statx info;
  if (::statx(AT_FDCWD, path.c_str(), 0, STATX_BTIME | STATX_MTIME, &info) != 0) return std::nullopt;
  const struct statx_timestamp& stamp = (info.stx_mask & STATX_BTIME) ? info.stx_btime : info.stx_mtime;
  auto sinceEpoch = std::chrono::seconds(stamp.tv_sec) + std::chrono::nanoseconds(stamp.tv_nsec);
  return Date(std::chrono::duration_cast<Date::duration>(sinceEpoch));
}

namespace {
constexpr const char* kTagsAttribute = "user.xdg.tags";
constexpr std::size_t kMaxTagsBytes = 64 * 1024;
}  // namespace

std::vector<std::string> readTags(const std::string& path) {
  std::vector<std::string> tags;
  ssize_t size = ::getxattr(path.c_str(), kTagsAttribute, nullptr, 0);
  if (size <= 0 || std::size_t(size) > kMaxTagsBytes) return tags;
  std::string text(std::size_t(size), '\0');
  size = ::getxattr(path.c_str(), kTagsAttribute, text.data(), text.size());
  if (size <= 0) return tags;
  text.resize(std::size_t(size));
  while (!text.empty() && text.back() == '\0') text.pop_back();
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t comma = text.find(',', start);
    if (comma == std::string::npos) comma = text.size();
    if (comma > start) tags.push_back(text.substr(start, comma - start));
    start = comma + 1;
  }
  return tags;
}

bool writeTags(const std::string& path, const std::vector<std::string>& tags) {
  std::string text;
  for (const std::string& tag : tags) {
    if (tag.empty()) continue;
    if (!text.empty()) text += ',';
    text += tag;
  }
  if (text.empty()) {
    return ::removexattr(path.c_str(), kTagsAttribute) == 0 || errno == ENODATA;
  }
  return ::setxattr(path.c_str(), kTagsAttribute, text.data(), text.size(), 0) == 0;
}

namespace {

void enumerateFolder(const fs::path& folder, bool recursive, bool includeHidden,
                     const std::function<void(const fs::path&)>& visit) {
  std::error_code error;
  fs::directory_iterator it(folder, error);
  if (error) return;
  for (; it != fs::directory_iterator(); it.increment(error)) {
    if (error) return;
    const fs::path& entry = it->path();
    if (!includeHidden && entry.filename().string().starts_with('.')) continue;
    std::error_code typeError;
    fs::file_status status = it->symlink_status(typeError);
    if (typeError) continue;
    if (fs::is_directory(status)) {
      if (recursive && !isMountPoint(entry.string())) enumerateFolder(entry, recursive, includeHidden, visit);
      continue;
    }
    // Only regular files (directly or through a link) are reported: a FIFO
    // or device would block or never end for whoever reads it.
    if (fs::is_symlink(status)) status = fs::status(entry, typeError);
    if (typeError || !fs::is_regular_file(status)) continue;
    visit(entry);
  }
}

}  // namespace

void enumerateFiles(const std::string& folder, bool recursive,
                    const std::function<void(const fs::path&)>& visit, bool includeHidden) {
  enumerateFolder(fs::path(folder), recursive, includeHidden, visit);
}

bool isMountPoint(const std::string& path) {
  struct stat folder {};
  if (::lstat(path.c_str(), &folder) != 0 || !S_ISDIR(folder.st_mode)) return false;
  const std::string parent = path + "/..";
  struct stat above {};
  if (::stat(parent.c_str(), &above) != 0) return false;
  // The root folder is its own parent and a mount point.
  return folder.st_dev != above.st_dev || folder.st_ino == above.st_ino;
}

std::string bundleResourcePath(const std::string& name) {
  std::vector<fs::path> candidates;
  std::error_code error;
  fs::path executable = fs::read_symlink("/proc/self/exe", error);
  if (!error) {
    // In the build tree resources sit beside or a few levels above the
    // executable's folder.
    fs::path folder = executable.parent_path();
    for (int level = 0; level < 4 && !folder.empty(); ++level) {
      candidates.push_back(folder / "resources" / name);
      if (folder == folder.root_path()) break;
      folder = folder.parent_path();
    }
  }
#ifdef VELUMAR_SOURCE_DIR
  candidates.push_back(fs::path(VELUMAR_SOURCE_DIR) / "resources" / name);
#endif
#ifdef VELUMAR_INSTALL_PREFIX
  const fs::path installed = fs::path(VELUMAR_INSTALL_PREFIX) / "share" / "velumar" / name;
#else
  const fs::path installed = fs::path("/usr/local/share/velumar") / name;
#endif
  if (!error) {
    // An installed executable in <prefix>/bin finds <prefix>/share/velumar.
    candidates.push_back(executable.parent_path().parent_path() / "share" / "velumar" / name);
  }
  for (const fs::path& candidate : candidates) {
    if (fs::exists(candidate, error)) return candidate.string();
  }
  return installed.string();
}

std::string applicationSupportDirectory() {
  fs::path folder = fs::path(xdgFolder("XDG_DATA_HOME", "/.local/share")) / "velumar";
  std::error_code error;
  fs::create_directories(folder, error);
  if (error) log("Cannot create {}: {}", folder.string(), error.message());
  return folder.string();
}

std::string temporaryDirectory() {
  const char* tmp = std::getenv("TMPDIR");
  if (tmp != nullptr && tmp[0] == '/') return tmp;
  return "/tmp";
}

}  // namespace foundation
