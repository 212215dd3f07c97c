// GIF of a GIF source's frames: every frame with its source record (delay
// and the rest) and the file's GIF properties (loop count); when that
// cannot be done, the largest frame alone.

#include "engine/imported_image.h"
#include "engine/imported_image_writer_support.h"
#include "platform/imageio/image_destination.h"
#include "platform/imageio/unnamed_file.h"

namespace velumar {

using foundation::Dictionary;
using foundation::Value;

namespace {

// The frame timing and loop count of a record, nothing else: they belong to
// the animation, not to what the keep-metadata setting removes.
Value timingOf(const Value& record) {
  const Value* gif = record.get("{GIF}");
  if (!gif || !gif->isDictionary()) return Value(Dictionary{});
  Dictionary timing;
  for (const char* key : {"DelayTime", "UnclampedDelayTime", "LoopCount"})
    if (const Value* value = gif->get(key)) timing[key] = *value;
  return Value(Dictionary{{"{GIF}", Value(std::move(timing))}});
}

}  // namespace

bool ImportedImage::saveAGifVersionFromImage(const raster::ImageSet& image, const std::string& path,
                                             bool preserveMetadata,
                                             const std::optional<foundation::Array>& imageInfoArray) {
  // The frames' own records, as the conversion of a GIF source loads them
  // whatever the keep-metadata setting, reduced to their timing.
  std::optional<foundation::Array> timing;
  if (!(preserveMetadata && imageInfoArray) && imageMetadataArray) {
    foundation::Array records;
    for (const Value& record : *imageMetadataArray) records.push_back(timingOf(record));
    timing = foundation::Array{Value(std::move(records))};
  }
  const std::optional<foundation::Array>& frameRecords = timing ? timing : imageInfoArray;
  if ((preserveMetadata || timing) && frameRecords) {
    const bool written = createCGImageGIFMultipleRepsAndSaveMetadataFromImage(image, path, *frameRecords);
    releasePropertiesAndMetadata();
    if (written) {
      updateTagsForFileName(path);
      urlsArray.push_back(imageio::committedPath(path));
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
    urlsArray.push_back(imageio::committedPath(path));
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
