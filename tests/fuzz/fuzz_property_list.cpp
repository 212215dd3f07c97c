// Property lists, binary and XML: the structural pre-check and the parser
// together; then what was read must write back so that it reads again (the
// file form when its size check says so, and the binary form); then the XML
// form must read again, within the readers' limits, as the value it was
// written from, but for what that form cannot hold (sameThroughXml).
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <map>
#include <set>
#include <string>
#include <string_view>

#include "fuzz/fuzz_input.h"
#include "platform/foundation/property_list.h"
#include "platform/foundation/property_list_limits.h"

namespace {

using foundation::Value;

// The length of the well-formed UTF-8 character text starts with; 0 when
// none does.
std::size_t utf8CharacterLength(std::string_view text) {
  const auto byte = [&](std::size_t i) { return i < text.size() ? std::uint8_t(text[i]) : 0; };
  if (text.empty()) return 0;
  const std::uint8_t lead = byte(0);
  if (lead < 0x80) return 1;
  std::size_t length = 4;
  std::uint8_t low = 0x80, high = 0xbf;  // of the second byte
  if (lead >= 0xc2 && lead <= 0xdf) {
    length = 2;
  } else if (lead >= 0xe0 && lead <= 0xef) {
    length = 3;
    low = lead == 0xe0 ? 0xa0 : low;    // no overlong form
    high = lead == 0xed ? 0x9f : high;  // no surrogate
  } else if (lead >= 0xf0 && lead <= 0xf4) {
    low = lead == 0xf0 ? 0x90 : low;
    high = lead == 0xf4 ? 0x8f : high;  // up to U+10FFFF
  } else {
    return 0;
  }
  if (byte(1) < low || byte(1) > high) return 0;
  for (std::size_t i = 2; i < length; ++i)
    if (byte(i) < 0x80 || byte(i) > 0xbf) return 0;
  return length;
}

// text with each run of malformed UTF-8 and U+FFFD made one U+FFFD, and
// whether it held malformed UTF-8.
std::pair<std::string, bool> malformedRunsMarked(std::string_view text) {
  constexpr std::string_view kReplacement = "\xEF\xBF\xBD";
  std::string marked;
  bool malformed = false, inRun = false;
  while (!text.empty()) {
    const std::size_t length = utf8CharacterLength(text);
    const bool replaced = length == 0 || text.substr(0, length) == kReplacement;
    if (replaced && !inRun) marked += kReplacement;
    if (!replaced) marked += text.substr(0, length);
    malformed = malformed || length == 0;
    inRun = replaced;
    text.remove_prefix(std::max<std::size_t>(length, 1));
  }
  return {marked, malformed};
}

// Texts of both forms are Unicode: the writers put U+FFFD for malformed
// UTF-8 (one or more per run of bad bytes); the rest must stay as it was.
bool sameText(const std::string& written, const std::string& read) {
  if (written == read) return true;
  const auto [marked, malformed] = malformedRunsMarked(written);
  return malformed && marked == malformedRunsMarked(read).first;
}

// The XML form writes a date as whole seconds from 2001-01-01 00:00:00 UTC
// in 32 bits: rounded down, and clamped to that range.
foundation::Date dateAsWritten(foundation::Date date) {
  constexpr std::int64_t kReferenceUnixSeconds = 978307200;
  const std::int64_t seconds =
      std::chrono::floor<std::chrono::seconds>(date.time_since_epoch()).count() - kReferenceUnixSeconds;
  const std::int64_t held = std::clamp<std::int64_t>(seconds, std::numeric_limits<std::int32_t>::min(),
                                                     std::numeric_limits<std::int32_t>::max());
  return foundation::Date(std::chrono::seconds(held + kReferenceUnixSeconds));
}

bool sameThroughXml(const Value& written, const Value& read);

// Keys are texts too, and malformed keys that became the same one read as
// one entry, holding the last one's item.
bool sameDictionaryThroughXml(const foundation::Dictionary& written, const foundation::Dictionary& read) {
  using Entry = foundation::Dictionary::Entry;
  // Items under malformed keys, by their keys' marked form.
  std::multimap<std::string, const Value*> underMalformedKeys;
  for (const Entry& entry : written) {
    auto [marked, malformed] = malformedRunsMarked(entry.first);
    if (malformed) underMalformedKeys.emplace(std::move(marked), &entry.second);
  }
  // Every entry read was written, under its key or a malformed one.
  std::set<std::string> keysRead;
  for (const Entry& entry : read) {
    std::string marked = malformedRunsMarked(entry.first).first;
    const Value* same = written.find(entry.first);
    const auto [first, last] = underMalformedKeys.equal_range(marked);
    if (!(same && sameThroughXml(*same, entry.second)) && std::none_of(first, last, [&](const auto& other) {
          return sameThroughXml(*other.second, entry.second);
        }))
      return false;
    keysRead.insert(std::move(marked));
  }
  // And every key written was read.
  return std::all_of(written.begin(), written.end(), [&](const Entry& entry) {
    const auto [marked, malformed] = malformedRunsMarked(entry.first);
    return malformed ? keysRead.count(marked) != 0 : read.contains(entry.first);
  });
}

// Whether read, from the XML form of written, holds the same, allowing
// what that form cannot carry: a NaN reads as a NaN (unequal to itself, its
// sign lost), -0 as 0 (equal as numbers), malformed UTF-8 as U+FFFD, and a
// date as written (dateAsWritten). Reals are written to the last bit.
bool sameThroughXml(const Value& written, const Value& read) {
  if (written.type() != read.type()) return false;
  switch (written.type()) {
    case Value::Type::Real: {
      const double a = *written.toDouble(), b = *read.toDouble();
      return a == b || (std::isnan(a) && std::isnan(b));
    }
    case Value::Type::String:
      return sameText(*written.asString(), *read.asString());
    case Value::Type::Date:
      return dateAsWritten(*written.asDate()) == *read.asDate();
    case Value::Type::Array:
      return std::equal(written.asArray()->begin(), written.asArray()->end(), read.asArray()->begin(),
                        read.asArray()->end(), sameThroughXml);
    case Value::Type::Dictionary:
      return sameDictionaryThroughXml(*written.asDictionary(), *read.asDictionary());
    default:
      return written == read;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto value = foundation::readPropertyListData(foundation::Data(data, data + size));
  if (!value) return 0;
  if (foundation::propertyListFileFits(*value) && !foundation::propertyListFile(*value)) std::abort();
  const auto binary = foundation::propertyListBinary(*value);
  if (!binary || !foundation::readPropertyListData(*binary)) std::abort();
  const auto xml = foundation::propertyListXML(*value);
  if (!xml) return 0;
  const auto again = foundation::readPropertyListData(*xml);
  if (!again) {
    // Only a form beyond the readers' limits may be refused.
    if (xml->size() <= foundation::kMaxPropertyListBytes &&
        foundation::xmlPropertyListWithinLimits(xml->data(), xml->size(), foundation::PropertyListLimits{})) {
      std::fprintf(stderr, "XML round trip: the XML form does not read back\n");
      std::abort();
    }
    return 0;
  }
  if (!sameThroughXml(*value, *again)) {
    std::fprintf(stderr, "XML round trip: wrote %.2000s\nread %.2000s\n", value->debugString().c_str(),
                 again->debugString().c_str());
    std::abort();
  }
  return 0;
}
