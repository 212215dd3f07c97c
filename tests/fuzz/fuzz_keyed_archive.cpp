// Keyed archives (the stored shortcut): object table, references, class chains.
#include "fuzz/fuzz_input.h"
#include "platform/foundation/keyed_archive.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  foundation::readKeyedArchive(foundation::Data(data, data + size));
  return 0;
}
