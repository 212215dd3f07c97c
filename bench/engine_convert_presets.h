#pragma once
// The named settings records the whole-batch benchmark converts with. Each
// changes only the fields its conversion needs; the rest keep the defaults
// of a new preset.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/file_type_codes.h"
#include "engine/image_modify_info.h"

namespace enginebench {

struct Preset {
  std::string_view name;
  std::string_view description;
  velumar::ImageModifyInfo (*settings)();
};

inline velumar::ImageModifyInfo jpeg1600() {
  velumar::ImageModifyInfo info;
  info.conversionType = velumar::ConversionType::JPEG;
  info.jpegCompressionFactor = 0.8;
  info.doImageResize = true;
  info.resizeConversionType = 1;  // pixels
  info.resizeScaleType = 5;       // fit the longer side
  info.fixedSizeW = 1600;
  info.fixedSizeH = 1600;
  return info;
}

inline velumar::ImageModifyInfo pngSameSize() {
  velumar::ImageModifyInfo info;
  info.conversionType = velumar::ConversionType::PNG;
  return info;
}

inline velumar::ImageModifyInfo tiffLzw() {
  velumar::ImageModifyInfo info;
  info.conversionType = velumar::ConversionType::TIFF;
  info.doTiffCompression = 1;  // LZW
  return info;
}

inline const std::vector<Preset>& presets() {
  static const std::vector<Preset> all{
      {"jpeg1600",
       "JPEG, quality 0.8, longer side 1600 pixels (conversionType 0, jpegCompressionFactor 0.8, "
       "doImageResize, resizeConversionType 1, resizeScaleType 5, fixedSizeW/H 1600)",
       jpeg1600},
      {"png-same-size", "PNG at the source's size (conversionType 1)", pngSameSize},
      {"tiff-lzw", "TIFF with LZW compression at the source's size (conversionType 3, doTiffCompression 1)",
       tiffLzw},
  };
  return all;
}

inline std::optional<Preset> presetNamed(std::string_view name) {
  for (const Preset& preset : presets()) {
    if (preset.name == name) return preset;
  }
  return std::nullopt;
}

// The output extension of a conversion code, as the session names files.
inline std::string_view extensionForConversionType(std::int64_t conversionType) {
  switch (conversionType) {
    case velumar::ConversionType::JPEG:
      return "jpg";
    case velumar::ConversionType::PNG:
      return "png";
    case velumar::ConversionType::BMP:
      return "bmp";
    case velumar::ConversionType::TIFF:
    case velumar::ConversionType::TIFF2x:
    case velumar::ConversionType::TIFFMultiple:
      return "tiff";
    case velumar::ConversionType::PDF:
      return "pdf";
    case velumar::ConversionType::GIF:
      return "gif";
    case velumar::ConversionType::PSD:
    case velumar::ConversionType::PSDLayered:
      return "psd";
    case velumar::ConversionType::HEIF:
      return "heif";
    default:
      return "out";
  }
}

}  // namespace enginebench
