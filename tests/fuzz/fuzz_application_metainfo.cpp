// An application's metainfo file, as packages install it: the version of
// its newest release.
#include "fuzz/fuzz_input.h"
#include "platform/desktop/application_metainfo.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const fuzzing::InputFile file(data, size);
  if (file.ok()) (void)desktop::newestReleaseVersion(file.path());
  return 0;
}
