#pragma once
// The stored form of the watermark's text attributes: a binary property list,
// kept as data inside a preset, whose root key "Watermark Text Attributes"
// holds the attributes' fields.

#include <optional>

#include "platform/foundation/value.h"
#include "platform/raster/attributed_text.h"

namespace velumar {

// The archive of attributes; the colour is stored as sRGB components.
std::optional<foundation::Data> archiveTextAttributes(const raster::TextAttributes& attributes);

// The attributes an archive holds; nullopt, with a log line, for data that
// is not such an archive or holds values of the wrong type or range.
std::optional<raster::TextAttributes> unarchiveTextAttributes(const foundation::Data& archive);

}  // namespace velumar
