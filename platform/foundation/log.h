#pragma once
// Diagnostics: plain messages to standard error, one line each.

#include <fmt/format.h>

#include <string_view>

namespace foundation {

void log(std::string_view message);

template <typename... Args>
void log(fmt::format_string<Args...> format, Args&&... args) {
  log(std::string_view(fmt::format(format, std::forward<Args>(args)...)));
}

}  // namespace foundation
