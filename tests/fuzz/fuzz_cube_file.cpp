// .cube lookup-table text: header keywords, sizes, domains and data rows.
#include <string_view>

#include "filters/cube_file.h"
#include "fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  velumar::parseCubeText(std::string_view(reinterpret_cast<const char*>(data), size));
  return 0;
}
