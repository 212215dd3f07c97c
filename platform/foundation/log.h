#pragma once
// Diagnostics: plain messages to standard error, one line each; debug
// messages only when asked for.

#include <fmt/format.h>

#include <string_view>

namespace foundation {

void log(std::string_view message);

template <typename... Args>
void log(fmt::format_string<Args...> format, Args&&... args) {
  log(std::string_view(fmt::format(format, std::forward<Args>(args)...)));
}

// Messages for developers (a library's chatter): printed only when the
// VELUMAR_DEBUG environment variable is set to something other than 0.
bool debugLogging();
void logDebug(std::string_view message);

template <typename... Args>
void logDebug(fmt::format_string<Args...> format, Args&&... args) {
  if (debugLogging()) log(std::string_view(fmt::format(format, std::forward<Args>(args)...)));
}

}  // namespace foundation
