// The PostScript size probe: bounding-box comments in plain and DOS EPS
// files (no Ghostscript involved).
#include "fuzz/fuzz_input.h"
#include "platform/imageio/postscript_document.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzzing::InputFile file(data, size);
  if (file.ok()) imageio::boundingBoxFromComments(file.path());
  return 0;
}
