#include "engine/image_date.h"

#include "engine/imported_image.h"

namespace velumar {

std::optional<foundation::Date> imageDate(const imageio::ImageSource& source, const std::string& path) {
  const foundation::Value properties = source.properties(0);
  const foundation::Value* exif = properties.get("{Exif}");
  if (!exif || !exif->isDictionary()) return ImportedImage::dateFromFileManager(path);
  for (const char* key : {"DateTimeOriginal", "DateTimeDigitized"}) {
    if (const foundation::Value* text = exif->get(key)) {
      return text->asString() ? ImportedImage::dateFromString(*text->asString()) : std::nullopt;
    }
  }
  return ImportedImage::dateFromFileManager(path);
}

}  // namespace velumar
