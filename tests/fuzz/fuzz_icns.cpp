// ICNS icon files: the entry table and every entry's pixels.
#include "fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzzing::decodeEveryImage("com.apple.icns", data, size);
  return 0;
}
