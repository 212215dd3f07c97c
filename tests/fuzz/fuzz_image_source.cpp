// Any image file through the image source, the codec chosen by contents.
// PostScript is left to its own target: each input would start Ghostscript.
#include <cstring>

#include "fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const bool postScript =
      size >= 4 && (std::memcmp(data, "%!PS", 4) == 0 || std::memcmp(data, "\xc5\xd0\xd3\xc6", 4) == 0);
  if (!postScript) fuzzing::decodeEveryImage("", data, size);
  return 0;
}
