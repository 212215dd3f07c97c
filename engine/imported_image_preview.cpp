// The live preview: the main draw's stages on a downsampled copy, drawn in
// place into the previous preview bitmap while its size stays, with the
// icon look and the output profile and without watermarks.

#include "engine/icon_look.h"
#include "engine/imported_image.h"
#include "engine/pixel_count.h"
#include "filters/cifiltering.h"

namespace velumar {

namespace {

BitmapRepRef firstRepresentation(const std::shared_ptr<raster::ImageSet>& image) {
  if (!image || image->isEmpty()) return nullptr;
  return image->representations().front();
}

// The preview is for display: sources without an RGB space (gray, CMYK and
// indexed spaces hold no alpha) are previewed in sRGB.
raster::ColorSpaceRef previewSpaceFor(const raster::BitmapImageRep& rep) {
  const raster::ColorSpaceRef& space = rep.colorSpace();
  if (space && space->model() == raster::ColorModel::RGB) return space;
  return raster::ColorSpace::sRGB();
}

}  // namespace

std::shared_ptr<raster::ImageSet> ImportedImage::resizePixelSizeForImage(
    const std::shared_ptr<raster::ImageSet>& image, const std::shared_ptr<raster::ImageSet>& contextImage,
    const ci::ImageRef& depthImage, double imageDpi, ImageModifyInfo info) {
  const BitmapRepRef rep = firstRepresentation(image);
  const BitmapRepRef contextRep = firstRepresentation(contextImage);
  const raster::Size pixelSize =
      rep ? raster::Size{double(rep->pixelsWide()), double(rep->pixelsHigh())} : raster::Size{0, 0};
  ImageModifyInfo local = previewSettingsForInfo(info, pixelSize);
  if (!rep || !rep->image() || pixelSize.width <= 0 || pixelSize.height <= 0) return nullptr;
  const std::optional<raster::Size> size = previewTargetSize(local, pixelSize, imageDpi);

  updateCropSizeForPreview = false;
  simulateOriginalSizeWithInfo(info);
  updateCropSizeForPreview = true;

  const raster::Size contextSize =
      contextRep ? raster::Size{double(contextRep->pixelsWide()), double(contextRep->pixelsHigh())}
                 : raster::Size{0, 0};
  const BitmapRepRef drawn =
      size ? drawInCGContextFromBmpRep(rep, contextRep, depthImage, contextSize, *size, local) : nullptr;
  if (!drawn) {
    clearCGPreviewContext();
    return nullptr;
  }
  if (drawn == contextRep) return contextImage;
  auto result = std::make_shared<raster::ImageSet>(drawn->size());
  result->addRepresentation(drawn);
  return result;
}

BitmapRepRef ImportedImage::drawInCGContextFromBmpRep(const BitmapRepRef& rep, const BitmapRepRef& contextRep,
                                                      const ci::ImageRef& depthImage,
                                                      raster::Size contextSize, raster::Size size,
                                                      ImageModifyInfo info) {
  if (!rep || !rep->image()) return nullptr;
  const std::int64_t width = pixelCountForSide(size.width), height = pixelCountForSide(size.height);
  if (width == 0 || height == 0) return nullptr;
  const bool inPlace = contextRep && width == pixelCountForSide(contextSize.width) &&
                       height == pixelCountForSide(contextSize.height) && contextRep->pixelsWide() == width &&
                       contextRep->pixelsHigh() == height &&
                       contextRep->pixelFormat() == raster::PixelFormat::rgba8() && contextRep->colorSpace();
  const raster::ColorSpaceRef space = previewSpaceFor(*rep);

  std::lock_guard drawing(renderMutex_);
  CIFiltering& filters = *ciPhotoFilters;
  // In place the previous preview is drawn over afresh, never shown
  // through: its representation gets the new pixels, a cleared buffer of
  // its own layout (a copy of the old pixels would only be cleared).
  std::unique_ptr<raster::BitmapContext> context =
      inPlace
          ? raster::BitmapContext::create(width, height, contextRep->pixelFormat(), contextRep->colorSpace())
          : raster::BitmapContext::create(width, height, raster::PixelFormat::rgba8(), space);
  if (!context) return nullptr;
  raster::BitmapContext* cg = context.get();
  const raster::Rect bounds(0, 0, double(width), double(height));
  const raster::Size pixelSize{double(width), double(height)};
  const raster::ImageRef source = rep->image();
  const bool iconLook = info.roundedCornersICNS || info.shadowICNS;

  cg->saveGState();
  cg->setInterpolationQuality(raster::InterpolationQuality::High);
  cg->setShouldAntialias(true);
  const bool useFilters = needsCIContextForImageInfo(info) || filters.currentProfile() != nullptr;
  if (useFilters) filters.createNewCIContextWithCGContext(cg, true);
  cg->setBlendMode(raster::BlendMode::Copy);

  const ci::ImageRef depth = transformedDepthImageForInfo(depthImage, source, pixelSize, info);
  if (info.wantsTinyPlanet) {
    drawTinyPlanetWithInfo(source, pixelSize, info);
  } else {
    {
      // Without the filter graph the icon look is drawn with the picture.
      std::optional<icon_look::Scope> look;
      if (!useFilters) look.emplace(*cg, bounds, 1.0, info.roundedCornersICNS, info.shadowICNS);
      applyImageTransformToCGImage(source, cg, info.resizeScaleType, pixelSize, info.cropCenterX,
                                   info.cropCenterY, info.stretchAndCropStretch, info.stretchAndCropCrop,
                                   false, info.unrotatedWidth, info.unrotatedHeight,
                                   info.cropAndRotateCropSize, info.rotationAngle, true);
    }
    if (!useFilters && iconLook)
      icon_look::clipToShape(*cg, bounds, 1.0, info.roundedCornersICNS, info.shadowICNS);
  }
  cg->setBlendMode(raster::BlendMode::Copy);

  raster::ImageRef unfiltered = applyFilterStagesWithContext(cg, depth, info);
  // The preview always shows a result: the eye-blink verdict is not used.
  filters.autoAdjustFilterWithContext(cg, updateFacesOptionsWithInfo(info));
  compositeWithContext(cg, unfiltered, info);
  filters.colorSpaceFilterWithCGContext(cg);
  if (info.wantsMixWithDepthData && !info.wantsDepthBeforeCompositing)
    applyDepthWithContext(cg, unfiltered, depth, info);

  if (useFilters) {
    if (!iconLook) {
      filters.drawCIImageWithCGContext(cg, info.compositeMode != 0);
    } else {
      if (!filters.ciImage()) filters.setCiImage(ci::Image::withBitmap(cg->makeImage()));
      if (filters.ciImage()) {
        {
          icon_look::Scope look(*cg, bounds, 1.0, info.roundedCornersICNS, info.shadowICNS);
          filters.drawCIImageWithCGContext(cg, false);
        }
        icon_look::clipToShape(*cg, bounds, 1.0, info.roundedCornersICNS, info.shadowICNS);
      }
    }
  }
  filters.framingFacesWithContext(cg, filters.facesRectArray());
  filters.resetCIContext();
  unfiltered.reset();

  addBorderWithInfo(cg, info);
  cg->restoreGState();

  raster::ImageRef drawn = cg->makeImage();
  context.reset();
  if (!drawn) return nullptr;
  if (inPlace) {
    contextRep->setImage(std::move(drawn));
    return contextRep;
  }
  BitmapRepRef result = raster::BitmapImageRep::withImage(std::move(drawn));
  if (result) result->setSize(pixelSize);
  return result;
}

}  // namespace velumar
