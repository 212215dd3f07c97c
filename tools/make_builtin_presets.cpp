// Writes the 16 built-in preset files into a folder, through the preset
// writer, so that the committed resources are exactly what the format
// produces. Usage: make_builtin_presets <folder>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>

#include "engine/image_info.h"
#include "platform/foundation/property_list.h"
#include "presets/preset_catalogue.h"
#include "presets/preset_file.h"
#include "session/rename_info.h"

namespace {

using velumar::ImageInfo;
using velumar::ImageModifyInfo;

// Values every built-in preset shares: no stored file options, nothing that
// would override the user's output choices, every effect off.
std::shared_ptr<ImageInfo> sharedValues() {
  auto preset = std::make_shared<ImageInfo>();
  preset->canDeletePreset = false;
  preset->presetSavingMethod = -2;
  preset->presetSavingPath = velumar::kOutputFolderPlaceholder;
  preset->filterValues = foundation::Array(velumar::kFilterValueCount, foundation::Value(""));
  for (auto* curve : {&preset->toneCurvePoints, &preset->toneCurvePointsRed, &preset->toneCurvePointsGreen,
                      &preset->toneCurvePointsBlue})
    *curve = velumar::diagonalCurvePoints();
  ImageModifyInfo r = preset->imageModifyInfo();
  r.searchSubFolders = -1;  // keeps the user's choice
  preset->setImageModifyInfo(r);
  return preset;
}

struct BuiltIn {
  std::int64_t conversionType;
  double jpegFactor;  // written as given; 1.0 where the format has no quality
  std::function<void(ImageModifyInfo&, ImageInfo&)> differences;
};

void none(ImageModifyInfo&, ImageInfo&) {}

// In catalogue order: the values that differ from the shared ones.
const BuiltIn kBuiltIns[velumar::kBuiltInPresetCount] = {
    {0, 0.9, none},
    {0, 0.7, none},
    {0, 0.6,
     [](ImageModifyInfo& r, ImageInfo&) {
       r.colorSpace = 3;  // sRGB
       r.modifyImageDpi = true;
       r.dpi = 72;
     }},
    {0, 0.9,
     [](ImageModifyInfo& r, ImageInfo&) {
       r.modifyImageDpi = true;
       r.dpi = 144;
     }},
    {0, 0.9,
     [](ImageModifyInfo& r, ImageInfo&) {
       r.keepOriginalFileTypeIfPossible = true;
       r.optionAutoAdjust = true;
       r.optionEnhance = true;
     }},
    {0, 0.9,
     [](ImageModifyInfo& r, ImageInfo& p) {
       r.filterType0 = 57;  // saturation, brightness, contrast
       p.filterValues[0] = foundation::singlePrecisionReal(1.2);
       p.filterValues[1] = foundation::singlePrecisionReal(0.0);
       p.filterValues[2] = foundation::singlePrecisionReal(1.1);
     }},
    {0, 0.9,
     [](ImageModifyInfo& r, ImageInfo&) {
       r.optionFeatures = true;
       r.optionFeaturesIsolateFaces = true;
       r.optionFeaturesFrameFaces = true;
     }},
    {3, 1.0,
     [](ImageModifyInfo& r, ImageInfo&) {
       r.colorSpace = 4;
       r.doTiffCompression = 1;
     }},
    {4, 1.0,
     [](ImageModifyInfo& r, ImageInfo&) {
       r.modifyImageDpi = true;
       r.dpi = 300;
     }},
    {5, 1.0,
     [](ImageModifyInfo& r, ImageInfo&) {
       r.roundedCornersICNS = true;
       r.shadowICNS = true;
     }},
    {7, 1.0, [](ImageModifyInfo& r, ImageInfo&) { r.convert2XImagesInTIFF = true; }},
    {11, 1.0, none},
    {10, 1.0, none},
    {9, 1.0, none},
    {13, 1.0, none},
    {8, 1.0,
     [](ImageModifyInfo& r, ImageInfo&) {
       r.convertMultipleImagesInTIFF = true;
       r.doTiffCompression = 1;
     }},
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
    return 2;
  }
  const std::filesystem::path folder(argv[1]);
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  for (std::size_t i = 0; i < velumar::kBuiltInPresetCount; ++i) {
    const BuiltIn& builtIn = kBuiltIns[i];
    auto preset = sharedValues();
    ImageModifyInfo r = preset->imageModifyInfo();
    r.conversionType = builtIn.conversionType;
    r.jpegCompressionFactor = builtIn.jpegFactor;
    builtIn.differences(r, *preset);
    preset->setImageModifyInfo(r);
    const std::string path = (folder / velumar::kBuiltInPresetNames[i]).string();
    if (!foundation::writePropertyList(path,
                                       foundation::Value(velumar::presetDictionaryFromImageInfo(*preset)))) {
      std::fprintf(stderr, "cannot write %s\n", path.c_str());
      return 1;
    }
  }
  return 0;
}
