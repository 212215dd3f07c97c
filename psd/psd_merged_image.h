#pragma once
// The merged image of a PSD saved without one: such files (the version-info
// resource says so) hold a white placeholder where the composite belongs,
// and the layers flattened stand in for it.

#include <string>

#include "platform/raster/image.h"

namespace velumar {

// False only when the file's version-info resource says its stored
// composite is not the real merged image; true when it says nothing or
// cannot be read that far.
bool storesRealMergedImage(const std::string& path);

// The document's layers flattened by our compositor, premultiplied RGBA
// 8-bit in the document's colour space; nullptr when the layered reader
// refuses the file.
raster::ImageRef flattenedLayers(const std::string& path);

}  // namespace velumar
