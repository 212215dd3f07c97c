// Layered PSD files: the layer and mask section, channels and descriptors,
// through the reader's entry point.
#include "fuzz/fuzz_input.h"
#include "psd/psd_loader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzzing::InputFile file(data, size);
  if (file.ok()) velumar::loadLayeredPSD(file.path());
  return 0;
}
