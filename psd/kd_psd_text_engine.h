#pragma once
// Parses the text-engine data of a type layer: a text notation of
// dictionaries between "<<" and ">>", keys beginning with "/", arrays
// between "[" and "]", text strings in parentheses holding UTF-16, and
// scalar values written as the rest of a line. A line- and word-oriented
// scanner for the layout writers produce; it never reads past the data.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/value.h"

namespace velumar {

class KDPSDTextEngineParser {
 public:
  void parseData(std::vector<std::uint8_t> data);

  // The top-level dictionary: nested dictionaries, arrays of dictionaries
  // and strings (no number is converted).
  const foundation::Value& parsedProperties() const { return parsedProperties_; }
  // The text of the last text string parsed (UTF-8).
  const std::string& attString() const { return attString_; }

  foundation::Dictionary parseDictionaryWithName(const std::string& name);
  foundation::Array parseArrayWithName(const std::string& name);
  std::optional<std::string> scanSingleLineWithTag(const std::string& tag);
  std::string parseTextTag();
  std::string scanToEndOfLine();
  std::optional<std::string> scanNextWord();
  int peekToNextRealChar() const;
  void scanTillNextRealChar();
  int nextChar();
  int nextShort();

 private:
  std::vector<std::uint8_t> engineData_;
  std::int64_t len_ = 0;
  std::int64_t loc_ = 0;
  foundation::Value parsedProperties_;
  std::string attString_;
  int depth_ = 0;
};

}  // namespace velumar
