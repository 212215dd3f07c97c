// PSD output through the image destination: one flattened image per file,
// for one bitmap or for every representation of an image.

#include <filesystem>

#include "engine/imported_image.h"
#include "engine/imported_image_writer_support.h"
#include "platform/foundation/log.h"

namespace velumar {

namespace {

// The first free "name N.psd" from 2. Unlike a plain free name it is never
// the first path itself, so a later representation never takes the place
// of a first one that could not be written.
std::string numberedVariantOf(const std::string& path) {
  const std::string free = ImportedImage::createFileNameWithPath(path);
  if (free != path) return free;
  const std::string extension = std::filesystem::path(path).filename().extension().string();
  const std::string stem = path.substr(0, path.size() - extension.size());
  for (long n = 2;; ++n) {
    std::string candidate = stem + " " + std::to_string(n) + extension;
    std::error_code error;
    if (!std::filesystem::exists(std::filesystem::symlink_status(candidate, error))) return candidate;
  }
}

}  // namespace

bool ImportedImage::savePSDOneLayerForBmpRep(const BitmapRepRef& rep, std::int64_t index,
                                             const std::string& path, bool preserveMetadata,
                                             bool clearMetadataAndUpdateTags) {
  if (!rep) return false;
  if (preserveMetadata && imageMetadataArray)
    return createCGImageAndSaveMetadataFromBitmapRep(rep, index, writers::kTypePSD, path, 1.0,
                                                     writers::kNoTIFFCompression, clearMetadataAndUpdateTags);
  return createCGImagePSDFromBitmapRep(rep, path, clearMetadataAndUpdateTags);
}

bool ImportedImage::saveMultiplePSDFilesFromImage(const raster::ImageSet& image, bool preserveMetadata,
                                                  const std::string& initialFilePath) {
  const auto& reps = image.representations();
  std::size_t written = 0;
  for (std::size_t i = 0; i < reps.size(); ++i) {
    // The first file replaces whatever is at the path; the others take
    // free numbered names. A failed file leaves the written ones as they are.
    const std::string path = i == 0 ? initialFilePath : numberedVariantOf(initialFilePath);
    if (savePSDOneLayerForBmpRep(reps[i], std::int64_t(i), path, preserveMetadata, false)) {
      ++written;
    } else {
      foundation::log("psd output: representation {} of {} not written to {}", i + 1, reps.size(), path);
    }
  }
  releasePropertiesAndMetadata();
  return !reps.empty() && written == reps.size();
}

}  // namespace velumar
