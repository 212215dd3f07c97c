#pragma once
// Bounds-checked big-endian reading over a byte range, for the hand-written
// parsers (PSD composite, icon files). Reads past the end fail instead of
// touching memory; every offset is 64-bit.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace imageio {

class ByteReader {
 public:
  ByteReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  std::size_t offset() const { return offset_; }
  std::size_t size() const { return size_; }
  std::size_t remaining() const { return size_ - offset_; }
  bool ok() const { return ok_; }
  const std::uint8_t* current() const { return data_ + offset_; }

  bool seek(std::uint64_t offset) {
    if (offset > size_) return fail();
    offset_ = std::size_t(offset);
    return true;
  }
  bool skip(std::uint64_t count) {
    if (count > remaining()) return fail();
    offset_ += std::size_t(count);
    return true;
  }
  bool bytes(void* out, std::size_t count) {
    if (count > remaining()) return fail();
    std::memcpy(out, data_ + offset_, count);
    offset_ += count;
    return true;
  }
  std::uint8_t u8() { return std::uint8_t(read(1)); }
  std::uint16_t u16() { return std::uint16_t(read(2)); }
  std::uint32_t u32() { return std::uint32_t(read(4)); }
  std::uint64_t u64() { return read(8); }

 private:
  std::uint64_t read(int count) {
    if (std::size_t(count) > remaining()) {
      fail();
      return 0;
    }
    std::uint64_t value = 0;
    for (int i = 0; i < count; ++i) value = (value << 8) | data_[offset_ + i];
    offset_ += std::size_t(count);
    return value;
  }
  bool fail() {
    ok_ = false;
    offset_ = size_;
    return false;
  }
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t offset_ = 0;
  bool ok_ = true;
};

// Appends big-endian integers to a byte vector.
inline void putU8(std::vector<std::uint8_t>& out, std::uint32_t v) {
  out.push_back(std::uint8_t(v));
}
inline void putU16(std::vector<std::uint8_t>& out, std::uint32_t v) {
  out.push_back(std::uint8_t(v >> 8));
  out.push_back(std::uint8_t(v));
}
inline void putU32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(std::uint8_t(v >> shift));
}
inline void putBytes(std::vector<std::uint8_t>& out, const void* data, std::size_t size) {
  const auto* p = static_cast<const std::uint8_t*>(data);
  out.insert(out.end(), p, p + size);
}

}  // namespace imageio
