#include "platform/foundation/log.h"

#include <cstdio>
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

}  // namespace foundation
