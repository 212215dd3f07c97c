#include "psd/kd_psd_text_engine.h"

#include <string_view>
#include <utility>

#include "platform/foundation/log.h"
#include "psd/kd_psd_text_encoding.h"

namespace velumar {
namespace {

bool isWhitespace(int c) {
  return c == 0x09 || c == 0x0A || c == 0x0D || c == 0x20;
}

bool endsWith(std::string_view s, std::string_view suffix) {
  return s.size() >= suffix.size() && s.substr(s.size() - suffix.size()) == suffix;
}

std::string trimmed(std::string s) {
  std::size_t begin = 0, end = s.size();
  while (begin < end && isWhitespace(std::uint8_t(s[begin]))) ++begin;
  while (end > begin && isWhitespace(std::uint8_t(s[end - 1]))) --end;
  return s.substr(begin, end - begin);
}

// Nesting deeper than this is treated as the end of the data: real text
// engine data nests a handful of levels.
constexpr int kMaxDepth = 64;

}  // namespace

void KDPSDTextEngineParser::parseData(std::vector<std::uint8_t> data) {
  engineData_ = std::move(data);
  len_ = std::int64_t(engineData_.size());
  loc_ = 0;
  depth_ = 0;
  parsedProperties_ = foundation::Value(parseDictionaryWithName("Base"));
}

int KDPSDTextEngineParser::nextChar() {
  if (loc_ >= len_) return -1;
  return engineData_[std::size_t(loc_++)];
}

int KDPSDTextEngineParser::nextShort() {
  if (loc_ + 2 > len_) {
    loc_ = len_;
    return -1;
  }
  const int value = (int(engineData_[std::size_t(loc_)]) << 8) | int(engineData_[std::size_t(loc_ + 1)]);
  loc_ += 2;
  return value;
}

int KDPSDTextEngineParser::peekToNextRealChar() const {
  for (std::int64_t i = loc_; i < len_; ++i) {
    if (!isWhitespace(engineData_[std::size_t(i)])) return engineData_[std::size_t(i)];
  }
  return -1;
}

void KDPSDTextEngineParser::scanTillNextRealChar() {
  while (loc_ < len_ && isWhitespace(engineData_[std::size_t(loc_)])) ++loc_;
  if (loc_ >= len_) foundation::log("Fell off the end in scanTillNextRealChar");
}

std::optional<std::string> KDPSDTextEngineParser::scanNextWord() {
  if (loc_ >= len_) return std::nullopt;
  scanTillNextRealChar();
  const std::int64_t start = loc_;
  while (loc_ < len_ && !isWhitespace(engineData_[std::size_t(loc_)])) ++loc_;
  // A word counts only when a whitespace byte ends it before the data's end.
  if (loc_ >= len_ - 1) {
    loc_ = len_;
    return std::nullopt;
  }
  std::string word(reinterpret_cast<const char*>(engineData_.data() + start), std::size_t(loc_ - start));
  ++loc_;  // the delimiter
  return word;
}

std::string KDPSDTextEngineParser::scanToEndOfLine() {
  std::string line;
  while (loc_ < len_) {
    const std::uint8_t c = engineData_[std::size_t(loc_++)];
    if (c == 0x0A) break;
    appendUtf8(line, c);
  }
  return trimmed(std::move(line));
}

std::string KDPSDTextEngineParser::parseTextTag() {
  scanTillNextRealChar();
  nextChar();   // "("
  nextShort();  // byte-order mark
  std::u16string units;
  while (loc_ < len_) {
    const int unit = nextShort();
    if (unit < 0) break;
    if (unit == 0x000D) {
      const int following = nextChar();
      if (following == ')') break;
      units.push_back(u'\r');
      if (following >= 0) --loc_;
    } else if (unit == 0x005C) {
      const int escaped = nextChar();
      if (escaped >= 0) units.push_back(char16_t(escaped));
    } else if (unit == 0x290A) {
      break;
    } else {
      units.push_back(char16_t(unit));
    }
  }
  attString_ = utf16ToUtf8(units.data(), units.size());
  return attString_;
}

std::optional<std::string> KDPSDTextEngineParser::scanSingleLineWithTag(const std::string& tag) {
  if (tag == "/Text" || tag == "/Name" || tag == "/NoStart" || tag == "/NoEnd") return parseTextTag();
  return scanToEndOfLine();
}

foundation::Dictionary KDPSDTextEngineParser::parseDictionaryWithName(const std::string&) {
  foundation::Dictionary dictionary;
  if (++depth_ > kMaxDepth) {
    loc_ = len_;
    --depth_;
    return dictionary;
  }
  scanNextWord();  // "<<"
  std::optional<std::string> key = scanNextWord();
  while (key && *key != ">>") {
    const int c = peekToNextRealChar();
    foundation::Value value;
    if (c == '<') {
      value = foundation::Value(parseDictionaryWithName(*key));
    } else if (c == '[' &&
               (endsWith(*key, "/RunArray") || endsWith(*key, "/Children") || endsWith(*key, "Set"))) {
      value = foundation::Value(parseArrayWithName(*key));
    } else if (auto line = scanSingleLineWithTag(*key)) {
      value = foundation::Value(*line);
    }
    if (!value.isNull() && !key->empty()) dictionary.set(key->substr(1), std::move(value));
    key = scanNextWord();
  }
  --depth_;
  return dictionary;
}

foundation::Array KDPSDTextEngineParser::parseArrayWithName(const std::string&) {
  foundation::Array array;
  if (++depth_ > kMaxDepth) {
    loc_ = len_;
    --depth_;
    return array;
  }
  scanTillNextRealChar();
  nextChar();  // "["
  if (scanToEndOfLine() == "]") {
    --depth_;
    return array;
  }
  foundation::Dictionary current;
  scanNextWord();  // the first "<<"
  std::optional<std::string> key = scanNextWord();
  while (key && *key != "]") {
    if (*key == ">>") {
      if (!current.empty()) array.emplace_back(std::exchange(current, foundation::Dictionary()));
      key = scanNextWord();
      if (!key || *key == "]") break;
      if (*key == "<<") key = scanNextWord();
      if (!key) break;
      continue;
    }
    const int c = peekToNextRealChar();
    foundation::Value value;
    if (c == '<') {
      value = foundation::Value(parseDictionaryWithName(*key));
    } else if (c == '[' && endsWith(*key, "Array")) {
      value = foundation::Value(parseArrayWithName(*key));
    } else if (auto line = scanSingleLineWithTag(*key)) {
      value = foundation::Value(*line);
    }
    if (!value.isNull() && !key->empty()) current.set(key->substr(1), std::move(value));
    key = scanNextWord();
  }
  --depth_;
  return array;
}

}  // namespace velumar
