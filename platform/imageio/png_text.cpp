#include "platform/imageio/png_text.h"

#include <algorithm>
#include <optional>

#include "platform/foundation/log.h"

namespace imageio {

namespace {

std::string latin1ToUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x80) {
      out.push_back(c);
    } else {
      out.push_back(char(0xC0 | (byte >> 6)));
      out.push_back(char(0x80 | (byte & 0x3F)));
    }
  }
  return out;
}

// The Latin-1 bytes of UTF-8 text; nullopt when a character lies beyond
// U+00FF. invalid is set for malformed UTF-8.
std::optional<std::string> utf8ToLatin1(std::string_view text, bool& invalid) {
  std::string out;
  out.reserve(text.size());
  bool fits = true;
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t length = lead < 0x80           ? 1
                         : (lead >> 5) == 0x6  ? 2
                         : (lead >> 4) == 0xE  ? 3
                         : (lead >> 3) == 0x1E ? 4
                                               : 0;
    if (length == 0 || i + length > text.size()) {
      invalid = true;
      return std::nullopt;
    }
    std::uint32_t code = length == 1 ? lead : lead & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) {
        invalid = true;
        return std::nullopt;
      }
      code = (code << 6) | (next & 0x3F);
    }
    if (code > 0xFF) fits = false;
    if (fits) out.push_back(char(code));
    i += length;
  }
  if (!fits) return std::nullopt;
  return out;
}

}  // namespace

bool isPngKeyword(std::string_view keyword) {
  if (keyword.empty() || keyword.size() > 79 || keyword.front() == ' ' || keyword.back() == ' ') return false;
  if (keyword.find("  ") != std::string_view::npos) return false;
  return std::all_of(keyword.begin(), keyword.end(), [](char c) { return c >= 0x20 && c <= 0x7E; });
}

void addPngText(PngTexts& texts, std::string_view keyword, std::string_view text, bool utf8) {
  if (texts.size() >= kMaxPngTexts || text.size() > kMaxPngTextBytes || !isPngKeyword(keyword)) return;
  const bool repeated =
      std::any_of(texts.begin(), texts.end(), [&](const auto& t) { return t.first == keyword; });
  if (repeated) return;
  texts.emplace_back(std::string(keyword), utf8 ? std::string(text) : latin1ToUtf8(text));
}

std::vector<PngTextChunk> pngTextsToWrite(const foundation::Value& pngDictionary) {
  std::vector<PngTextChunk> chunks;
  const foundation::Dictionary* dictionary = pngDictionary.asDictionary();
  if (dictionary == nullptr) return chunks;
  for (const auto& [key, value] : *dictionary) {
    const std::string* text = value.asString();
    if (text == nullptr || !isPngKeyword(key)) continue;
    bool invalid = false;
    std::optional<std::string> latin1 = utf8ToLatin1(*text, invalid);
    if (invalid || text->find('\0') != std::string::npos) {
      foundation::log("png: the text of \"{}\" is not writable text", key);
      continue;
    }
    if (latin1) {
      chunks.push_back({key, std::move(*latin1), true});
    } else {
      chunks.push_back({key, *text, false});
    }
  }
  return chunks;
}

}  // namespace imageio
