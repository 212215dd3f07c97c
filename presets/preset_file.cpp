#include "presets/preset_file.h"

#include <array>
#include <cmath>
#include <limits>

#include "engine/file_type_codes.h"
#include "platform/foundation/property_list.h"
#include "presets/watermark_text_archive.h"

namespace velumar {

namespace {

using foundation::Array;
using foundation::Dictionary;
using foundation::Value;
using K = PresetKeyType;
using S = PresetSpecialKey;
using M = ImageModifyInfo;
using I = ImageInfo;

constexpr std::optional<double> kKept = std::nullopt;

// clang-format off
const std::array<PresetKey, 131> kTable{{
    {1, "Resize Image", K::Boolean, &M::doImageResize, 0, {}},
    {2, "Dpi", K::Real, &M::dpi, 0, {}},
    {3, "Original Format", K::Boolean, &M::isForOriginalRep, 0, {}},
    {4, "Keep Original File Type", K::Boolean, &M::keepOriginalFileTypeIfPossible, 0, {}},
    {5, "Modify Dpi", K::Boolean, &M::modifyImageDpi, 0, {}},
    {6, "Only Set Dpi", K::Boolean, &M::onlySetDpi, 0, {}},
    {7, "Resize Factor W", K::Real, &M::rFactorW, 0, {}},
    {8, "Resize Factor H", K::Real, &M::rFactorH, 0, {}},
    {9, "Conversion Type", K::Integer, &M::conversionType, 0, ConversionType::Count - 1},
    {10, "Multiple to TIFF", K::Boolean, &M::convertMultipleImagesInTIFF, 0, {}},
    {11, "2x TIFF", K::Boolean, &M::convert2XImagesInTIFF, 0, {}},
    {12, "TIFF Compression", K::Integer, &M::doTiffCompression, 0, 2},
    {13, "JPEG Factor", K::Real, &M::jpegCompressionFactor, 0, {}},
    {14, "Aspect Ratio", K::Boolean, &M::aspectRatio, 0, {}},
    {15, "Fixed Size Set", K::Boolean, &M::setFromFixedSize, 0, {}},
    {16, "Fixed Size W", K::Real, &M::fixedSizeW, 0, {}},
    {17, "Fixed Size H", K::Real, &M::fixedSizeH, 0, {}},
    {18, "Resize Type", K::Integer, &M::resizeConversionType, 0, 5},
    {19, "Cancel Preset", K::Boolean, &I::canDeletePreset, 0, {}},
    {20, "Search Subfolders", K::Integer, &M::searchSubFolders, 0, {}},
    {21, "Preserve Metadata", K::Boolean, &M::preserveMetadata, 0, {}},
    {22, "Preserve CMYK Alpha", K::Boolean, &M::preserveCMYKAlpha, 0, {}},
    {23, "Color Space", K::Integer, &M::colorSpace, 0, {}},
    {24, "Profile Description", K::String, &I::profileDescription, kKept, {}},
    {25, "Filter Type 0", K::Integer, &M::filterType0, 0, 111},
    {26, "Filter Type 1", K::Integer, &M::filterType1, 0, 111},
    {27, "Filter Type 2", K::Integer, &M::filterType2, 0, 111},
    {28, "Resize Method", K::Integer, &M::resizeScaleType, 0, 16},
    {29, "Rounded Corners", K::Boolean, &M::roundedCornersICNS, 0, {}},
    {30, "Shadow", K::Boolean, &M::shadowICNS, 0, {}},
    {31, "Filter Values", K::Array, S::FilterValues, kKept, {}},
    {32, "Auto Adjust", K::Boolean, &M::optionAutoAdjust, 0, {}},
    {33, "Enhance", K::Boolean, &M::optionEnhance, 0, {}},
    {34, "Red Eyes", K::Boolean, &M::optionRedEye, 0, {}},
    {35, "Features", K::Boolean, &M::optionFeatures, 0, {}},
    {36, "Isolate Faces", K::Boolean, &M::optionFeaturesIsolateFaces, 0, {}},
    {37, "Auto Adjust Faces", K::Boolean, &M::optionFeaturesAutoAdjustFaces, 0, {}},
    {38, "Bounds Faces", K::Boolean, &M::optionFeaturesBiggerBoundsFaces, 0, {}},
    {39, "Blur Faces", K::Boolean, &M::optionFeaturesBlurFaces, 0, {}},
    {40, "Pixelate Faces", K::Boolean, &M::optionFeaturesPixelateFaces, 0, {}},
    {41, "Frame Faces", K::Boolean, &M::optionFeaturesFrameFaces, 0, {}},
    {42, "Vignette Faces", K::Boolean, &M::optionFeaturesVignetteFaces, 0, {}},
    {43, "Blur Back Faces", K::Boolean, &M::optionFeaturesBlurBackgroundFaces, 0, {}},
    {44, "Save Crop Faces", K::Boolean, &M::optionFeaturesSaveCropFaces, 0, {}},
    {45, "Eyeblink", K::Boolean, &M::optionFeaturesEyeBlink, 0, {}},
    {46, "Composite Mode", K::Integer, &M::compositeMode, 0, 32},
    {47, "Open With", K::Integer, &M::openWith, 0, 14},
    {48, "Name Date", K::Integer, &M::addNameDate, 0, 3},
    {49, "Composite Origin X", K::Real, PresetPointAxis{&M::compositeOrigin, false}, kKept, {}},
    {50, "Composite Origin Y", K::Real, PresetPointAxis{&M::compositeOrigin, true}, kKept, {}},
    {51, "Composite Opacity", K::Real, &M::compositeOpacity, kKept, {}},
    {52, "Composite Size", K::Real, &M::compositeSizePercent, kKept, {}},
    {53, "Composite Mode Type", K::Integer, &M::compositeModeType, 0, {}},
    {54, "Image Depth", K::Integer, &M::imageDepth, 0, 3},
    {55, "Image Alpha", K::Integer, &M::imageTransparency, 0, 2},
    {56, "Add Border", K::Boolean, &M::addBorder, 0, {}},
    {57, "Preserve Border Ratio", K::Boolean, &M::preserveBorderRatio, 0, {}},
    {58, "Top Border Value", K::Real, &M::topBorderSize, 0, {}},
    {59, "Bottom Border Value", K::Real, &M::bottomBorderSize, 0, {}},
    {60, "Left Border Value", K::Real, &M::leftBorderSize, 0, {}},
    {61, "Right Border Value", K::Real, &M::rightBorderSize, 0, {}},
    {62, "Border Opacity", K::Real, &M::borderOpacity, 1.0, {}},
    {63, "Border Color Red", K::Real, &M::borderColorR, 1.0, {}},
    {64, "Border Color Green", K::Real, &M::borderColorG, 1.0, {}},
    {65, "Border Color Blue", K::Real, &M::borderColorB, 1.0, {}},
    {66, "Border Color Alpha", K::Real, &M::borderColorA, 1.0, {}},
    {67, "Crop X", K::Real, &M::cropCenterX, 0.5, {}},
    {68, "Crop Y", K::Real, &M::cropCenterY, 0.5, {}},
    {69, "Stretch And Crop Stretch", K::Real, &M::stretchAndCropStretch, 0.5, {}},
    {70, "Stretch And Crop Crop", K::Real, &M::stretchAndCropCrop, 0.5, {}},
    {71, "Rotation Angle", K::Real, &M::rotationAngle, 0, {}},
    {72, "WantsMixWithDepthData", K::Boolean, &M::wantsMixWithDepthData, 0, {}},
    {73, "WantsDepthBeforeCompositing", K::Boolean, &M::wantsDepthBeforeCompositing, 0, {}},
    {74, "WantsDepthExport", K::Boolean, &M::wantsDepthExport, 0, {}},
    {75, "DepthInvert", K::Boolean, &M::depthInvert, 0, {}},
    {76, "DepthFocalPoint", K::Real, &M::depthFocalPoint, 0.75, {}},
    {77, "DepthSlope", K::Real, &M::depthSlope, 4.0, {}},
    {78, "DepthWidth", K::Real, &M::depthWidth, 0.1, {}},
    {79, "DepthBlurBackground", K::Real, &M::depthBlurBackground, 0, {}},
    {80, "DepthBlackBackground", K::Real, &M::depthBlackBackground, 0, {}},
    {81, "WantsTinyPlanet", K::Boolean, &M::wantsTinyPlanet, 0, {}},
    {82, "TinyPlanetInvert", K::Boolean, &M::tinyPlanetInvert, 0, {}},
    {83, "TinyPlanetScale", K::Real, &M::tinyPlanetScale, 0.05, {}},
    {84, "TinyPlanetFactor", K::Real, &M::tinyPlanetFactor, 1.5, {}},
    {85, "TinyPlanetAngle", K::Real, &M::tinyPlanetAngle, 0, {}},
    {86, "TinyPlanetFusion", K::Real, &M::tinyPlanetFusion, 0, {}},
    {87, "AddLUT", K::Boolean, &M::addLUT, 0, {}},
    {88, "LUTIntensity", K::Real, &M::lutIntensity, 1.0, {}},
    {89, "LUTArray", K::Array, S::LUTArray, kKept, {}},
    {90, "AddToneCurve", K::Boolean, &M::addToneCurve, 0, {}},
    {91, "ToneCurvePoints", K::Array, S::ToneCurvePoints, kKept, {}},
    {92, "AddToneCurveRed", K::Boolean, &M::addToneCurveRed, 0, {}},
    {93, "ToneCurvePointsRed", K::Array, S::ToneCurvePointsRed, kKept, {}},
    {94, "AddToneCurveGreen", K::Boolean, &M::addToneCurveGreen, 0, {}},
    {95, "ToneCurvePointsGreen", K::Array, S::ToneCurvePointsGreen, kKept, {}},
    {96, "AddToneCurveBlue", K::Boolean, &M::addToneCurveBlue, 0, {}},
    {97, "ToneCurvePointsBlue", K::Array, S::ToneCurvePointsBlue, kKept, {}},
    {98, "Open With AppID", K::Dictionary, S::OpenWithAppID, kKept, {}},
    {99, "Composite Alpha", K::Boolean, S::CompositeAlpha, kKept, {}},
    {100, "Composite Image", K::Boolean, S::CompositeImage, kKept, {}},
    {101, "Add Watermark Text", K::Boolean, &M::addWatermarkText, kKept, {}},
    {102, "Add Watermark Date", K::Boolean, &M::addWatermarkDate, kKept, {}},
    {103, "Watermark Date Style", K::Integer, &M::dateStyle, kKept, {}},
    {104, "Add Watermark Image", K::Boolean, &M::addWatermarkImage, kKept, {}},
    {105, "Text Angle", K::Real, &M::textAngle, kKept, {}},
    {106, "Text Obliqueness", K::Real, &M::textObliqueness, kKept, {}},
    {107, "Text Opacity", K::Real, &M::textOpacity, kKept, {}},
    {108, "Image Angle", K::Real, &M::imageAngle, kKept, {}},
    {109, "Image Size", K::Real, &M::imageSizePercent, kKept, {}},
    {110, "Image Opacity", K::Real, &M::imageOpacity, kKept, {}},
    {111, "Text Origin X", K::Real, PresetPointAxis{&M::textOrigin, false}, kKept, {}},
    {112, "Text Origin Y", K::Real, PresetPointAxis{&M::textOrigin, true}, kKept, {}},
    {113, "Image Origin X", K::Real, PresetPointAxis{&M::imageOrigin, false}, kKept, {}},
    {114, "Image Origin Y", K::Real, PresetPointAxis{&M::imageOrigin, true}, kKept, {}},
    {115, "Text String", K::String, &I::watermarkPresetText, kKept, {}},
    {116, "Watermark Alpha", K::Boolean, S::WatermarkAlpha, kKept, {}},
    {117, "Watermark Image", K::Boolean, S::WatermarkImage, kKept, {}},
    {118, "Watermark Text Attributes", K::DataOrBoolean, S::WatermarkTextAttributes, kKept, {}},
    {119, "Overwrite Files", K::Boolean, &I::overwriteFiles, 0, {}},
    {120, "Maintain Hierarchy", K::Boolean, &I::maintainHierarchy, 1, {}},
    {121, "Rename Ignore", K::Boolean, &I::renameIgnoreProcessing, 0, {}},
    {122, "Saving Method", K::Integer, &I::presetSavingMethod, 0, {}},
    {123, "Preset Path", K::String, &I::presetSavingPath, kKept, {}},
    {124, "Selected Popup", K::Integer, &I::selectedNumberPopUp, 0, 2},
    {125, "Initial Number", K::Integer, &I::initialNumber, 0, {}},
    {126, "Zeros", K::Integer, &I::zerosNumber, 0, {}},
    {127, "Prefix File", K::String, &I::prefixFile, kKept, {}},
    {128, "Name File", K::String, &I::nameFile, kKept, {}},
    {129, "Suffix File", K::String, &I::suffixFile, kKept, {}},
    {130, "Composite Image URL", K::String, S::CompositeImageURL, kKept, {}},
    {131, "Watermark Image URL", K::String, S::WatermarkImageURL, kKept, {}},
}};
// clang-format on

bool isFiniteNumber(const Value& value) {
  return value.isBool() || value.isInteger() || (value.isReal() && std::isfinite(*value.toDouble()));
}

Value pointsValue(const std::optional<std::vector<raster::Point>>& points) {
  Array out;
  for (const raster::Point& p : points.value_or(diagonalCurvePoints())) {
    Array pair;
    pair.emplace_back(p.x);
    pair.emplace_back(p.y);
    out.emplace_back(std::move(pair));
  }
  return out;
}

// The value a plain field holds, as the file stores it.
Value fieldValue(const PresetKey& row, const ImageModifyInfo& record, const ImageInfo& preset) {
  return std::visit(
      [&](const auto& target) -> Value {
        using T = std::decay_t<decltype(target)>;
        if constexpr (std::is_same_v<T, PresetSpecialKey>) {
          return Value();
        } else if constexpr (std::is_same_v<T, PresetPointAxis>) {
          const raster::Point& p = record.*(target.point);
          return foundation::singlePrecisionReal(target.y ? p.y : p.x);
        } else if constexpr (std::is_same_v<typename PresetMemberOf<T>::Type, double>) {
          return foundation::singlePrecisionReal(record.*target);
        } else if constexpr (std::is_same_v<typename PresetMemberOf<T>::Class, ImageModifyInfo>) {
          return Value(record.*target);
        } else {
          return Value(preset.*target);
        }
      },
      row.target);
}

Value specialValue(PresetSpecialKey key, const ImageModifyInfo& record, const ImageInfo& preset) {
  switch (key) {
    case S::FilterValues:
      return preset.filterValues;
    case S::LUTArray:
      return preset.lutArray ? Value(*preset.lutArray) : Value();
    case S::ToneCurvePoints:
      return pointsValue(preset.toneCurvePoints);
    case S::ToneCurvePointsRed:
      return pointsValue(preset.toneCurvePointsRed);
    case S::ToneCurvePointsGreen:
      return pointsValue(preset.toneCurvePointsGreen);
    case S::ToneCurvePointsBlue:
      return pointsValue(preset.toneCurvePointsBlue);
    case S::OpenWithAppID:
      return preset.openWithAppID;
    case S::CompositeAlpha:
      return record.compositeOriginalAlpha;
    case S::CompositeImage:
      return preset.compositePresetURL.has_value();
    case S::CompositeImageURL:
      return preset.compositePresetURL ? Value(*preset.compositePresetURL) : Value();
    case S::WatermarkAlpha:
      return record.watermarkOriginalAlpha;
    case S::WatermarkImage:
      return preset.watermarkPresetURL.has_value();
    case S::WatermarkImageURL:
      return preset.watermarkPresetURL ? Value(*preset.watermarkPresetURL) : Value();
    case S::WatermarkTextAttributes: {
      if (!record.addWatermarkText) return false;
      auto archive = archiveTextAttributes(preset.watermarkTextAttributes);
      return archive ? Value(std::move(*archive)) : Value(false);
    }
  }
  return Value();
}

}  // namespace

std::span<const PresetKey> presetKeyTable() {
  return kTable;
}

const PresetKey* presetKeyNamed(std::string_view key) {
  for (const PresetKey& row : kTable)
    if (row.key == key) return &row;
  return nullptr;
}

std::optional<bool> presetBoolean(const foundation::Value* value) {
  if (!value || !isFiniteNumber(*value)) return std::nullopt;
  return value->toBool();
}

std::optional<std::int64_t> presetInteger(const foundation::Value* value) {
  if (!value || !isFiniteNumber(*value)) return std::nullopt;
  return value->toInt();
}

std::optional<double> presetReal(const foundation::Value* value) {
  if (!value || !isFiniteNumber(*value)) return std::nullopt;
  const double x = *value->toDouble();
  if (std::abs(x) > double(std::numeric_limits<float>::max())) return std::nullopt;
  return double(float(x));
}

std::vector<raster::Point> diagonalCurvePoints() {
  return {{0, 0}, {0.25, 0.25}, {0.5, 0.5}, {0.75, 0.75}, {1, 1}};
}

foundation::Dictionary presetDictionaryFromImageInfo(const ImageInfo& preset) {
  const ImageModifyInfo record = preset.imageModifyInfo();
  Dictionary out;
  for (const PresetKey& row : kTable) {
    const auto* special = std::get_if<PresetSpecialKey>(&row.target);
    Value value = special ? specialValue(*special, record, preset) : fieldValue(row, record, preset);
    if (!value.isNull()) out.set(std::string(row.key), std::move(value));
  }
  return out;
}

}  // namespace velumar
