// HEIF output: the picture without source metadata, with the exported
// depth image as its disparity map when the render left one.

#include "engine/imported_image.h"
#include "engine/imported_image_writer_support.h"
#include "platform/imageio/image_destination.h"
#include "platform/imageio/unnamed_file.h"

namespace velumar {

bool ImportedImage::saveHEIFFromBitmapRep(const BitmapRepRef& rep, std::int64_t /*index*/,
                                          const std::string& path, bool releaseMetadataAndUpdateTags) {
  const bool written = writeHEIFImageWithCGImage(writers::imageToWrite(rep), path);
  if (releaseMetadataAndUpdateTags) releasePropertiesAndMetadata();
  if (!written) return false;
  if (releaseMetadataAndUpdateTags) updateTagsForFileName(path);
  urlsArray.push_back(imageio::committedPath(path));
  return true;
}

bool ImportedImage::writeHEIFImageWithCGImage(const raster::ImageRef& image, const std::string& path) {
  if (!image) return false;
  auto destination = imageio::ImageDestination::create(path, writers::kTypeHEIF, 1);
  if (!destination) return false;
  std::optional<imageio::DepthData> depth;
  if (exportedDepthImage) {
    depth = exportDepthImageToDestination();
    // A depth image that cannot be rendered fails the write rather than
    // silently dropping the depth.
    if (!depth) return false;
  }
  destination->addImage(image, foundation::Value(foundation::Dictionary{}), std::move(depth));
  return destination->finalize();
}

}  // namespace velumar
