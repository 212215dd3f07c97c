// The source's image properties kept beside the rendered representations
// for the writers, and the image's date for the date watermark and for the
// date in output names.

#include <chrono>

#include "engine/exif_date.h"
#include "engine/image_date.h"
#include "engine/imported_image.h"
#include "platform/foundation/files.h"

namespace velumar {

namespace {

using foundation::Value;

const Value kEmptyDictionary{foundation::Dictionary{}};

}  // namespace

ImportedImage::MetadataSource ImportedImage::prepareMetadataArrayForURL(const std::string& path) {
  releasePropertiesAndMetadata();
  if (path.empty()) return nullptr;
  MetadataSource source = imageio::ImageSource::open(path);
  if (source) imageMetadataArray = foundation::Array{};
  return source;
}

void ImportedImage::updateMetadataDictionaryForSource(const MetadataSource& source, std::int64_t repIndex) {
  if (!imageMetadataArray) return;
  if (!source || repIndex < 0) {
    imageMetadataArray->push_back(kEmptyDictionary);
    return;
  }
  const std::size_t index = std::size_t(repIndex) < source->count() ? std::size_t(repIndex) : 0;
  Value properties = source->properties(index);
  imageMetadataArray->push_back(properties.isDictionary() ? std::move(properties) : kEmptyDictionary);
}

void ImportedImage::releaseMetadataSource(MetadataSource source) {
  if (imageMetadataArray && !imageMetadataArray->empty()) {
    Value properties = source ? source->fileProperties() : kEmptyDictionary;
    imageMetadataArray->push_back(properties.isDictionary() ? std::move(properties) : kEmptyDictionary);
  }
  source.reset();
}

void ImportedImage::releasePropertiesAndMetadata() {
  imageMetadataArray.reset();
}

void ImportedImage::updateImageDateWithURL(const std::string& path, const MetadataSource& source) {
  watermarkDrawDate.clear();
  watermarkMetadataDate.reset();
  MetadataSource opened = source ? source : imageio::ImageSource::open(path);
  if (!opened) return;
  watermarkMetadataDate = imageDate(*opened, path);
}

std::optional<foundation::Date> ImportedImage::dateFromString(std::string_view text) {
  return parseExifDateTime(text);
}

std::optional<foundation::Date> ImportedImage::dateFromFileManager(const std::string& path) {
  if (path.empty()) return std::nullopt;
  return foundation::creationDate(path);
}

std::string ImportedImage::stringDateWithURL(const std::string& path) {
  const MetadataSource source = path.empty() ? nullptr : imageio::ImageSource::open(path);
  if (!source) return genericDateString();
  const std::optional<foundation::Date> date = imageDate(*source, path);
  if (!date) return genericDateString();
  std::string text = fileNameDateString(*date);
  return text.empty() ? genericDateString() : text;
}

std::string ImportedImage::genericDateString() {
  return fileNameDateString(std::chrono::system_clock::now());
}

}  // namespace velumar
