// An application's metainfo file, as packages install it: its component id,
// desktop launchables and the version of its newest stable release.
#include "fuzz/fuzz_input.h"
#include "platform/desktop/application_metainfo.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const fuzzing::InputFile file(data, size);
  desktop::Metainfo metainfo;
  if (file.ok()) (void)desktop::readMetainfo(file.path(), metainfo);
  return 0;
}
