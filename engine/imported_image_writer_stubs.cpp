// Writers the dispatcher calls whose own work comes later: face crops and
// icon sets. Until then they write nothing; the file writers answer false,
// so the conversion counts as failed rather than as written.

#include "engine/imported_image.h"

namespace velumar {

void ImportedImage::saveCropFaceRepsToFile(const std::string& /*path*/) {}

bool ImportedImage::saveIcnsFromImageRep(const BitmapRepRef& /*rep*/, const std::string& /*path*/,
                                         bool /*addRoundedCorners*/, bool /*addShadow*/) {
  return false;
}

bool ImportedImage::saveXcodeIconsetFromImageRep(const BitmapRepRef& /*rep*/, const std::string& /*path*/,
                                                 bool /*overwrite*/, bool /*addRoundedCorners*/,
                                                 bool /*addShadow*/) {
  return false;
}

bool ImportedImage::saveIOSIconsetFromImageRep(const BitmapRepRef& /*rep*/, const std::string& /*path*/,
                                               bool /*overwrite*/, bool /*addRoundedCorners*/,
                                               bool /*addShadow*/) {
  return false;
}

bool ImportedImage::saveXcode2XSetFromImageRep(const BitmapRepRef& /*rep*/, const std::string& /*path*/,
                                               bool /*overwrite*/, bool /*addRoundedCorners*/,
                                               bool /*addShadow*/) {
  return false;
}

}  // namespace velumar
