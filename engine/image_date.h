#pragma once
// The date an image was taken, as the date watermark, output names and the
// preview's sort by date use it.

#include <optional>
#include <string>

#include "platform/foundation/value.h"
#include "platform/imageio/image_source.h"

namespace velumar {

// EXIF DateTimeOriginal, else DateTimeDigitized, else the creation date of
// the file at path. A present date that does not parse gives no date at all.
std::optional<foundation::Date> imageDate(const imageio::ImageSource& source, const std::string& path);

}  // namespace velumar
