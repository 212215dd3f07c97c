#include "psd/kd_psd_stream.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "platform/foundation/files.h"
#include "platform/foundation/log.h"
#include "psd/kd_psd_byte_order.h"
#include "psd/kd_psd_error.h"
#include "psd/kd_psd_pascal_string.h"
#include "psd/kd_psd_text_encoding.h"

namespace velumar {
namespace {

constexpr std::uint64_t kMaxFileBytes = std::uint64_t(4) << 30;

}  // namespace

std::string decodePSD8BitString(const std::uint8_t* bytes, std::size_t length) {
  const void* zero = std::memchr(bytes, 0, length);
  if (zero) length = std::size_t(static_cast<const std::uint8_t*>(zero) - bytes);
  return macRomanToUtf8(bytes, length);
}

std::unique_ptr<KDPSDStream> KDPSDStream::PSDStreamForReadingURL(const std::string& path) {
  // Opened without blocking, and only when it is a regular file.
  const int fd = foundation::openRegularFile(path);
  if (fd < 0) {
    foundation::log("err: '{} is not a file'", path);
    return nullptr;
  }
  std::FILE* file = ::fdopen(fd, "rb");
  if (!file) {
    foundation::log("err: '{}'", std::strerror(errno));
    ::close(fd);
    return nullptr;
  }
  std::vector<std::uint8_t> bytes;
  bool failed = std::fseek(file, 0, SEEK_END) != 0;
  const long size = failed ? -1 : std::ftell(file);
  failed = failed || size < 0 || std::fseek(file, 0, SEEK_SET) != 0;
  // A version 1 document stores 32-bit lengths: larger files are not ours.
  failed = failed || std::uint64_t(size) > kMaxFileBytes;
  if (!failed) {
    bytes.resize(std::size_t(size));
    failed = std::fread(bytes.data(), 1, bytes.size(), file) != bytes.size();
  }
  std::fclose(file);
  if (failed) {
    foundation::log("err: 'cannot read {}'", path);
    return nullptr;
  }
  return std::make_unique<KDPSDStream>(std::move(bytes));
}

KDPSDStream::KDPSDStream(std::vector<std::uint8_t> bytes)
    : data_(std::make_shared<const std::vector<std::uint8_t>>(std::move(bytes))),
      location_(0),
      limit_(std::int64_t(data_->size())) {}

KDPSDStream::KDPSDStream(std::shared_ptr<const std::vector<std::uint8_t>> data, std::int64_t location,
                         std::int64_t limit)
    : data_(std::move(data)), location_(location), limit_(limit) {}

KDPSDStream KDPSDStream::subStream(std::uint64_t length) const {
  std::int64_t end = limit_;
  if (location_ <= limit_ && length <= std::uint64_t(limit_ - location_))
    end = location_ + std::int64_t(length);
  return KDPSDStream(data_, location_, end);
}

bool KDPSDStream::hasLengthToRead(std::uint64_t n) const {
  return location_ >= 0 && location_ <= limit_ && n <= std::uint64_t(limit_ - location_);
}

void KDPSDStream::require(std::uint64_t n) const {
  if (hasLengthToRead(n)) return;
  const std::string reason =
      fmt::format("Buffer overrun, trying to read to {} bytes of {} ({} length at location {})",
                  std::uint64_t(location_) + n, std::uint64_t(limit_), n, location_);
  foundation::log("{}", reason);
  throw KDPSDBufferOverrun(reason);
}

const std::uint8_t* KDPSDStream::peek(std::uint64_t n) const {
  require(n);
  return data_->data() + location_;
}

std::int64_t KDPSDStream::read(std::uint8_t* buffer, std::uint64_t n) {
  const std::uint8_t* p = peek(n);
  if (n) std::memcpy(buffer, p, n);
  location_ += std::int64_t(n);
  return std::int64_t(n);
}

std::uint8_t KDPSDStream::readInt8() {
  const std::uint8_t v = *peek(1);
  location_ += 1;
  return v;
}

std::uint16_t KDPSDStream::readInt16() {
  const std::uint16_t v = readBigEndian16(peek(2));
  location_ += 2;
  return v;
}

std::uint32_t KDPSDStream::readInt32() {
  const std::uint32_t v = readBigEndian32(peek(4));
  location_ += 4;
  return v;
}

std::int32_t KDPSDStream::readSInt32() {
  return std::int32_t(readInt32());
}
std::int16_t KDPSDStream::readSInt16() {
  return std::int16_t(readInt16());
}

double KDPSDStream::readDouble64() {
  const std::uint64_t bits = readBigEndian64(peek(8));
  location_ += 8;
  double value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

std::string KDPSDStream::readPSDString16() {
  const std::int32_t count = readSInt32();
  if (count < 1) return {};
  std::u16string units;
  for (std::int32_t i = 0; i < count; ++i) {
    const char16_t unit = char16_t(readInt16());
    if (unit == 0) break;
    units.push_back(unit);
  }
  return utf16ToUtf8(units.data(), units.size());
}

std::optional<std::string> KDPSDStream::readPSDStringOrGetFourByteID(std::uint32_t& key) {
  const std::int32_t length = readSInt32();
  if (length < 1) {
    key = readInt32();
    return std::nullopt;
  }
  return readPSDStringOfLength(std::uint32_t(length));
}

std::string KDPSDStream::readPSDString() {
  std::uint32_t length = readInt32();
  if (length == 0) length = 4;
  return readPSDStringOfLength(length);
}

std::string KDPSDStream::readPSDStringOfLength(std::uint64_t n) {
  const std::uint8_t* p = peek(n);
  location_ += std::int64_t(n);
  return decodePSD8BitString(p, std::size_t(n));
}

std::string KDPSDStream::readPascalString() {
  const std::uint8_t length = readInt8();
  const std::size_t after = pascalStringBytesAfterLength(length, 2);
  const std::uint8_t* p = peek(after);
  location_ += std::int64_t(after);
  return decodePSD8BitString(p, length);
}

std::vector<std::uint8_t> KDPSDStream::readDataOfLength(std::uint64_t n) {
  const std::uint8_t* p = peek(n);
  location_ += std::int64_t(n);
  return std::vector<std::uint8_t>(p, p + n);
}

void KDPSDStream::skipLength(std::uint64_t n) {
  // Saturate instead of overflowing: a huge skip simply lands past the end.
  if (n > std::uint64_t(INT64_MAX - location_)) {
    location_ = INT64_MAX;
  } else {
    location_ += std::int64_t(n);
  }
}

}  // namespace velumar
