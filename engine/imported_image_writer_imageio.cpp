// The metadata-keeping writer of one image, the TIFF dictionary settings,
// free output names and file tags.

#include "engine/imported_image.h"
#include "engine/imported_image_writer_support.h"
#include "platform/foundation/files.h"
#include "platform/imageio/image_destination.h"
#include "platform/imageio/unnamed_file.h"

namespace velumar {

using foundation::Dictionary;
using foundation::Value;

bool ImportedImage::createCGImageAndSaveMetadataFromBitmapRep(
    const BitmapRepRef& rep, std::int64_t index, const std::string& type, const std::string& path,
    double jpegCompressionFactor, std::int64_t doTIFFCompression, bool releaseMetadataAndUpdateTags) {
  const bool isJPEG = type == writers::kTypeJPEG;
  // A JPEG with depth is written even without source metadata, with the
  // same properties it would have had otherwise.
  const bool withDepth = isJPEG && exportedDepthImage != nullptr;
  raster::ImageRef image = writers::imageToWrite(rep);
  if (!image || (!imageMetadataArray && !withDepth)) {
    if (releaseMetadataAndUpdateTags) releasePropertiesAndMetadata();
    return false;
  }
  auto destination = imageio::ImageDestination::create(path, type, 1);
  if (!destination) {
    if (releaseMetadataAndUpdateTags) releasePropertiesAndMetadata();
    return false;
  }

  Dictionary record = imageMetadataArray ? writers::recordAt(*imageMetadataArray, index) : Dictionary{};
  const double resolution = writers::resolutionOf(*rep);
  record.set("DPIWidth", Value(resolution));
  record.set("DPIHeight", Value(resolution));
  record.set("Depth", Value(rep->bitsPerSample()));
  writers::updateExifPixelDimensions(record, *rep);
  if (isJPEG) record.set("LossyCompressionQuality", Value(jpegCompressionFactor));
  const bool isTIFF = type == writers::kTypeTIFF;
  if (isTIFF) setTIFFCompressionForDictionary(record, doTIFFCompression);
  writers::setOrientationAndTIFFDictionary(record, resolution,
                                           isTIFF ? doTIFFCompression : writers::kNoTIFFCompression);

  destination->addImage(std::move(image), Value(std::move(record)),
                        withDepth ? exportDepthImageToDestination() : std::nullopt);
  const bool written = destination->finalize();
  if (releaseMetadataAndUpdateTags) releasePropertiesAndMetadata();
  if (!written) return false;
  if (releaseMetadataAndUpdateTags) updateTagsForFileName(path);
  urlsArray.push_back(imageio::committedPath(path));
  return true;
}

void ImportedImage::setTIFFCompressionForDictionary(Dictionary& dictionary, std::int64_t compression) {
  std::int64_t code = 1;
  if (compression == 1) code = 5;
  if (compression == 2) code = 32773;
  dictionary.set("Compression", Value(code));
}

void ImportedImage::setTIFFResolutionForDictionary(Dictionary& dictionary, double resolution) {
  dictionary.set("ResolutionUnit", Value(2));
  dictionary.set("XResolution", Value(resolution));
  dictionary.set("YResolution", Value(resolution));
}

std::string ImportedImage::createFileNameWithPath(const std::string& path) {
  std::string free = foundation::freeName(path);
  imageio::noteFreeNameBase(free, path);
  return free;
}

void ImportedImage::updateTagsForFileName(const std::string& path) const {
  const std::optional<std::vector<std::string>> tags = actFileTags();
  // The tags go to the file as committed, never to a file that took its
  // name meanwhile.
  if (tags) foundation::writeTags(imageio::committedPath(path), *tags);
}

}  // namespace velumar
