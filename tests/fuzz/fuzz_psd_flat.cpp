// Flat PSD files: the header and the stored composite image.
#include "fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzzing::decodeEveryImage("com.adobe.photoshop-image", data, size);
  return 0;
}
