#include "platform/desktop/version_order.h"

namespace desktop {
namespace {

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}
bool isLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool isSeparator(char c) {
  return !isDigit(c) && !isLetter(c) && c != '~' && c != '^';
}

// The run of digits or of letters at the start of text, taken off it.
std::string_view takeRun(std::string_view& text, bool digits) {
  std::size_t length = 0;
  while (length < text.size() && (digits ? isDigit(text[length]) : isLetter(text[length]))) ++length;
  const std::string_view run = text.substr(0, length);
  text.remove_prefix(length);
  return run;
}

int sign(int value) {
  return (value > 0) - (value < 0);
}

}  // namespace

int compareVersions(std::string_view a, std::string_view b) {
  for (;;) {
    while (!a.empty() && isSeparator(a.front())) a.remove_prefix(1);
    while (!b.empty() && isSeparator(b.front())) b.remove_prefix(1);
    const char first = a.empty() ? '\0' : a.front(), second = b.empty() ? '\0' : b.front();
    if (first == '~' || second == '~') {
      if (first != '~') return 1;
      if (second != '~') return -1;
      a.remove_prefix(1);
      b.remove_prefix(1);
      continue;
    }
    if (first == '^' || second == '^') {
      if (a.empty()) return -1;
      if (b.empty()) return 1;
      if (first != '^') return 1;
      if (second != '^') return -1;
      a.remove_prefix(1);
      b.remove_prefix(1);
      continue;
    }
    if (a.empty() || b.empty()) break;
    const bool digits = isDigit(first);
    std::string_view runA = takeRun(a, digits), runB = takeRun(b, digits);
    // A digit run is newer than a letter run.
    if (runB.empty()) return digits ? 1 : -1;
    if (digits) {
      while (runA.size() > 1 && runA.front() == '0') runA.remove_prefix(1);
      while (runB.size() > 1 && runB.front() == '0') runB.remove_prefix(1);
      if (runA.size() != runB.size()) return runA.size() < runB.size() ? -1 : 1;
    }
    if (const int order = runA.compare(runB)) return sign(order);
  }
  if (a.empty() && b.empty()) return 0;
  return a.empty() ? -1 : 1;
}

}  // namespace desktop
