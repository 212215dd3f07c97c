#pragma once
// The settings of one conversion: a plain record copied whole by value
// wherever it is handed on (preset, engine, session, preview). The engine's
// checks rewrite fields of their own working copy, so several fields are both
// settings and results of a conversion.
//
// The member initialisers are the defaults of a new preset. Values that come
// from single-precision sources are stored widened, double(float(x)), so
// that a record read back from a preset file compares equal to a new one.

#include <cstdint>

#include "platform/raster/geometry.h"

namespace velumar {

// The exact double a single-precision value widens to.
constexpr double widenedFromFloat(float value) {
  return double(value);
}

struct ImageModifyInfo {
  bool doImageResize = false;               // redraw through the render pipeline at a computed size
  bool preserveMetadata = false;            // carry the source's metadata into the result
  bool resizeAndConvertOnlyMaxRep = false;  // convert only the representation with most pixels
  bool isSourceDestinationGIF = false;      // a GIF converted to GIF: load its frames
  double rFactorW = 1.0;                    // width factor for unit 0 (1.0 = 100 %)
  double rFactorH = 1.0;                    // height factor for unit 0
  double fixedSizeW = 0.0;                  // target width in the unit; 0 keeps the source's
  double fixedSizeH = 0.0;                  // target height in the unit; 0 keeps the source's
  std::int64_t resizeConversionType = 0;    // unit: 0 factor, 1 px, 2 in, 3 cm, 4 mm, 5 pt
  std::int64_t resizeScaleType = 0;         // how the image is fitted or transformed
  bool setFromFixedSize = false;            // fixed sizes are pixels (0 = the source's side)
  double jpegCompressionFactor = 1.0;       // quality of lossy output, 0 to 1
  bool isForOriginalRep = true;
  double dpi = 72.0;            // resolution of the result when modifyImageDpi is set
  bool onlySetDpi = false;      // keep the pixels, change only the size in points
  bool modifyImageDpi = false;  // size results for dpi instead of the source's resolution
  bool convertMultipleImagesInTIFF = false;
  bool convert2XImagesInTIFF = false;
  bool convertMultipleImagesInPSD = false;
  bool roundedCornersICNS = false;
  bool shadowICNS = false;
  bool keepOriginalFileTypeIfPossible = false;
  std::int64_t doTiffCompression = 0;  // 1 LZW, 2 PackBits, else none
  std::int64_t originalFileType = 10;  // file-type code of the input (10 other image)
  std::int64_t conversionType = 0;     // conversion code of the output
  bool aspectRatio = true;
  std::int64_t addNameDate = 0;
  std::int64_t searchSubFolders = 1;
  bool preserveCMYKAlpha = false;
  std::int64_t colorSpaceModel = 1;  // 0 gray, 1 RGB, 2 CMYK
  std::int64_t colorSpace = 0;       // 0 keep, 1..7 named spaces, 8+ installed profile
  std::int64_t filterType0 = 0;
  std::int64_t filterType1 = 0;
  std::int64_t filterType2 = 0;
  bool optionAutoAdjust = false;
  bool optionEnhance = false;
  bool optionRedEye = false;
  bool optionFeatures = false;
  bool optionFeaturesIsolateFaces = false;
  bool optionFeaturesAutoAdjustFaces = false;
  bool optionFeaturesBiggerBoundsFaces = false;
  bool optionFeaturesBlurFaces = false;
  bool optionFeaturesPixelateFaces = false;
  bool optionFeaturesFrameFaces = false;
  bool optionFeaturesVignetteFaces = false;
  bool optionFeaturesBlurBackgroundFaces = false;
  bool optionFeaturesSaveCropFaces = false;
  bool optionFeaturesEyeBlink = false;
  std::int64_t compositeMode = 0;
  std::int64_t openWith = 0;
  bool addWatermarkText = false;
  bool addWatermarkDate = false;
  bool addWatermarkImage = false;
  double textAngle = 0.0;
  double textObliqueness = 0.0;
  double textOpacity = 1.0;
  std::uint64_t dateStyle = 1;  // 1 short, 2 medium, 3 long, 4 full
  double imageAngle = 0.0;
  double imageSizePercent = 1.0;
  double imageOpacity = 1.0;
  raster::Point textOrigin{0, 0};
  raster::Point imageOrigin{0, 0};
  double compositeOpacity = 1.0;
  double compositeSizePercent = 1.0;
  raster::Point compositeOrigin{50, 50};  // percent of the image
  bool watermarkOriginalAlpha = false;
  bool compositeOriginalAlpha = false;
  std::int64_t compositeModeType = 0;
  std::uint64_t imageDepth = 0;         // 0 source, 1 8-bit, 2 16-bit, 3 32-bit float
  std::uint64_t imageTransparency = 0;  // 0 as source, 1 without alpha, 2 with alpha
  bool addBorder = false;
  bool preserveBorderRatio = false;
  double topBorderSize = 0.0;
  double bottomBorderSize = 0.0;
  double leftBorderSize = 0.0;
  double rightBorderSize = 0.0;
  double borderColorR = 1.0;
  double borderColorG = 1.0;
  double borderColorB = 1.0;
  double borderColorA = 1.0;
  double borderOpacity = 1.0;
  double cropCenterX = 0.5;  // fraction of the width; during a conversion the crop's x in pixels
  double cropCenterY = 0.5;  // fraction of the height; during a conversion the crop's y in pixels
  double stretchAndCropStretch = 0.5;
  double stretchAndCropCrop = 0.5;
  bool resizeBeforeCrop = false;             // set during a conversion: scale by 2 before cropping
  double rotationAngle = 0.0;                // degrees
  double unrotatedWidth = 0.0;               // set during a conversion
  double unrotatedHeight = 0.0;              // set during a conversion
  raster::Size cropAndRotateCropSize{0, 0};  // set during a conversion
  bool drawWithAlpha = false;                // set during a conversion
  bool wantsMixWithDepthData = false;
  bool wantsDepthBeforeCompositing = false;
  bool wantsDepthExport = false;
  bool depthInvert = false;
  double depthSlope = 4.0;
  double depthWidth = widenedFromFloat(0.1f);
  double depthFocalPoint = 0.75;
  double depthIntensity = widenedFromFloat(0.99f);
  double depthBlurBackground = 0.0;
  double depthBlackBackground = 0.0;
  bool wantsTinyPlanet = false;
  bool tinyPlanetInvert = false;
  double tinyPlanetScale = widenedFromFloat(0.05f);
  double tinyPlanetFactor = 1.5;
  double tinyPlanetAngle = 0.0;
  double tinyPlanetFusion = 0.0;
  bool addLUT = false;
  double lutIntensity = 1.0;
  bool addToneCurve = false;
  bool addToneCurveRed = false;
  bool addToneCurveGreen = false;
  bool addToneCurveBlue = false;

  // A record with every field 0, as an engine object holds before anyone
  // hands it settings.
  static ImageModifyInfo zeroed();

  bool operator==(const ImageModifyInfo&) const = default;
};

}  // namespace velumar
