// Preset files: any property list, then every key of a dictionary read into
// a preset and written back.
#include "engine/imported_image.h"
#include "fuzz/fuzz_input.h"
#include "platform/foundation/property_list.h"
#include "presets/preset_file.h"
#include "presets/preset_loader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto value = foundation::readPropertyListData(foundation::Data(data, data + size));
  if (!value || !value->isDictionary()) return 0;
  static const velumar::ImportedImage engine;
  if (const auto preset =
          velumar::imageInfoFromPresetDictionary(*value->asDictionary(), "/fuzz/preset", engine)) {
    velumar::presetDictionaryFromImageInfo(*preset);
  }
  return 0;
}
