#pragma once
// Byte-level building blocks of the layered PSD writer: big-endian integers
// and four-character keys appended to a growing buffer, padded name strings
// and the UTF-8 / UTF-16 forms of layer names.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace velumar {

using RWByteBuffer = std::vector<std::uint8_t>;

// Appends the value's low `length` bytes (1 to 8), most significant first.
void rwAppendValue(RWByteBuffer& buffer, std::uint64_t value, int length);

// Appends the text's bytes as they stand (four-character keys such as "8BIM").
void rwAppendUTF8String(RWByteBuffer& buffer, std::string_view text);

// The byte length of the UTF-8 text rounded up to a multiple of block
// (0 for an empty text).
std::size_t rwPascalStringLengthPaddedTo(std::string_view text, int block);

// The text followed by repetitions of padding (from its first byte on) up to
// rwPascalStringLengthPaddedTo(text, block) bytes.
std::string rwPascalStringPaddedTo(std::string_view text, int block, std::string_view padding);
std::string rwPascalStringPaddedTo(std::string_view text, int block);

// The longest prefix of the UTF-8 text of at most maxBytes bytes that ends on
// a character boundary.
std::string_view rwUTF8PrefixWithin(std::string_view text, std::size_t maxBytes);

// The UTF-16 code units of the UTF-8 text; malformed sequences become U+FFFD.
std::u16string rwUTF16FromUTF8(std::string_view text);

}  // namespace velumar
