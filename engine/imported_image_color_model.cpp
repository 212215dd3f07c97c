// Conversion of a representation into the chosen colour model and colour
// space: gray and CMYK keeping transparency go through their two-pass draws;
// a representation already in the target space that keeps its size is
// passed on untouched; everything else is redrawn into a new bitmap of the
// target model, space, depth and alpha form.

#include <cmath>

#include "engine/imported_image.h"
#include "engine/profile.h"
#include "platform/foundation/log.h"

namespace velumar {

namespace {

enum Model : std::int64_t { Gray = 0, RGB = 1, CMYK = 2 };

enum Code : std::int64_t {
  AdobeRGB = 1,
  GenericRGB = 2,
  SRGB = 3,
  GenericCMYK = 4,
  GenericCMYKWithAlpha = 5,
  GenericGray = 6,
  GrayGamma22 = 7,
  FirstInstalledProfile = 8,
};

// Output formats that never hold CMYK with alpha: JPEG, BMP, PDF.
bool formatRefusesCMYKAlpha(std::int64_t conversionType) {
  return conversionType == 0 || conversionType == 2 || conversionType == 4;
}

std::int64_t modelOf(const BitmapRepRef& rep) {
  const raster::ColorSpaceRef& space = rep->colorSpace();
  return space ? std::int64_t(space->model()) : std::int64_t(raster::ColorModel::Unknown);
}

bool wantsAlpha(const BitmapRepRef& rep, const ImageModifyInfo& info) {
  if (info.drawWithAlpha) return true;
  if (info.imageTransparency == 2) return true;
  if (info.imageTransparency == 1) return false;
  return rep->hasAlpha();
}

// Whether rep's space has the name of `named`; a representation without a
// space counts as the same.
bool sameNameAs(const BitmapRepRef& rep, const raster::ColorSpaceRef& named) {
  const raster::ColorSpaceRef& own = rep->colorSpace();
  if (!own) return true;
  return named && own->sameNameAs(*named);
}

std::int64_t pixelCountForSide(double side) {
  const float rounded = std::ceil(float(side));
  if (!(rounded >= 1.0f && rounded < 1e9f)) return 0;
  return std::int64_t(rounded);
}

// The installed profile's space for a code within profiles, else nullptr.
raster::ColorSpaceRef installedSpace(const ImportedImage& engine, std::int64_t code) {
  if (code < FirstInstalledProfile) return nullptr;
  const std::uint64_t index = std::uint64_t(code - FirstInstalledProfile);
  if (index >= engine.profiles.size() || !engine.profiles[index]) return nullptr;
  return engine.profiles[index]->colorspace();
}

bool installedCodeInRange(const ImportedImage& engine, std::int64_t code) {
  return code >= FirstInstalledProfile &&
         std::uint64_t(code - FirstInstalledProfile) < engine.profiles.size();
}

struct RedrawTarget {
  raster::ColorSpaceRef space;
  raster::AlphaInfo alpha = raster::AlphaInfo::None;
  int colors = 0;
};

// The redraw's colour space and alpha form; colors 0 for models without one.
RedrawTarget redrawTargetFor(const ImportedImage& engine, const BitmapRepRef& rep, std::int64_t model,
                             std::int64_t code, bool alpha, const ImageModifyInfo& info) {
  const std::int64_t sourceModel = modelOf(rep);
  RedrawTarget target;
  switch (model) {
    case CMYK:
      target.colors = 4;
      if (sourceModel == CMYK && (code == GenericCMYK || code == GenericCMYKWithAlpha))
        target.space = ImportedImage::assignCMYKColorSpaceForBmpRep(rep);
      else if (installedCodeInRange(engine, code))
        target.space = installedSpace(engine, code);
      else
        target.space = raster::ColorSpace::genericCMYK();
      break;
    case RGB:
      target.colors = 3;
      target.alpha = (info.drawWithAlpha || alpha) ? raster::AlphaInfo::PremultipliedLast
                                                   : raster::AlphaInfo::NoneSkipLast;
      if (code == GenericRGB && sourceModel == RGB)
        target.space = rep->colorSpace();
      else if (code == AdobeRGB)
        target.space = raster::ColorSpace::named(color::NamedProfile::AdobeRGB1998);
      else if (code == SRGB)
        target.space = raster::ColorSpace::sRGB();
      else if (installedCodeInRange(engine, code))
        target.space = installedSpace(engine, code);
      else
        target.space = raster::ColorSpace::genericRGB();
      break;
    case Gray:
      target.colors = 1;
      if (code == GenericGray && sourceModel == Gray)
        target.space = ImportedImage::assignGrayColorSpaceForBmpRep(rep);
      else if (code == GrayGamma22)
        target.space = raster::ColorSpace::named(color::NamedProfile::GrayGamma22);
      else if (installedCodeInRange(engine, code))
        target.space = installedSpace(engine, code);
      else
        target.space = raster::ColorSpace::genericGray();
      break;
    default:
      break;
  }
  return target;
}

// Whether a representation of the target model that keeps its size is
// already what the code asks for.
bool keepsSource(const ImportedImage& engine, const BitmapRepRef& rep, std::int64_t model, std::int64_t code,
                 const ImageModifyInfo& info) {
  if (model == CMYK) {
    if (code >= FirstInstalledProfile) return engine.sameColorSpaceForColorSpace(code, rep);
    return (code == GenericCMYK && !rep->hasAlpha()) || formatRefusesCMYKAlpha(info.conversionType);
  }
  switch (code) {
    case AdobeRGB:
      return sameNameAs(rep, raster::ColorSpace::named(color::NamedProfile::AdobeRGB1998));
    case GenericRGB:
    case GenericGray:
      return true;
    case SRGB:
      return sameNameAs(rep, raster::ColorSpace::sRGB());
    case GrayGamma22:
      return sameNameAs(rep, raster::ColorSpace::named(color::NamedProfile::GrayGamma22));
    default:
      return code >= FirstInstalledProfile && engine.sameColorSpaceForColorSpace(code, rep);
  }
}

}  // namespace

bool ImportedImage::sameColorSpaceForColorSpace(std::int64_t colorSpaceType, const BitmapRepRef& rep) const {
  if (!rep) return false;
  const raster::ColorSpaceRef space = installedSpace(*this, colorSpaceType);
  if (!space) return false;
  return sameNameAs(rep, space);
}

std::optional<BitmapRepRef> ImportedImage::verifyGrayAndCMYKAlphaConditionsForBitmapRep(
    const BitmapRepRef& rep, std::int64_t colorModel, std::int64_t colorSpaceType, bool resizeImage,
    raster::Size redrawTo, ImageModifyInfo info) {
  if (!rep) return std::nullopt;
  const std::int64_t sourceModel = modelOf(rep);
  const bool alpha = wantsAlpha(rep, info);

  if (colorModel == Gray) {
    if (!alpha) return std::nullopt;
    const bool sourceGray = sourceModel == Gray;
    auto keepOrDraw = [&](std::int64_t convertTo) -> BitmapRepRef {
      if (!resizeImage) return rep;
      return drawInCGContextGrayWithAlphaFromRep(rep, redrawTo, convertTo, info);
    };
    if (colorSpaceType == GenericGray && sourceGray) return keepOrDraw(0);
    if (colorSpaceType == GrayGamma22 && sourceGray) {
      if (sameNameAs(rep, raster::ColorSpace::named(color::NamedProfile::GrayGamma22))) return keepOrDraw(0);
      return drawInCGContextGrayWithAlphaFromRep(rep, redrawTo, GrayGamma22, info);
    }
    if (colorSpaceType >= FirstInstalledProfile)
      return drawInCGContextGrayWithAlphaFromRep(rep, redrawTo, colorSpaceType, info);
    if (colorSpaceType == GenericGray)
      return drawInCGContextGrayWithAlphaFromRep(rep, redrawTo, GenericGray, info);
    return drawInCGContextGrayWithAlphaFromRep(rep, redrawTo, GrayGamma22, info);
  }

  if (colorModel == CMYK && (colorSpaceType == GenericCMYKWithAlpha || info.preserveCMYKAlpha) &&
      !formatRefusesCMYKAlpha(info.conversionType)) {
    if (!resizeImage && alpha && sourceModel == CMYK) return rep;
    return drawInCGContextCMYKWithAlphaFromRep(rep, redrawTo, info);
  }
  return std::nullopt;
}

BitmapRepRef ImportedImage::convertColorSpaceForBitmapRep(const BitmapRepRef& rep,
                                                          std::int64_t colorSpaceModel,
                                                          std::int64_t colorSpaceType,
                                                          bool /*preserveCMYKAlpha*/, bool resizeImage,
                                                          raster::Size redrawTo, ImageModifyInfo info) {
  if (!rep || !rep->image()) return nullptr;
  if (std::optional<BitmapRepRef> routed = verifyGrayAndCMYKAlphaConditionsForBitmapRep(
          rep, colorSpaceModel, colorSpaceType, resizeImage, redrawTo, info))
    return *routed;

  if (!resizeImage && modelOf(rep) == colorSpaceModel &&
      keepsSource(*this, rep, colorSpaceModel, colorSpaceType, info))
    return rep;

  const std::int64_t width = pixelCountForSide(redrawTo.width);
  const std::int64_t height = pixelCountForSide(redrawTo.height);
  if (width == 0 || height == 0) return nullptr;
  const int bits = sampleDepthForBitmapRep(rep, info);
  bool alpha = rep->hasAlpha();
  if (info.imageTransparency == 2) alpha = true;
  if (info.imageTransparency == 1) alpha = false;

  const RedrawTarget target = redrawTargetFor(*this, rep, colorSpaceModel, colorSpaceType, alpha, info);
  if (target.colors == 0) return nullptr;
  if (!target.space) {
    foundation::log("colour conversion: profile {} has no usable colour space", colorSpaceType);
    return nullptr;
  }

  std::lock_guard drawing(renderMutex_);
  auto context =
      raster::BitmapContext::create(width, height, {bits, target.colors, target.alpha}, target.space);
  if (!context) return nullptr;
  if (rep->hasAlpha() && info.imageTransparency == 1) {
    // Flattened onto white.
    context->setFillColor(raster::Color::gray(1.0, 1.0));
    context->fillRect(raster::Rect(0, 0, double(width), double(height)));
  } else {
    context->setBlendMode(raster::BlendMode::Copy);
  }
  context->setInterpolationQuality(raster::InterpolationQuality::High);
  context->setShouldAntialias(true);

  raster::ImageRef drawn = redrawForColorConversion(context.get(), rep->image(), info);
  context.reset();
  if (!drawn) return nullptr;
  BitmapRepRef result = raster::BitmapImageRep::withImage(std::move(drawn));
  if (!result) return nullptr;
  result->setSize(redrawTo);
  return result;
}

}  // namespace velumar
