// TIFF of every representation of an image, one page each: with the
// source records of the pages when metadata is kept, else plain.

#include "engine/imported_image.h"
#include "engine/imported_image_writer_support.h"
#include "platform/imageio/image_destination.h"
#include "platform/imageio/unnamed_file.h"

namespace velumar {

using foundation::Dictionary;
using foundation::Value;

namespace {

// The per-representation records of every source file in order, each
// file's closing file-level record left out. Nothing when an entry is not
// an array or the records do not add up to one per representation.
std::optional<std::vector<Dictionary>> pageRecords(const foundation::Array& infoArray,
                                                   std::size_t pageCount) {
  std::size_t total = 0;
  for (const Value& inner : infoArray) {
    const foundation::Array* records = inner.asArray();
    if (!records) return std::nullopt;
    total += records->size();
  }
  if (total != infoArray.size() + pageCount) return std::nullopt;
  std::vector<Dictionary> pages;
  pages.reserve(pageCount);
  for (const Value& inner : infoArray) {
    const foundation::Array& records = *inner.asArray();
    for (std::size_t i = 0; i + 1 < records.size(); ++i)
      pages.push_back(writers::recordAt(records, std::int64_t(i)));
  }
  if (pages.size() != pageCount) return std::nullopt;
  return pages;
}

}  // namespace

bool ImportedImage::saveATiffVersionFromImage(const raster::ImageSet& image, const std::string& path,
                                              std::int64_t doCompression, double /*factor*/,
                                              bool preserveMetadata,
                                              const std::optional<foundation::Array>& imageInfoArray) {
  // The crops go beside the file as committed, which may have taken the
  // next free name; after the write, whichever way it ends.
  struct SaveFaceCrops {
    ImportedImage& engine;
    const std::string& path;
    ~SaveFaceCrops() { engine.saveCropFaceRepsToFile(imageio::committedPath(path)); }
  } saveFaceCrops{*this, path};
  if (preserveMetadata && imageInfoArray) {
    const bool written =
        createCGImageTIFFMultipleRepsAndSaveMetadataFromImage(image, path, doCompression, *imageInfoArray);
    releasePropertiesAndMetadata();
    if (written) {
      updateTagsForFileName(path);
      urlsArray.push_back(imageio::committedPath(path));
      return true;
    }
  }
  // Plain pages with the chosen compression (the compression factor only
  // matters to JPEG-compressed TIFF, which is never chosen).
  Dictionary compression;
  setTIFFCompressionForDictionary(compression, doCompression);
  const bool written =
      writers::writeWithoutMetadata(image.representations(), writers::kTypeTIFF, path, compression);
  if (written) {
    updateTagsForFileName(path);
    urlsArray.push_back(imageio::committedPath(path));
  }
  releasePropertiesAndMetadata();
  return written;
}

bool ImportedImage::createCGImageTIFFMultipleRepsAndSaveMetadataFromImage(
    const raster::ImageSet& image, const std::string& path, std::int64_t doTIFFCompression,
    const foundation::Array& dictionaryArray) {
  const auto& reps = image.representations();
  if (reps.empty()) return false;
  std::optional<std::vector<Dictionary>> records = pageRecords(dictionaryArray, reps.size());
  if (!records) return false;
  auto destination = imageio::ImageDestination::create(path, writers::kTypeTIFF, reps.size());
  if (!destination) return false;
  for (std::size_t i = 0; i < reps.size(); ++i) {
    raster::ImageRef pixels = writers::imageToWrite(reps[i]);
    if (!pixels) return false;
    Dictionary& record = (*records)[i];
    writers::prepareTIFFPageRecord(record, *reps[i], writers::resolutionOf(*reps[i]), doTIFFCompression);
    destination->addImage(std::move(pixels), Value(std::move(record)));
  }
  return destination->finalize();
}

}  // namespace velumar
