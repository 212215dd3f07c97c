#pragma once
// The image information of a shown file: name, size and dates, the first
// page's size, page count and attributes of a PDF, and the image
// properties of its first image. It travels with
// "previewNewImageFromDragAndDrop" to the image-info window.

#include <string>

#include "platform/foundation/value.h"

namespace velumar {

// Never fails: a file that cannot be read still gets its name and
// "Image is PDF", with an empty "Image Dictionary".
foundation::Value imageInformationForFile(const std::string& path);

}  // namespace velumar
