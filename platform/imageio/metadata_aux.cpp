// Camera details outside the standard dictionaries: the auxiliary XMP
// namespace and a few maker-note tags, read best effort.

#include <exiv2/exiv2.hpp>

#include <optional>
#include <string>

#include "platform/imageio/metadata_convert.h"

namespace imageio::metadata_detail {

namespace {

// The first of the keys that is present with a non-empty value.
template <typename Container, typename Key>
std::optional<std::string> firstText(const Container& data, std::initializer_list<const char*> keys) {
  for (const char* name : keys) {
    try {
      const auto found = data.findKey(Key(name));
      if (found == data.end()) continue;
      std::string text = found->toString();
      while (!text.empty() && (text.back() == ' ' || text.back() == '\0')) text.pop_back();
      if (!text.empty()) return text;
    } catch (const std::exception&) {
      // A key this exiv2 does not know.
    }
  }
  return std::nullopt;
}

}  // namespace

foundation::Dictionary auxiliaryDictionary(const Exiv2::ExifData& exif, const Exiv2::XmpData& xmp) {
  foundation::Dictionary aux;
  auto text = [&](std::initializer_list<const char*> xmpKeys, std::initializer_list<const char*> exifKeys) {
    std::optional<std::string> value = firstText<Exiv2::XmpData, Exiv2::XmpKey>(xmp, xmpKeys);
    if (!value) value = firstText<Exiv2::ExifData, Exiv2::ExifKey>(exif, exifKeys);
    return value;
  };
  if (auto number = text({"Xmp.aux.ImageNumber"}, {"Exif.Image.ImageNumber", "Exif.Canon.FileNumber"})) {
    try {
      const long long value = std::stoll(*number);
      if (value >= 0) aux.set("ImageNumber", std::int64_t(value));
    } catch (const std::exception&) {
    }
  }
  if (auto serial = text({"Xmp.aux.SerialNumber"}, {"Exif.Photo.BodySerialNumber", "Exif.Canon.SerialNumber",
                                                    "Exif.Nikon3.SerialNumber", "Exif.Olympus.SerialNumber"}))
    aux.set("SerialNumber", *serial);
  if (auto lens =
          text({"Xmp.aux.Lens", "Xmp.exifEX.LensModel"}, {"Exif.Photo.LensModel", "Exif.Canon.LensModel"}))
    aux.set("LensModel", *lens);
  return aux;
}

}  // namespace imageio::metadata_detail
