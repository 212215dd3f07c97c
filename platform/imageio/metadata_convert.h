#pragma once
// Conversion between exiv2's metadata containers and the property
// dictionaries ({Exif}, {TIFF}, {GPS}, {IPTC}). Internal to imageio: only
// metadata*.cpp include it, so exiv2's headers stay out of everyone else's.

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#include <exiv2/exiv2.hpp>
#pragma GCC diagnostic pop

#include <string>

#include "platform/foundation/value.h"

namespace imageio::metadata_detail {

inline constexpr const char* kExifDictionary = "{Exif}";
inline constexpr const char* kTiffDictionary = "{TIFF}";
inline constexpr const char* kGpsDictionary = "{GPS}";
inline constexpr const char* kIptcDictionary = "{IPTC}";
inline constexpr const char* kRawMetadata = "{RawMetadata}";

// Sets up exiv2 once: quiet logging routed to our log, a lock for the XMP
// toolkit, BMFF (HEIF) support where the library has it.
void initializeExiv2();

// The dictionaries of an Exif container: {Exif}, {TIFF} and {GPS} (only
// those that get at least one key), plus top-level Orientation.
foundation::Dictionary dictionariesFromExif(const Exiv2::ExifData& exif);
// The {ExifAux} dictionary, best effort: ImageNumber, SerialNumber and
// LensModel from the auxiliary XMP tags, else from standard and maker-note
// Exif tags (empty when none is found).
foundation::Dictionary auxiliaryDictionary(const Exiv2::ExifData& exif, const Exiv2::XmpData& xmp);
// The {IPTC} dictionary of an IPTC container (empty when nothing maps).
foundation::Dictionary dictionaryFromIptc(const Exiv2::IptcData& iptc);

// The exiv2 key a dictionary key stands for ("{Exif}", "FNumber" ->
// "Exif.Photo.FNumber"); empty when the key is not one we write.
std::string exifKeyFor(const std::string& dictionary, const std::string& key);
std::string iptcKeyFor(const std::string& key);

// Stores value under the exiv2 key, converted to the tag's type. False when
// the value does not fit the tag (the container is left unchanged then).
bool setExifValue(Exiv2::ExifData& exif, const std::string& key, const foundation::Value& value);
bool setIptcValue(Exiv2::IptcData& iptc, const std::string& key, const foundation::Value& value);

}  // namespace imageio::metadata_detail
