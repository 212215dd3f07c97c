#pragma once
// Tells files apart by device, inode, size and modification and change
// times: a record kept for a file stops applying once the file is rewritten
// or replaced.

#include <sys/stat.h>

#include <cstdint>
#include <optional>
#include <string>
#include <tuple>

namespace imageio {

struct FileIdentity {
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  std::int64_t modifiedNanoseconds = 0;
  std::int64_t changedNanoseconds = 0;
  auto key() const { return std::tie(device, inode, size, modifiedNanoseconds, changedNanoseconds); }
  bool operator<(const FileIdentity& other) const { return key() < other.key(); }
  bool operator==(const FileIdentity& other) const { return key() == other.key(); }
};

inline std::optional<FileIdentity> identityOf(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return std::nullopt;
  const auto nanoseconds = [](const timespec& time) { return std::int64_t(time.tv_sec) * 1'000'000'000 + time.tv_nsec; };
  return FileIdentity{info.st_dev, info.st_ino, info.st_size, nanoseconds(info.st_mtim), nanoseconds(info.st_ctim)};
}

}  // namespace imageio
