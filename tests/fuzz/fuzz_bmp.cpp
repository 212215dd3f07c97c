// BMP files: headers, palettes, bit fields and RLE data.
#include "fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzzing::decodeEveryImage("com.microsoft.bmp", data, size);
  return 0;
}
