#pragma once
// Pascal strings (a length byte, then the text) padded so that length byte
// and text together fill a multiple of a padding size. Shared by the reader
// and the writer.

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace velumar {

// Bytes that follow the length byte of a Pascal string of textLength bytes
// padded to a multiple of padding (2 for resource names, 4 for layer names).
constexpr std::size_t pascalStringBytesAfterLength(std::size_t textLength, std::size_t padding) {
  if (padding < 2) return textLength;
  const std::size_t total = ((textLength + 1 + padding - 1) / padding) * padding;
  return total - 1;
}

// Appends a Mac OS Roman Pascal string of the UTF-8 text (cut to 255 bytes)
// followed by zero bytes up to a multiple of padding.
void appendPascalString(std::vector<std::uint8_t>& out, std::string_view utf8, std::size_t padding);

}  // namespace velumar
