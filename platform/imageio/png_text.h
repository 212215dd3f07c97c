#pragma once
// PNG text chunks: keywords and texts as the PNG codec reads them into
// {PNG} and writes them back from it.

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/foundation/value.h"

namespace imageio {

// Texts read from a file, keyword and UTF-8 text, in file order.
using PngTexts = std::vector<std::pair<std::string, std::string>>;

// One chunk to write: bytes are Latin-1 for tEXt, UTF-8 for iTXt.
struct PngTextChunk {
  std::string keyword;
  std::string bytes;
  bool latin1 = true;
};

// At most this many texts are kept from a file, each at most kMaxPngTextBytes.
inline constexpr std::size_t kMaxPngTexts = 256;
inline constexpr std::size_t kMaxPngTextBytes = std::size_t(1) << 20;

// Whether keyword is a valid PNG keyword: 1 to 79 printable ASCII
// characters without leading, trailing or doubled spaces.
bool isPngKeyword(std::string_view keyword);

// Adds one text read from a chunk (utf8: an iTXt chunk; otherwise Latin-1),
// skipping invalid keywords, repeated keywords, over-long texts and texts
// beyond the count limit.
void addPngText(PngTexts& texts, std::string_view keyword, std::string_view text, bool utf8);

// The string values of a {PNG} dictionary whose keys are PNG keywords, as
// chunks: tEXt when the text fits Latin-1, else iTXt. Texts with NUL bytes
// or invalid UTF-8 are skipped (logged).
std::vector<PngTextChunk> pngTextsToWrite(const foundation::Value& pngDictionary);

}  // namespace imageio
