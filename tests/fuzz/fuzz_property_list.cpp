// Property lists, binary and XML: the structural pre-check and the parser
// together; then what was read must write back so that it reads again (the
// file form when its size check says so, and the binary form); then the XML
// form read again and compared with the value.
#include <cstdlib>

#include "fuzz/fuzz_input.h"
#include "platform/foundation/property_list.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto value = foundation::readPropertyListData(foundation::Data(data, data + size));
  if (!value) return 0;
  if (foundation::propertyListFileFits(*value) && !foundation::propertyListFile(*value)) std::abort();
  const auto binary = foundation::propertyListBinary(*value);
  if (!binary || !foundation::readPropertyListData(*binary)) std::abort();
  const auto xml = foundation::propertyListXML(*value);
  if (!xml) return 0;
  if (const auto again = foundation::readPropertyListData(*xml)) (void)(*again == *value);
  return 0;
}
