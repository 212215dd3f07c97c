#pragma once
// The message a second start sends to the running instance: the files it
// was given, as absolute paths. Wire form: a 4-byte big-endian length, then
// the paths, each followed by a NUL byte. Bounded: at most 1 MiB of paths
// and 10,000 of them.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace velumar {

inline constexpr std::size_t kInstanceMessageMaxBytes = 1u << 20;
inline constexpr std::size_t kInstanceMessageMaxPaths = 10000;

// The wire form; nothing when the paths break the bounds or one is not
// absolute or holds a NUL byte.
std::optional<std::string> encodeInstanceMessage(const std::vector<std::string>& paths);

// Collects the bytes of one connection.
class InstanceMessageReader {
 public:
  enum class Status { NeedMore, Complete, Invalid };

  // Adds bytes; once Complete or Invalid further bytes change nothing.
  Status feed(const char* bytes, std::size_t size);
  Status status() const { return status_; }
  // The paths of a complete message.
  const std::vector<std::string>& paths() const { return paths_; }

 private:
  Status fail(const char* reason);
  Status decode();

  Status status_ = Status::NeedMore;
  std::string buffer_;
  std::optional<std::uint32_t> length_;
  std::vector<std::string> paths_;
};

}  // namespace velumar
