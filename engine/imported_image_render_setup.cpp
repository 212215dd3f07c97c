// The render pipeline's choices: which bitmap context a representation is
// drawn into, whether the filter graph is needed, the face options and the
// border.

#include <algorithm>

#include "engine/imported_image.h"

#include "filters/cifiltering.h"

namespace velumar {

namespace {

std::uint32_t alphaBits(raster::AlphaInfo alpha) {
  return std::uint32_t(alpha);
}

// Component depths a context can hold: 10 to 14 bits widen to 16, anything
// unknown becomes 8.
std::uint64_t normalisedBits(std::uint64_t bits) {
  switch (bits) {
    case 5:
    case 8:
    case 16:
    case 24:
    case 32:
      return bits;
    case 10:
    case 12:
    case 14:
      return 16;
    default:
      return 8;
  }
}

bool drawsThroughGenericRGB(raster::ColorModel model) {
  switch (model) {
    case raster::ColorModel::Lab:
    case raster::ColorModel::DeviceN:
    case raster::ColorModel::Indexed:
    case raster::ColorModel::Pattern:
    case raster::ColorModel::Unknown:
      return true;
    default:
      return false;
  }
}

}  // namespace

ImportedImage::BitmapContextSetup ImportedImage::setupCGContextForValues(const BitmapRepRef& rep,
                                                                         const ImageModifyInfo& info) {
  BitmapContextSetup setup;
  if (!rep || !rep->image()) {
    setup.isValid = false;
    return setup;
  }
  const raster::ColorSpaceRef& space = rep->colorSpace();
  if (!space) setup.useGenericRGB = true;

  std::uint64_t bits = std::uint64_t(rep->bitsPerSample());
  if (info.imageDepth == 1) bits = 8;
  if (info.imageDepth == 2) bits = 16;
  if (info.imageDepth == 3) bits = 32;

  bool alpha = rep->hasAlpha();
  if (info.imageTransparency == 2) alpha = true;
  if (info.imageTransparency == 1) alpha = false;
  if (info.drawWithAlpha) alpha = true;

  bits = normalisedBits(bits);
  const raster::ColorModel model = space ? space->model() : raster::ColorModel::Unknown;

  if (setup.useGenericRGB || drawsThroughGenericRGB(model)) {
    setup.useGenericRGB = true;
    setup.bitsPerComponent = 8;
    setup.bitmapInfo =
        alphaBits(alpha ? raster::AlphaInfo::PremultipliedLast : raster::AlphaInfo::NoneSkipLast);
    return setup;
  }

  switch (model) {
    case raster::ColorModel::Gray:
    case raster::ColorModel::CMYK:
      // Gray and CMYK keeping alpha have draws of their own.
      if (bits == 24 || bits == 32) {
        setup.bitsPerComponent = 32;
        setup.bitmapInfo = kBitmapInfoFloatComponents | alphaBits(raster::AlphaInfo::None);
      } else if (bits == 16 || bits == 8) {
        setup.bitsPerComponent = bits;
        setup.bitmapInfo = alphaBits(raster::AlphaInfo::None);
      } else {
        setup.isValid = false;
      }
      break;
    case raster::ColorModel::RGB: {
      const raster::AlphaInfo last =
          alpha ? raster::AlphaInfo::PremultipliedLast : raster::AlphaInfo::NoneSkipLast;
      if (bits == 5) {
        setup.bitsPerComponent = 5;
        setup.bitmapInfo = alphaBits(raster::AlphaInfo::NoneSkipFirst);
      } else if (bits == 8) {
        const unsigned format = rep->bitmapFormat();
        const bool alphaFirst =
            format == raster::BitmapFormatAlphaFirst ||
            format == (raster::BitmapFormatAlphaFirst | raster::BitmapFormatAlphaNonpremultiplied);
        setup.bitsPerComponent = 8;
        setup.bitmapInfo = alphaBits(
            alphaFirst ? (alpha ? raster::AlphaInfo::PremultipliedFirst : raster::AlphaInfo::NoneSkipFirst)
                       : last);
      } else if (bits == 16) {
        setup.bitsPerComponent = 16;
        setup.bitmapInfo = alphaBits(last);
      } else {
        setup.bitsPerComponent = 32;
        setup.bitmapInfo = kBitmapInfoFloatComponents | alphaBits(last);
      }
      break;
    }
    default:
      setup.isValid = false;
      break;
  }
  return setup;
}

bool ImportedImage::needsCIContextTransformForImageInfo(const ImageModifyInfo& info) {
  const std::int64_t type = info.resizeScaleType;
  return type == 1 || (type >= 6 && type <= 16);
}

bool ImportedImage::needsCIContextForImageInfo(const ImageModifyInfo& info) {
  return needsCIContextTransformForImageInfo(info) || info.filterType0 != 0 || info.filterType1 != 0 ||
         info.filterType2 != 0 || info.optionAutoAdjust || info.optionFeatures || info.wantsTinyPlanet ||
         info.wantsMixWithDepthData || info.addLUT || info.compositeMode != 0 || info.addToneCurve ||
         info.addToneCurveRed || info.addToneCurveGreen || info.addToneCurveBlue;
}

FaceOptions ImportedImage::updateFacesOptionsWithInfo(const ImageModifyInfo& info) {
  FaceOptions options;
  options.optionAutoAdjust = info.optionAutoAdjust;
  options.optionEnhance = info.optionEnhance;
  options.optionRedEye = info.optionRedEye;
  options.optionFeatures = info.optionFeatures;
  options.optionFeaturesIsolateFaces = info.optionFeaturesIsolateFaces;
  options.optionFeaturesAutoAdjustFaces = info.optionFeaturesAutoAdjustFaces;
  options.optionFeaturesBiggerBoundsFaces = info.optionFeaturesBiggerBoundsFaces;
  options.optionFeaturesBlurFaces = info.optionFeaturesBlurFaces;
  options.optionFeaturesPixelateFaces = info.optionFeaturesPixelateFaces;
  options.optionFeaturesFrameFaces = info.optionFeaturesFrameFaces;
  options.optionFeaturesVignetteFaces = info.optionFeaturesVignetteFaces;
  options.optionFeaturesBlurBackgroundFaces = info.optionFeaturesBlurBackgroundFaces;
  options.optionFeaturesSaveCropFaces = info.optionFeaturesSaveCropFaces;
  options.optionFeaturesEyeBlink = info.optionFeaturesEyeBlink;
  options.allowFaceCrops = true;
  return options;
}

void ImportedImage::addBorderWithCGContext(raster::BitmapContext* context, bool preserveBorderRatio,
                                           double topMargin, double bottomMargin, double leftMargin,
                                           double rightMargin, double borderOpacity,
                                           const raster::Color& color) {
  if (!context) return;
  const double width = double(context->width());
  const double height = double(context->height());
  context->saveGState();
  // With the ratio kept every strip is a fraction of half the shorter side.
  double horizontalFactor = 1.0, verticalFactor = 1.0;
  if (preserveBorderRatio) {
    if (height >= width)
      verticalFactor = width / height;
    else
      horizontalFactor = height / width;
  }
  const double left = leftMargin * width * 0.5 * horizontalFactor;
  const double right = rightMargin * width * 0.5 * horizontalFactor;
  const double top = topMargin * height * 0.5 * verticalFactor;
  const double bottom = bottomMargin * height * 0.5 * verticalFactor;

  context->setFlatness(0.6);
  context->setLineCap(raster::LineCap::Round);
  context->setLineJoin(raster::LineJoin::Bevel);
  context->setFillColor(color);
  context->setBlendMode(raster::BlendMode::Normal);
  context->setAlpha(borderOpacity);
  // One path, non-zero winding: corners where strips overlap are covered once.
  context->fillRects({raster::Rect(0, 0, left, height), raster::Rect(0, height - top, width, top),
                      raster::Rect(width - right, 0, right, height), raster::Rect(0, 0, width, bottom)});
  context->restoreGState();
}

void ImportedImage::compositeWithContext(raster::BitmapContext* context, const raster::ImageRef& unfiltered,
                                         const ImageModifyInfo& info) {
  if (info.compositeMode == 0) return;
  ciPhotoFilters->compositeFilterWithCGContext(
      context, unfiltered, compositeCIInputImage, compositeImageOpacity, compositeImageSize,
      compositeImageOrigin(), info.compositeModeType, info.compositeMode);
}

void ImportedImage::addBorderAndWatermarksWithContext(raster::BitmapContext* context,
                                                      const ImageModifyInfo& info) {
  addBorderWithInfo(context, info);
  drawTextAndImageWithContext(context, info);
}

void ImportedImage::addBorderWithInfo(raster::BitmapContext* context, const ImageModifyInfo& info) {
  if (info.addBorder && (info.topBorderSize > 0 || info.bottomBorderSize > 0 || info.leftBorderSize > 0 ||
                         info.rightBorderSize > 0)) {
    addBorderWithCGContext(context, info.preserveBorderRatio, info.topBorderSize, info.bottomBorderSize,
                           info.leftBorderSize, info.rightBorderSize, info.borderOpacity,
                           raster::Color::calibratedRGB(info.borderColorR, info.borderColorG,
                                                        info.borderColorB, info.borderColorA));
  }
}

}  // namespace velumar
