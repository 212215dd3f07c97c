// GIF of a GIF source's frames: every frame with its source record (delay
// and the rest) and the file's GIF properties (loop count); when that
// cannot be done, the largest frame alone.

#include "engine/imported_image.h"
#include "engine/imported_image_writer_support.h"
#include "platform/imageio/image_destination.h"

namespace velumar {

using foundation::Dictionary;
using foundation::Value;

bool ImportedImage::saveAGifVersionFromImage(const raster::ImageSet& image, const std::string& path,
                                             bool preserveMetadata,
                                             const std::optional<foundation::Array>& imageInfoArray) {
  if (preserveMetadata && imageInfoArray) {
    const bool written = createCGImageGIFMultipleRepsAndSaveMetadataFromImage(image, path, *imageInfoArray);
    releasePropertiesAndMetadata();
    if (written) {
      updateTagsForFileName(path);
      urlsArray.push_back(path);
      return true;
    }
  }
  const auto& reps = image.representations();
  bool written = false;
  if (!reps.empty()) {
    const std::size_t index =
        indexMaxPixels >= 0 && std::size_t(indexMaxPixels) < reps.size() ? std::size_t(indexMaxPixels) : 0;
    written = writers::writeWithoutMetadata({reps[index]}, writers::kTypeGIF, path, Dictionary{});
  }
  if (written) {
    updateTagsForFileName(path);
    urlsArray.push_back(path);
  }
  releasePropertiesAndMetadata();
  return written;
}

bool ImportedImage::createCGImageGIFMultipleRepsAndSaveMetadataFromImage(
    const raster::ImageSet& image, const std::string& path, const foundation::Array& dictionaryArray) {
  const auto& reps = image.representations();
  if (reps.empty()) return false;
  // Every record of every source file in order: the frames' records, then
  // the file record.
  foundation::Array records;
  for (const Value& inner : dictionaryArray) {
    const foundation::Array* list = inner.asArray();
    if (!list) return false;
    records.insert(records.end(), list->begin(), list->end());
  }
  if (records.size() != reps.size() + 1) return false;
  auto destination = imageio::ImageDestination::create(path, writers::kTypeGIF, reps.size());
  if (!destination) return false;
  for (std::size_t i = 0; i < reps.size(); ++i) {
    raster::ImageRef pixels = writers::imageToWrite(reps[i]);
    if (!pixels) return false;
    destination->addImage(std::move(pixels), Value(writers::recordAt(records, std::int64_t(i))));
  }
  const Dictionary fileRecord = writers::recordAt(records, std::int64_t(records.size() - 1));
  if (const Value* gif = fileRecord.find("{GIF}"); gif && gif->isDictionary())
    destination->setProperties(Value(Dictionary{{"{GIF}", *gif}}));
  return destination->finalize();
}

}  // namespace velumar
