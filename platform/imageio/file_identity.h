#pragma once
// Tells files apart by device, inode, size and modification time: a record
// kept for a file stops applying once the file changes or is replaced.

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
  auto key() const { return std::tie(device, inode, size, modifiedNanoseconds); }
  bool operator<(const FileIdentity& other) const { return key() < other.key(); }
};

inline std::optional<FileIdentity> identityOf(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return std::nullopt;
  return FileIdentity{info.st_dev, info.st_ino, info.st_size,
                      std::int64_t(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec};
}

}  // namespace imageio
