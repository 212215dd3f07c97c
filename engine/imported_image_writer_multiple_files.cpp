// JPEG or PNG output of an image with several representations: one file
// per representation, named photo.jpg, photo 2.jpg, photo 3.jpg, ...

#include "engine/imported_image.h"
#include "engine/imported_image_writer_support.h"
#include "platform/imageio/unnamed_file.h"

namespace velumar {

using foundation::Dictionary;
using foundation::Value;

bool ImportedImage::saveMultipleFilesFromImage(const raster::ImageSet& image, const std::string& type,
                                               bool preserveMetadata, const std::string& initialFilePath,
                                               double jpegCompression, double tiffCompression) {
  const bool isJPEG = type == writers::kTypeJPEG;
  const auto& reps = image.representations();
  std::size_t written = 0;
  for (std::size_t i = 0; i < reps.size(); ++i) {
    // The first file goes to the path itself (replacing a file there), the
    // others to free names; a failed file leaves the others as written.
    const std::string path = i == 0 ? initialFilePath : createFileNameWithPath(initialFilePath);
    bool ok = false;
    if (preserveMetadata && imageMetadataArray) {
      ok = createCGImageAndSaveMetadataFromBitmapRep(reps[i], std::int64_t(i), type, path, jpegCompression,
                                                     std::int64_t(tiffCompression), false);
    } else {
      Dictionary extra;
      if (isJPEG) extra.set("LossyCompressionQuality", Value(jpegCompression));
      ok = writers::writeWithoutMetadata({reps[i]}, type, path, extra);
      if (ok) urlsArray.push_back(imageio::committedPath(path));
    }
    if (ok) ++written;
  }
  releasePropertiesAndMetadata();
  return !reps.empty() && written == reps.size();
}

}  // namespace velumar
