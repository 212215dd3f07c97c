#pragma once
// Text encodings of PSD strings: Mac OS Roman for the legacy 8-bit strings
// (Pascal names, descriptor keys) and big-endian UTF-16 for Unicode strings.
// Everything is handed out as UTF-8. Shared by the reader and the writer.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velumar {

// Mac OS Roman bytes to UTF-8 (every byte maps to one character).
std::string macRomanToUtf8(const std::uint8_t* bytes, std::size_t length);

// A legacy 8-bit name: Mac OS Roman, except that bytes forming valid UTF-8
// with at least one multi-byte sequence are taken as UTF-8 (some writers
// store UTF-8 there; such byte pairs are implausible Mac OS Roman text).
std::string legacyNameToUtf8(const std::uint8_t* bytes, std::size_t length);

// UTF-8 to Mac OS Roman; characters without a Mac OS Roman form become '?'.
std::string utf8ToMacRoman(std::string_view utf8);

// Appends one code point as UTF-8 (invalid ones as U+FFFD).
void appendUtf8(std::string& out, char32_t codePoint);

// UTF-16 code units to UTF-8; unpaired surrogates become U+FFFD.
std::string utf16ToUtf8(const char16_t* units, std::size_t count);

}  // namespace velumar
