// The engine's main draw: one representation at its target pixel size
// through every stage the settings ask for, in a fixed order.

#include <cmath>

#include "engine/finite_float_pixels.h"
#include "engine/imported_image.h"
#include "engine/pixel_count.h"
#include "filters/cifiltering.h"

namespace velumar {

namespace {

int colorComponentsFor(const raster::ColorSpaceRef& space) {
  return space ? space->components() : 3;
}

std::uint32_t bitmapInfoOf(const raster::PixelFormat& format) {
  return std::uint32_t(format.alpha) | (format.isFloat() ? ImportedImage::kBitmapInfoFloatComponents : 0u);
}

raster::PixelFormat pixelFormatFor(const ImportedImage::BitmapContextSetup& setup, int colorComponents) {
  raster::PixelFormat format;
  format.bitsPerComponent = int(setup.bitsPerComponent);
  format.colorComponents = colorComponents;
  format.alpha = raster::AlphaInfo(setup.bitmapInfo & ImportedImage::kBitmapInfoAlphaMask);
  return format;
}

bool fitsInPlace(const raster::BitmapImageRep& rep, const ImportedImage::BitmapContextSetup& setup,
                 std::int64_t width, std::int64_t height) {
  if (setup.useGenericRGB) return false;
  if (rep.pixelsWide() != width || rep.pixelsHigh() != height) return false;
  const std::uint32_t layoutBits =
      ImportedImage::kBitmapInfoAlphaMask | ImportedImage::kBitmapInfoFloatComponents;
  if (((bitmapInfoOf(rep.pixelFormat()) ^ setup.bitmapInfo) & layoutBits) != 0) return false;
  return std::uint64_t(rep.bitsPerSample()) == setup.bitsPerComponent;
}

}  // namespace

BitmapRepRef ImportedImage::drawInCGContextFromBmpRep(const BitmapRepRef& rep, const ci::ImageRef& depthImage,
                                                      raster::Size size, ImageModifyInfo info) {
  if (!rep || !rep->image()) return nullptr;
  const std::int64_t width = pixelCountForSide(size.width);
  const std::int64_t height = pixelCountForSide(size.height);
  if (width == 0 || height == 0) return nullptr;
  const raster::Rect bounds(0, 0, double(width), double(height));
  const raster::Size entrySize = rep->size();

  const BitmapContextSetup setup = setupCGContextForValues(rep, info);
  if (!setup.isValid) return nullptr;

  std::lock_guard drawing(renderMutex_);
  CIFiltering& filters = *ciPhotoFilters;
  const raster::ImageRef source = rep->image();
  const raster::ColorSpaceRef space =
      setup.useGenericRGB ? raster::ColorSpace::genericRGB() : rep->colorSpace();

  // Drawn in place when the representation already has the context's layout.
  std::unique_ptr<raster::BitmapContext> context;
  bool inPlace = false;
  if (fitsInPlace(*rep, setup, width, height)) {
    rep->setSize({double(width), double(height)});
    context = rep->makeContext();
    if (context)
      inPlace = true;
    else
      rep->setSize(entrySize);
  }
  if (!context) {
    context =
        raster::BitmapContext::create(width, height, pixelFormatFor(setup, colorComponentsFor(space)), space);
    if (!context) return nullptr;
  }
  raster::BitmapContext* cg = context.get();

  if (rep->hasAlpha() && info.imageTransparency == 1) {
    cg->setFillColor(raster::Color::gray(1.0, 1.0));
    cg->fillRect(bounds);
  } else {
    cg->setBlendMode(raster::BlendMode::Copy);
  }
  cg->setInterpolationQuality(raster::InterpolationQuality::High);
  cg->setShouldAntialias(true);

  if (needsCIContextForImageInfo(info)) filters.createNewCIContextWithCGContext(cg, true);

  const raster::Size pixelSize{double(width), double(height)};
  const ci::ImageRef depth = transformedDepthImageForInfo(depthImage, source, pixelSize, info);
  if (info.wantsMixWithDepthData) exportedDepthImage = info.wantsDepthExport ? depth : nullptr;

  if (info.wantsTinyPlanet) {
    drawTinyPlanetWithInfo(source, pixelSize, info);
  } else {
    // In place the source is already there for the plain stretch types.
    applyImageTransformToCGImage(source, cg, info.resizeScaleType, pixelSize, info.cropCenterX,
                                 info.cropCenterY, info.stretchAndCropStretch, info.stretchAndCropCrop,
                                 info.resizeBeforeCrop, info.unrotatedWidth, info.unrotatedHeight,
                                 info.cropAndRotateCropSize, info.rotationAngle, !inPlace);
  }

  filters.takeMissingLookup();
  raster::ImageRef unfiltered = applyFilterStagesWithContext(cg, depth, info);
  if (filters.takeMissingLookup()) {
    // A Look without its lookup image fails rather than pass the picture on
    // unchanged; the lookup step noted the cause.
    filters.resetCIContext();
    if (inPlace) rep->setSize(entrySize);
    return nullptr;
  }

  const std::optional<bool> accepted =
      filters.autoAdjustFilterWithContext(cg, updateFacesOptionsWithInfo(info));
  if (accepted.has_value() && !*accepted) {
    // The eye-blink check rejected the image.
    filters.resetCIContext();
    if (inPlace) rep->setSize(entrySize);
    return nullptr;
  }

  compositeWithContext(cg, unfiltered, info);
  if (info.wantsMixWithDepthData && !info.wantsDepthBeforeCompositing)
    applyDepthWithContext(cg, unfiltered, depth, info);

  filters.drawCIImageWithCGContext(cg, info.compositeMode != 0);
  filters.framingFacesWithContext(cg, filters.facesRectArray());
  filters.resetCIContext();
  unfiltered.reset();

  addBorderAndWatermarksWithContext(cg, info);

  keepContextPixelsFinite(*cg, "render");
  raster::ImageRef drawn = cg->makeImage();
  context.reset();
  if (!drawn) {
    if (inPlace) rep->setSize(entrySize);
    return nullptr;
  }
  if (inPlace) {
    rep->setImage(std::move(drawn));
    rep->setSize(size);
    return rep;
  }
  BitmapRepRef result = raster::BitmapImageRep::withImage(std::move(drawn));
  if (!result) return nullptr;
  result->setSize(size);
  return result;
}

ci::ImageRef ImportedImage::transformedGraphImage(const ci::ImageRef& image, raster::Size pixelSize,
                                                  const ImageModifyInfo& info) {
  return translateToZeroOriginCIImage(applyImageTransformToCIImage(
      image, info.resizeScaleType, pixelSize, info.cropCenterX, info.cropCenterY, info.stretchAndCropStretch,
      info.stretchAndCropCrop, false, info.unrotatedWidth, info.unrotatedHeight, info.cropAndRotateCropSize,
      info.rotationAngle, true));
}

ci::ImageRef ImportedImage::transformedDepthImageForInfo(const ci::ImageRef& depthImage,
                                                         const raster::ImageRef& source,
                                                         raster::Size pixelSize,
                                                         const ImageModifyInfo& info) {
  if (!info.wantsMixWithDepthData) return nullptr;
  return transformedGraphImage(ciPhotoFilters->scaleDepthImage(depthImage, source), pixelSize, info);
}

void ImportedImage::drawTinyPlanetWithInfo(const raster::ImageRef& source, raster::Size pixelSize,
                                           const ImageModifyInfo& info) {
  CIFiltering& filters = *ciPhotoFilters;
  ci::ImageRef planet = filters.tinyPlanetFilterWithCIImage(
      ci::Image::withBitmap(source), info.tinyPlanetScale, info.tinyPlanetFactor, info.tinyPlanetAngle,
      info.tinyPlanetFusion, info.tinyPlanetInvert);
  planet = transformedGraphImage(planet, pixelSize, info);
  const raster::Rect bounds(0, 0, pixelSize.width, pixelSize.height);
  if (planet && filters.ciContext()) {
    filters.ciContext()->drawImage(planet->cropped(bounds), bounds, bounds);
    filters.ciContext()->clearCaches();
  }
}

raster::ImageRef ImportedImage::applyFilterStagesWithContext(raster::BitmapContext* cg,
                                                             const ci::ImageRef& depth,
                                                             const ImageModifyInfo& info) {
  CIFiltering& filters = *ciPhotoFilters;
  // The picture before the filters, for the composite and the depth effect.
  raster::ImageRef unfiltered;
  if ((info.compositeMode != 0 && info.compositeModeType == 0) || info.wantsMixWithDepthData)
    unfiltered = cg->makeImage();

  filters.concat3FiltersWithCGContext(cg, info.filterType0, info.filterType1, info.filterType2);
  if (info.addLUT) filters.LUTFilterWithCGContext(cg, lutFilter(), lutIntensity);
  if (info.addToneCurve || info.addToneCurveRed || info.addToneCurveGreen || info.addToneCurveBlue)
    filters.toneCurveFilterWithCGContext(cg, toneCurveFilter(), redCurveFilter(), greenCurveFilter(),
                                         blueCurveFilter());
  if (info.wantsMixWithDepthData && info.wantsDepthBeforeCompositing)
    applyDepthWithContext(cg, unfiltered, depth, info);
  return unfiltered;
}

void ImportedImage::applyDepthWithContext(raster::BitmapContext* cg, const raster::ImageRef& unfiltered,
                                          const ci::ImageRef& depth, const ImageModifyInfo& info) {
  ciPhotoFilters->depthFilterWithCGContext(
      cg, unfiltered, depth, info.depthSlope, info.depthWidth, info.depthFocalPoint, info.depthIntensity,
      info.depthBlurBackground, info.depthBlackBackground, info.depthInvert);
}

}  // namespace velumar
