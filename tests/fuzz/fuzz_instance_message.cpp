// The message a later start sends to the running instance, fed in pieces
// whose sizes the first byte chooses, as a socket delivers them.
#include <algorithm>

#include "app/instance_message.h"
#include "fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::size_t piece = std::size_t(data[0]) + 1;
  velumar::InstanceMessageReader reader;
  for (std::size_t offset = 1; offset < size; offset += piece) {
    const auto bytes = reinterpret_cast<const char*>(data + offset);
    if (reader.feed(bytes, std::min(piece, size - offset)) != velumar::InstanceMessageReader::Status::NeedMore)
      break;
  }
  if (reader.status() == velumar::InstanceMessageReader::Status::Complete) {
    for (const std::string& path : reader.paths())
      if (path.empty() || path.front() != '/') __builtin_trap();
  }
  return 0;
}
