#pragma once
// Loading one preset file's dictionary into a preset.

#include <memory>
#include <string>

#include "engine/image_info.h"
#include "engine/imported_image.h"
#include "platform/foundation/value.h"

namespace velumar {

// The preset dictionary describes, named after the last component of path
// and remembering path. Missing keys and values of the wrong type take the
// key table's values; menu indexes out of range become 0; the colour-space
// index is checked against the engine's installed profiles.
std::shared_ptr<ImageInfo> imageInfoFromPresetDictionary(const foundation::Dictionary& dictionary,
                                                         const std::string& path,
                                                         const ImportedImage& engine);

}  // namespace velumar
