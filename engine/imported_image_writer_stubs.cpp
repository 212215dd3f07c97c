// Writers the dispatcher calls whose own work comes later: face crops,
// icon sets and PSD files. Until then they write nothing; the file writers
// answer false, so the conversion counts as failed rather than as written.

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

bool ImportedImage::savePSDOneLayerForBmpRep(const BitmapRepRef& /*rep*/, std::int64_t /*index*/,
                                             const std::string& /*path*/, bool /*preserveMetadata*/,
                                             bool /*clearMetadataAndUpdateTags*/) {
  return false;
}

bool ImportedImage::saveMultiplePSDFilesFromImage(const raster::ImageSet& /*image*/,
                                                  bool /*preserveMetadata*/,
                                                  const std::string& /*initialFilePath*/) {
  return false;
}

}  // namespace velumar
