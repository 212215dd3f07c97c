#include "platform/desktop/version_order.h"

namespace desktop {
namespace {

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}
bool isLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// The weight of one character of a non-digit run; the end of the text and a
// digit weigh 0. Bytes beyond ASCII (other scripts) come after letters and
// before ASCII punctuation, where the catalogue's own tools put them.
int weight(std::string_view text, std::size_t at) {
  if (at >= text.size()) return 0;
  const auto c = static_cast<unsigned char>(text[at]);
  if (c == '~') return -1;
  if (isDigit(char(c))) return 0;
  if (isLetter(char(c)) || c >= 0x80) return c;
  return c + 256;
}

std::size_t digitsFrom(std::string_view text, std::size_t at) {
  while (at < text.size() && isDigit(text[at])) ++at;
  return at;
}

// Two runs of digits by value, however long.
int compareNumbers(std::string_view a, std::string_view b) {
  while (!a.empty() && a.front() == '0') a.remove_prefix(1);
  while (!b.empty() && b.front() == '0') b.remove_prefix(1);
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  const int order = a.compare(b);
  return (order > 0) - (order < 0);
}

// One part of two versions: non-digit runs and digit runs in turn.
int compareParts(std::string_view a, std::string_view b) {
  std::size_t i = 0, j = 0;
  while (i < a.size() || j < b.size()) {
    while ((i < a.size() && !isDigit(a[i])) || (j < b.size() && !isDigit(b[j]))) {
      const int first = weight(a, i), second = weight(b, j);
      if (first != second) return first < second ? -1 : 1;
      ++i;
      ++j;
    }
    const std::size_t endA = digitsFrom(a, i), endB = digitsFrom(b, j);
    if (const int order = compareNumbers(a.substr(i, endA - i), b.substr(j, endB - j))) return order;
    i = endA;
    j = endB;
  }
  return 0;
}

struct Parts {
  std::string_view epoch, version, revision;
};

// The epoch is the digits that start the text before the first ":" (none
// when it starts otherwise); the revision follows the last "-" after it.
Parts split(std::string_view text) {
  Parts parts;
  if (const std::size_t colon = text.find(':'); colon != std::string_view::npos) {
    parts.epoch = text.substr(0, digitsFrom(text, 0));
    text.remove_prefix(colon + 1);
  }
  if (const std::size_t hyphen = text.rfind('-'); hyphen != std::string_view::npos) {
    parts.revision = text.substr(hyphen + 1);
    text = text.substr(0, hyphen);
  }
  parts.version = text;
  return parts;
}

}  // namespace

int compareVersions(std::string_view a, std::string_view b) {
  const Parts first = split(a), second = split(b);
  if (const int order = compareNumbers(first.epoch, second.epoch)) return order;
  if (const int order = compareParts(first.version, second.version)) return order;
  return compareParts(first.revision, second.revision);
}

}  // namespace desktop
