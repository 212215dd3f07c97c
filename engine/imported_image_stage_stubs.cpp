// Entry points of engine stages built in their own files later. Until then
// the watermark step draws nothing.

#include "engine/imported_image.h"

namespace velumar {

void ImportedImage::drawTextAndImageWithContext(raster::BitmapContext*, ImageModifyInfo) {}

}  // namespace velumar
