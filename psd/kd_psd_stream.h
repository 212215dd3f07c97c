#pragma once
// The read cursor through which the PSD reader takes every field: big-endian
// integers, the format's strings, keys and raw blocks. Every read is checked
// against the end of the data and raises KDPSDBufferOverrun when it would
// pass it. A sub-stream is a cursor over a bounded part of the same data.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace velumar {

class KDPSDStream {
 public:
  // The whole file, or nullptr when it cannot be read (logged).
  static std::unique_ptr<KDPSDStream> PSDStreamForReadingURL(const std::string& path);

  explicit KDPSDStream(std::vector<std::uint8_t> bytes);

  // A cursor over the next `length` bytes (cut at this stream's end); this
  // stream does not move.
  KDPSDStream subStream(std::uint64_t length) const;

  bool hasLengthToRead(std::uint64_t n) const;
  // Copies n bytes and advances, or raises.
  std::int64_t read(std::uint8_t* buffer, std::uint64_t n);
  std::uint8_t readInt8();
  std::uint16_t readInt16();
  std::uint32_t readInt32();
  std::int32_t readSInt32();
  std::int16_t readSInt16();
  double readDouble64();

  // Unicode string: count, then up to count UTF-16 units ending at a zero unit.
  std::string readPSDString16();
  // A length and an 8-bit string, or a zero length and a four-byte key
  // (nullopt, key stored).
  std::optional<std::string> readPSDStringOrGetFourByteID(std::uint32_t& key);
  // A length (0 meaning 4) and an 8-bit string.
  std::string readPSDString();
  std::string readPSDStringOfLength(std::uint64_t n);
  // Resource-name form: length byte and text padded to an even size.
  std::string readPascalString();
  std::vector<std::uint8_t> readDataOfLength(std::uint64_t n);

  // Pointer to the next n bytes without moving, or raises.
  const std::uint8_t* peek(std::uint64_t n) const;
  // Adds n to the position without any check.
  void skipLength(std::uint64_t n);
  // Moves to an absolute position without any check.
  void seek(std::int64_t position) { location_ = position; }

  std::int64_t location() const { return location_; }
  // Absolute end of the readable data.
  std::int64_t limit() const { return limit_; }
  // Size of the whole file.
  std::uint64_t fileLength() const { return data_->size(); }

 private:
  KDPSDStream(std::shared_ptr<const std::vector<std::uint8_t>> data, std::int64_t location,
              std::int64_t limit);
  // Raises KDPSDBufferOverrun when n bytes are not available.
  void require(std::uint64_t n) const;

  std::shared_ptr<const std::vector<std::uint8_t>> data_;
  std::int64_t location_ = 0;
  std::int64_t limit_ = 0;
};

// The 8-bit string form: cut at the first zero byte, Mac OS Roman to UTF-8.
std::string decodePSD8BitString(const std::uint8_t* bytes, std::size_t length);

}  // namespace velumar
