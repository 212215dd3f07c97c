#pragma once
// Helpers shared by the output writers: the destination types, the
// resolution a representation is written with, the pixels handed to an
// encoder, the property records of one image, and plain encoding without
// source metadata (the fallback of every metadata-keeping writer).

#include <cstdint>
#include <string>
#include <vector>

#include "platform/foundation/value.h"
#include "platform/raster/bitmap_image_rep.h"
#include "platform/raster/image.h"

namespace velumar {
class RWPSDWriter;
}

namespace velumar::writers {

inline constexpr const char* kTypeJPEG = "public.jpeg";
inline constexpr const char* kTypePNG = "public.png";
inline constexpr const char* kTypeBMP = "com.microsoft.bmp";
inline constexpr const char* kTypeTIFF = "public.tiff";
inline constexpr const char* kTypePDF = "com.adobe.pdf";
inline constexpr const char* kTypeGIF = "com.compuserve.gif";
inline constexpr const char* kTypeHEIF = "public.heic";
inline constexpr const char* kTypePSD = "com.adobe.photoshop-image";

// Dots per inch: pixel width × 72 / width in points, rounded in single
// precision; 72 when the size in points is unusable.
double resolutionOf(const raster::BitmapImageRep& rep);

// The pixels to encode: the representation's image with non-finite float
// components replaced. nullptr without a representation.
raster::ImageRef imageToWrite(const raster::BitmapImageRepRef& rep);

// The dictionary at index of records (a copy), or an empty one when the
// index is outside or the entry is no dictionary.
foundation::Dictionary recordAt(const foundation::Array& records, std::int64_t index);

// The dictionary stored under key (a copy), or an empty one.
foundation::Dictionary dictionaryAt(const foundation::Dictionary& record, std::string_view key);

// Sets the {TIFF} dictionary of record: orientation 1, the resolution and,
// for TIFF output (compression >= 0), the compression; and the top-level
// orientation 1.
void setOrientationAndTIFFDictionary(foundation::Dictionary& record, double resolution,
                                     std::int64_t tiffCompression);
inline constexpr std::int64_t kNoTIFFCompression = -1;

// Kept Exif pixel dimensions describe the source; they become the
// representation's. Nothing when the record has no {Exif}.
void updateExifPixelDimensions(foundation::Dictionary& record, const raster::BitmapImageRep& rep);

// The record for one TIFF page: DPI, depth, compression at the top level
// and in {TIFF}, orientation 1, Exif pixel dimensions.
void prepareTIFFPageRecord(foundation::Dictionary& record, const raster::BitmapImageRep& rep,
                           double resolution, std::int64_t tiffCompression);

// Writes the representations as one file of type without source metadata,
// as the platform's bitmap encoders do: each image with its resolution and
// extra (quality, compression). false when nothing could be written.
bool writeWithoutMetadata(const std::vector<raster::BitmapImageRepRef>& reps, const std::string& type,
                          const std::string& path, const foundation::Dictionary& extra);

// The representation as a PNG with an empty property dictionary (no
// metadata, no resolution), written atomically; false (with a log line) on
// failure.
bool writePlainPNG(const raster::BitmapImageRepRef& rep, const std::string& path);

// A layered document's bytes written atomically to path; false for no
// writer or a document without visible layers (empty data).
bool writePSDDocument(RWPSDWriter* writer, const std::string& path);

// Whether any pixel of image is less than opaque (at 8 bits).
bool hasTransparency(const raster::Image& image);

}  // namespace velumar::writers
