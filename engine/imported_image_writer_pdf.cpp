// PDF of every representation of an image: one page each, at the size the
// representation's resolution gives it.

#include "engine/imported_image.h"
#include "engine/imported_image_writer_support.h"
#include "platform/imageio/image_destination.h"
#include "platform/imageio/unnamed_file.h"

namespace velumar {

using foundation::Dictionary;
using foundation::Value;

bool ImportedImage::createPDFMultipleRepsAndSaveMetadataFromImage(const raster::ImageSet& image,
                                                                  bool preserveMetadata,
                                                                  const std::string& path) {
  const auto& reps = image.representations();
  auto destination =
      reps.empty() ? nullptr : imageio::ImageDestination::create(path, writers::kTypePDF, reps.size());
  if (!destination) {
    releasePropertiesAndMetadata();
    return false;
  }
  const bool keepMetadata = preserveMetadata && imageMetadataArray;
  for (std::size_t i = 0; i < reps.size(); ++i) {
    raster::ImageRef pixels = writers::imageToWrite(reps[i]);
    if (!pixels) {
      releasePropertiesAndMetadata();
      return false;
    }
    Dictionary record = keepMetadata ? writers::recordAt(*imageMetadataArray, std::int64_t(i)) : Dictionary{};
    const double resolution = writers::resolutionOf(*reps[i]);
    record.set("DPIWidth", Value(resolution));
    record.set("DPIHeight", Value(resolution));
    record.set("Orientation", Value(1));
    destination->addImage(std::move(pixels), Value(std::move(record)));
  }
  const bool written = destination->finalize();
  if (written) {
    updateTagsForFileName(path);
    urlsArray.push_back(imageio::committedPath(path));
  }
  releasePropertiesAndMetadata();
  return written;
}

}  // namespace velumar
