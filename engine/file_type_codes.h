#pragma once
// The numeric codes that travel between detection, the settings record, the
// session and the writers: what a file is (file-type codes) and what it is
// converted to (conversion codes).

#include <cstdint>
#include <string_view>

namespace velumar {

// What detection found an input file to be; also the values of the
// `originalFileType` field. Codes 11 to 13 are never produced.
namespace FileType {
inline constexpr std::int64_t JPEG = 0;
inline constexpr std::int64_t PNG = 1;
inline constexpr std::int64_t BMP = 2;
inline constexpr std::int64_t TIFF = 3;
inline constexpr std::int64_t PDF = 4;
inline constexpr std::int64_t ICNS = 5;
inline constexpr std::int64_t GIF = 6;
inline constexpr std::int64_t PSD = 7;
inline constexpr std::int64_t EPS = 8;
inline constexpr std::int64_t AI = 9;
inline constexpr std::int64_t OtherImage = 10;
inline constexpr std::int64_t HEIF = 14;
}  // namespace FileType

// The output a conversion writes: the `conversionType` field and the order
// of the output-format buttons.
namespace ConversionType {
inline constexpr std::int64_t JPEG = 0;
inline constexpr std::int64_t PNG = 1;
inline constexpr std::int64_t BMP = 2;
inline constexpr std::int64_t TIFF = 3;
inline constexpr std::int64_t PDF = 4;
inline constexpr std::int64_t ICNS = 5;
inline constexpr std::int64_t GIF = 6;
inline constexpr std::int64_t TIFF2x = 7;
inline constexpr std::int64_t TIFFMultiple = 8;
inline constexpr std::int64_t IOSIconSet = 9;
inline constexpr std::int64_t XcodeIconSet = 10;
inline constexpr std::int64_t Xcode2xFolder = 11;
inline constexpr std::int64_t PSD = 12;
inline constexpr std::int64_t PSDLayered = 13;
inline constexpr std::int64_t HEIF = 14;
// How many codes there are (0 to Count - 1). The format buttons, their
// titles, the output extensions and the preset file's range follow it.
inline constexpr std::int64_t Count = HEIF + 1;
}  // namespace ConversionType

// The extension detection appends for a file-type code, so the detected
// path's extension always names the type; empty for codes never produced.
constexpr std::string_view canonicalExtensionForFileType(std::int64_t fileType) {
  switch (fileType) {
    case FileType::JPEG:
      return "jpg";
    case FileType::PNG:
      return "png";
    case FileType::BMP:
      return "bmp";
    case FileType::TIFF:
      return "tiff";
    case FileType::PDF:
      return "pdf";
    case FileType::ICNS:
      return "icns";
    case FileType::GIF:
      return "gif";
    case FileType::PSD:
      return "psd";
    case FileType::EPS:
      return "eps";
    case FileType::AI:
      return "ai";
    case FileType::OtherImage:
      return "image";
    case FileType::HEIF:
      return "heif";
    default:
      return "";
  }
}

// Which special loader a file needs, from its own extension and its
// detected type (see ImportedImage's loader-kind checks).
enum class LoaderKind : int { None = 0, PDF = 1, EPS = 2, AI = 3, PSD = 4 };

}  // namespace velumar
