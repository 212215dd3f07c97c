#include "platform/foundation/log.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>

namespace foundation {

void log(std::string_view message) {
  static std::mutex mutex;
  std::string line = "velumar: ";
  line.append(message);
  if (line.empty() || line.back() != '\n') line.push_back('\n');
  std::lock_guard lock(mutex);
  std::fwrite(line.data(), 1, line.size(), stderr);
}

bool debugLogging() {
  static const bool enabled = [] {
    const char* value = std::getenv("VELUMAR_DEBUG");
    return value && *value && std::string_view(value) != "0";
  }();
  return enabled;
}

void logDebug(std::string_view message) {
  if (debugLogging()) log(message);
}

}  // namespace foundation
