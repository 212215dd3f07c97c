// Property lists, binary and XML: the structural pre-check and the parser
// together, then the size check of the value's file, writing the value back,
// reading it again and comparing the two.
#include "fuzz/fuzz_input.h"
#include "platform/foundation/property_list.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto value = foundation::readPropertyListData(foundation::Data(data, data + size));
  if (!value) return 0;
  (void)foundation::propertyListFileFits(*value);
  const auto xml = foundation::propertyListXML(*value);
  if (!xml) return 0;
  if (const auto again = foundation::readPropertyListData(*xml)) (void)(*again == *value);
  return 0;
}
