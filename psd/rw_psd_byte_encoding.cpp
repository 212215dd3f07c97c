#include "psd/rw_psd_byte_encoding.h"

#include <cmath>

namespace velumar {

void rwAppendValue(RWByteBuffer& buffer, std::uint64_t value, int length) {
  if (length < 1) return;
  if (length > 8) length = 8;
  std::uint8_t bytes[8];
  for (int k = 0; k < length; ++k) bytes[length - 1 - k] = std::uint8_t(value >> (8 * k));
  buffer.insert(buffer.end(), bytes, bytes + length);
}

void rwAppendUTF8String(RWByteBuffer& buffer, std::string_view text) {
  buffer.insert(buffer.end(), text.begin(), text.end());
}

std::size_t rwPascalStringLengthPaddedTo(std::string_view text, int block) {
  if (text.empty()) return 0;
  if (block <= 1) return text.size();
  const float blocks = std::ceil(float(text.size()) / float(block));
  return std::size_t(blocks) * std::size_t(block);
}

std::string rwPascalStringPaddedTo(std::string_view text, int block, std::string_view padding) {
  const std::size_t length = rwPascalStringLengthPaddedTo(text, block);
  std::string padded(text);
  if (padding.empty()) padding = std::string_view("\0", 1);
  for (std::size_t i = 0; padded.size() < length; ++i) padded.push_back(padding[i % padding.size()]);
  return padded;
}

std::string rwPascalStringPaddedTo(std::string_view text, int block) {
  return rwPascalStringPaddedTo(text, block, std::string_view("\0", 1));
}

std::string_view rwUTF8PrefixWithin(std::string_view text, std::size_t maxBytes) {
  if (text.size() <= maxBytes) return text;
  std::size_t end = maxBytes;
  // Step back over continuation bytes (10xxxxxx) to the start of the cut character.
  while (end > 0 && (std::uint8_t(text[end]) & 0xC0) == 0x80) --end;
  return text.substr(0, end);
}

std::u16string rwUTF16FromUTF8(std::string_view text) {
  std::u16string units;
  units.reserve(text.size());
  const auto* p = reinterpret_cast<const std::uint8_t*>(text.data());
  const std::size_t n = text.size();
  std::size_t i = 0;
  while (i < n) {
    const std::uint8_t lead = p[i];
    char32_t cp = 0xFFFD;
    std::size_t extra = 0;
    char32_t minimum = 0;
    if (lead < 0x80) {
      cp = lead;
    } else if ((lead & 0xE0) == 0xC0) {
      cp = lead & 0x1F, extra = 1, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
      cp = lead & 0x0F, extra = 2, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
      cp = lead & 0x07, extra = 3, minimum = 0x10000;
    } else {
      units.push_back(u'\uFFFD');
      ++i;
      continue;
    }
    std::size_t k = 1;
    for (; k <= extra; ++k) {
      if (i + k >= n || (p[i + k] & 0xC0) != 0x80) break;
      cp = (cp << 6) | (p[i + k] & 0x3F);
    }
    if (k <= extra || cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
      units.push_back(u'\uFFFD');
      i += k;  // skip the lead byte and the continuation bytes that were read
      continue;
    }
    i += k;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      units.push_back(char16_t(0xD800 + (cp >> 10)));
      units.push_back(char16_t(0xDC00 + (cp & 0x3FF)));
    } else {
      units.push_back(char16_t(cp));
    }
  }
  return units;
}

}  // namespace velumar
