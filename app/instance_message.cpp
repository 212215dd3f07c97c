#include "app/instance_message.h"

#include <algorithm>

#include "platform/foundation/log.h"

namespace velumar {

namespace {

bool acceptablePath(const std::string& path) {
  return !path.empty() && path.front() == '/' && path.find('\0') == std::string::npos;
}

}  // namespace

std::optional<std::string> encodeInstanceMessage(const std::vector<std::string>& paths) {
  if (paths.size() > kInstanceMessageMaxPaths) return std::nullopt;
  std::string payload;
  for (const std::string& path : paths) {
    if (!acceptablePath(path)) return std::nullopt;
    payload += path;
    payload += '\0';
    if (payload.size() > kInstanceMessageMaxBytes) return std::nullopt;
  }
  const auto length = std::uint32_t(payload.size());
  std::string message{char(length >> 24), char(length >> 16), char(length >> 8), char(length)};
  return message + payload;
}

InstanceMessageReader::Status InstanceMessageReader::fail(const char* reason) {
  foundation::log("Instance message dropped: {}", reason);
  buffer_.clear();
  paths_.clear();
  return status_ = Status::Invalid;
}

InstanceMessageReader::Status InstanceMessageReader::feed(const char* bytes, std::size_t size) {
  if (status_ != Status::NeedMore) return status_;
  if (!length_) {
    const std::size_t take = std::min(size, 4 - buffer_.size());
    buffer_.append(bytes, take);
    bytes += take;
    size -= take;
    if (buffer_.size() < 4) return status_;
    const auto byte = [this](int i) {
      return std::uint32_t(static_cast<unsigned char>(buffer_[std::size_t(i)]));
    };
    length_ = byte(0) << 24 | byte(1) << 16 | byte(2) << 8 | byte(3);
    buffer_.clear();
    if (*length_ > kInstanceMessageMaxBytes) return fail("longer than 1 MiB");
  }
  // One message per connection: bytes after it are not read.
  buffer_.append(bytes, std::min<std::size_t>(size, *length_ - buffer_.size()));
  if (buffer_.size() < *length_) return status_;
  return decode();
}

InstanceMessageReader::Status InstanceMessageReader::decode() {
  if (!buffer_.empty() && buffer_.back() != '\0') return fail("unterminated path");
  std::size_t start = 0;
  while (start < buffer_.size()) {
    const std::size_t end = buffer_.find('\0', start);
    std::string path = buffer_.substr(start, end - start);
    if (!acceptablePath(path)) return fail("a path that is not absolute");
    if (paths_.size() == kInstanceMessageMaxPaths) return fail("more than 10,000 paths");
    paths_.push_back(std::move(path));
    start = end + 1;
  }
  buffer_.clear();
  return status_ = Status::Complete;
}

}  // namespace velumar
