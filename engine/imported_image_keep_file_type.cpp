// The keep-original-type rule: a conversion may write the input's own type
// instead of the chosen output, with the output options that type needs.

#include "engine/imported_image.h"

namespace velumar {

namespace {

// Outputs that are never replaced by the input's type.
bool isAlwaysKept(std::int64_t conversionType) {
  switch (conversionType) {
    case ConversionType::TIFF2x:
    case ConversionType::TIFFMultiple:
    case ConversionType::IOSIconSet:
    case ConversionType::XcodeIconSet:
    case ConversionType::Xcode2xFolder:
    case ConversionType::PSDLayered:
      return true;
    default:
      return conversionType > ConversionType::HEIF;
  }
}

bool needsAlphaDrawing(std::int64_t conversionType) {
  return conversionType == ConversionType::IOSIconSet || conversionType == ConversionType::XcodeIconSet ||
         conversionType == ConversionType::Xcode2xFolder;
}

void clearIconOptions(ImageModifyInfo& info) {
  info.roundedCornersICNS = false;
  info.shadowICNS = false;
}

void clearDepthAndTransparency(ImageModifyInfo& info) {
  info.imageDepth = 0;
  info.imageTransparency = 0;
}

void applyInputType(ImageModifyInfo& info, std::int64_t fileType) {
  switch (fileType) {
    case FileType::JPEG:
    case FileType::BMP:
    case FileType::PDF:
    case FileType::GIF:
    case FileType::HEIF:
      info.conversionType = fileType;
      clearIconOptions(info);
      clearDepthAndTransparency(info);
      break;
    case FileType::PNG:
    case FileType::TIFF:
      info.conversionType = fileType;
      clearIconOptions(info);
      break;
    case FileType::ICNS:
      info.conversionType = ConversionType::ICNS;
      clearDepthAndTransparency(info);
      break;
    case FileType::PSD:
      info.conversionType = ConversionType::PSD;
      clearIconOptions(info);
      clearDepthAndTransparency(info);
      break;
    default:
      // No output of the input's type: the chosen output stays.
      if (info.conversionType == ConversionType::ICNS) {
        clearDepthAndTransparency(info);
      } else if (info.conversionType == ConversionType::PNG || info.conversionType == ConversionType::TIFF) {
        clearIconOptions(info);
      } else {
        clearIconOptions(info);
        clearDepthAndTransparency(info);
      }
      break;
  }
}

}  // namespace

void ImportedImage::verifyKeepOriginalFileTypeForImageInfo(ImageModifyInfo& info,
                                                           const std::optional<FileTypeDetection>& types,
                                                           std::int64_t originalFileType) {
  info.drawWithAlpha = false;
  if (info.keepOriginalFileTypeIfPossible) {
    // Without a type to keep nothing else changes.
    if (!types && originalFileType < 0) return;
  }
  if (info.keepOriginalFileTypeIfPossible && !isAlwaysKept(info.conversionType)) {
    const std::int64_t fileType = types ? types->fileType : originalFileType;
    if (info.conversionType != ConversionType::TIFF) info.doTiffCompression = 1;
    if (info.conversionType != ConversionType::JPEG) info.jpegCompressionFactor = 1.0;
    applyInputType(info, fileType);
  }
  if (needsAlphaDrawing(info.conversionType)) info.drawWithAlpha = true;
}

bool ImportedImage::verifyBitmapRepsForImageReps(const BitmapRepList& reps) {
  for (const BitmapRepRef& rep : reps)
    if (rep && rep->image()) return true;
  return false;
}

}  // namespace velumar
