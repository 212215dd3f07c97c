// Face crops beside the output come with the face detector; until then
// there are none to save.

#include "engine/imported_image.h"

namespace velumar {

void ImportedImage::saveCropFaceRepsToFile(const std::string& /*path*/) {}

}  // namespace velumar
