// Property lists, binary and XML: the structural pre-check and the parser
// together, then writing the value back and reading it again.
#include "fuzz/fuzz_input.h"
#include "platform/foundation/property_list.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto value = foundation::readPropertyListData(foundation::Data(data, data + size));
  if (!value) return 0;
  if (const auto xml = foundation::propertyListXML(*value)) foundation::readPropertyListData(*xml);
  return 0;
}
