#pragma once
// ASCII case folding for names and keys that belong to files and programs
// (extensions, desktop ids, format names): A-Z only, whatever the process's
// locale. <cctype>'s tolower follows LC_CTYPE, where Turkish keeps 'I'.

#include <string>
#include <string_view>

namespace foundation {

constexpr char asciiLower(char c) noexcept {
  return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

std::string asciiLowercase(std::string_view text);
bool asciiEqualsIgnoringCase(std::string_view a, std::string_view b) noexcept;

}  // namespace foundation
