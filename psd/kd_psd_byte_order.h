#pragma once
// Big-endian integers and four-character keys, the byte order of every PSD
// field. Shared by the reader and the writer.

#include <cstdint>
#include <string>
#include <vector>

namespace velumar {

inline std::uint16_t readBigEndian16(const std::uint8_t* p) {
  return std::uint16_t((unsigned(p[0]) << 8) | unsigned(p[1]));
}

inline std::uint32_t readBigEndian32(const std::uint8_t* p) {
  return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) |
         std::uint32_t(p[3]);
}

inline std::uint64_t readBigEndian64(const std::uint8_t* p) {
  return (std::uint64_t(readBigEndian32(p)) << 32) | readBigEndian32(p + 4);
}

inline void appendBigEndian16(std::vector<std::uint8_t>& out, std::uint16_t v) {
  out.push_back(std::uint8_t(v >> 8));
  out.push_back(std::uint8_t(v));
}

inline void appendBigEndian32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  out.push_back(std::uint8_t(v >> 24));
  out.push_back(std::uint8_t(v >> 16));
  out.push_back(std::uint8_t(v >> 8));
  out.push_back(std::uint8_t(v));
}

inline void appendBigEndian64(std::vector<std::uint8_t>& out, std::uint64_t v) {
  appendBigEndian32(out, std::uint32_t(v >> 32));
  appendBigEndian32(out, std::uint32_t(v));
}

// 'abcd' as the number the format stores.
constexpr std::uint32_t fourCharCode(const char (&s)[5]) {
  return (std::uint32_t(std::uint8_t(s[0])) << 24) | (std::uint32_t(std::uint8_t(s[1])) << 16) |
         (std::uint32_t(std::uint8_t(s[2])) << 8) | std::uint32_t(std::uint8_t(s[3]));
}

// The four bytes of a key as text, without quotes ("norm").
inline std::string fourCharCodeText(std::uint32_t code) {
  std::string s(4, ' ');
  for (int i = 0; i < 4; ++i) {
    char c = char((code >> (24 - 8 * i)) & 0xFF);
    s[std::size_t(i)] = (c >= 32 && c < 127) ? c : '?';
  }
  return s;
}

// The key in single quotes, the form diagnostics show ("'norm'").
inline std::string quotedFourCharCode(std::uint32_t code) {
  return "'" + fourCharCodeText(code) + "'";
}

}  // namespace velumar
