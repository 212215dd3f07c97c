// Gray and CMYK results that keep transparency. Bitmap contexts hold gray
// and CMYK only without alpha, so the picture is drawn twice: once in colour
// through the conversion's render, once through the geometric transform
// alone into a context that keeps alpha. The merge joins the colour of the
// first with the alpha of the second into one premultiplied image.

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <type_traits>

#include "engine/imported_image.h"
#include "engine/profile.h"
#include "filters/cifiltering.h"
#include "platform/foundation/log.h"
#include "platform/foundation/parallel.h"

namespace velumar {

namespace {

constexpr std::int64_t kMergeRowGrain = 16;

// Each side rounded up in single precision; 0 for sizes no bitmap can have.
std::int64_t pixelCountForSide(double side) {
  const float rounded = std::ceil(float(side));
  if (!(rounded >= 1.0f && rounded < 1e9f)) return 0;
  return std::int64_t(rounded);
}

// A merge size truncated to whole pixels; 0 when below one.
std::int64_t mergeCount(double side) {
  if (!(side >= 1.0) || !std::isfinite(side)) return 0;
  return std::int64_t(side);
}

template <typename T>
T loadComponent(const std::uint8_t* bytes) {
  T value;
  std::memcpy(&value, bytes, sizeof(T));
  return value;
}

template <typename T>
void storeComponent(T value, std::uint8_t* bytes) {
  std::memcpy(bytes, &value, sizeof(T));
}

template <typename T>
T validAlpha(T alpha) {
  if constexpr (std::is_floating_point_v<T>) return std::isnan(alpha) ? T(0) : std::clamp(alpha, T(0), T(1));
  return alpha;
}

// Premultiplied colour never exceeds its alpha.
template <typename T>
T colorUnderAlpha(T color, T alpha) {
  if constexpr (std::is_floating_point_v<T>) {
    if (std::isnan(color) || color < T(0)) return T(0);
  }
  return std::min(color, alpha);
}

// Joins `colors` components of type T per colour-pass pixel with the
// component at alphaOffset (bytes) of each alpha-pass pixel of alphaStride
// bytes, into pixels of colors + 1 components.
template <typename T>
void mergeColorAndAlpha(const std::uint8_t* color, const std::uint8_t* alpha, std::uint8_t* merged,
                        raster::Size size, int colors, std::size_t alphaStride, std::size_t alphaOffset) {
  const std::int64_t width = mergeCount(size.width);
  const std::int64_t height = mergeCount(size.height);
  if (width == 0 || height == 0 || !color || !alpha || !merged) return;
  const std::size_t colorStride = sizeof(T) * std::size_t(colors);
  const std::size_t mergedStride = colorStride + sizeof(T);
  const std::size_t w = std::size_t(width);
  foundation::parallelForRange(
      0, height,
      [&](std::int64_t begin, std::int64_t end) {
        for (std::int64_t y = begin; y < end; ++y) {
          const std::size_t first = std::size_t(y) * w;
          for (std::size_t i = first; i < first + w; ++i) {
            const T a = validAlpha(loadComponent<T>(alpha + i * alphaStride + alphaOffset));
            const std::uint8_t* in = color + i * colorStride;
            std::uint8_t* out = merged + i * mergedStride;
            for (int c = 0; c < colors; ++c)
              storeComponent<T>(colorUnderAlpha(loadComponent<T>(in + sizeof(T) * std::size_t(c)), a),
                                out + sizeof(T) * std::size_t(c));
            storeComponent<T>(a, out + colorStride);
          }
        }
      },
      kMergeRowGrain);
}

// The alpha pass pixel: one byte of an alpha-only mask at 8 bits, the A of
// premultiplied RGBA at 16 and 32 bits.
constexpr std::size_t kAlphaOnlyStride = 1;
constexpr std::size_t kRgba16Stride = 8, kRgba16AlphaOffset = 6;
constexpr std::size_t kRgbaFloatStride = 16, kRgbaFloatAlphaOffset = 12;

bool listContains(const Profile::List& list, const std::shared_ptr<Profile>& profile) {
  return std::any_of(list.begin(), list.end(), [&](const std::shared_ptr<Profile>& entry) {
    return entry == profile || (entry && entry->isEqual(profile));
  });
}

// The installed profile of a code when it is in kindList, else nullptr.
raster::ColorSpaceRef installedSpaceOfKind(const ImportedImage& engine, std::int64_t code,
                                           const Profile::List& kindList) {
  if (code < 8) return nullptr;
  const std::uint64_t index = std::uint64_t(code - 8);
  if (index >= engine.profiles.size()) return nullptr;
  const std::shared_ptr<Profile>& profile = engine.profiles[index];
  if (!profile || !listContains(kindList, profile)) return nullptr;
  return profile->colorspace();
}

void prepareContext(raster::BitmapContext& context) {
  context.setBlendMode(raster::BlendMode::Copy);
  context.setInterpolationQuality(raster::InterpolationQuality::High);
  context.setShouldAntialias(true);
}

enum class AlphaTarget { Gray, CMYK };

// The alpha pass: the source through the transform alone into a context
// that keeps alpha. Gray targets use their own space for the 8-bit mask,
// CMYK targets generic gray; deeper masks are premultiplied generic RGB.
raster::ImageRef drawAlphaPass(ImportedImage& engine, const raster::ImageRef& source, std::int64_t width,
                               std::int64_t height, int bitsPerComponent,
                               const raster::ColorSpaceRef& graySpace, const ImageModifyInfo& info) {
  std::unique_ptr<raster::BitmapContext> context;
  if (bitsPerComponent == 8)
    context = raster::BitmapContext::create(width, height, {8, 0, raster::AlphaInfo::Only}, graySpace);
  else
    context = raster::BitmapContext::create(width, height,
                                            {bitsPerComponent, 3, raster::AlphaInfo::PremultipliedLast},
                                            raster::ColorSpace::genericRGB());
  if (!context) return nullptr;
  prepareContext(*context);
  CIFiltering& filters = *engine.ciPhotoFilters;
  if (ImportedImage::needsCIContextTransformForImageInfo(info))
    filters.createNewCIContextWithCGContext(context.get(), true);
  engine.applyImageTransformToCGImage(
      source, context.get(), info.resizeScaleType, {double(width), double(height)}, info.cropCenterX,
      info.cropCenterY, info.stretchAndCropStretch, info.stretchAndCropCrop, info.resizeBeforeCrop,
      info.unrotatedWidth, info.unrotatedHeight, info.cropAndRotateCropSize, info.rotationAngle, true);
  filters.resetCIContext();
  return context->makeImage();
}

bool isPacked(const raster::Image& image) {
  return image.bytesPerRow() == std::size_t(image.width()) * std::size_t(image.format().bytesPerPixel());
}

// The colour of one pass joined with the alpha of the other, premultiplied
// alpha last in the colour pass's space; nullptr when the passes cannot be
// merged.
raster::ImageRef mergedImage(const raster::Image& colorImage, const raster::Image& alphaImage, int bits,
                             AlphaTarget target) {
  const std::int64_t width = colorImage.width();
  const std::int64_t height = colorImage.height();
  if (alphaImage.width() != width || alphaImage.height() != height) return nullptr;
  if (!isPacked(colorImage) || !isPacked(alphaImage)) {
    foundation::log("colour conversion: pass bitmaps with padded rows cannot be merged");
    return nullptr;
  }
  const int colors = target == AlphaTarget::Gray ? 1 : 4;
  const raster::PixelFormat mergedFormat{bits, colors, raster::AlphaInfo::PremultipliedLast};
  std::vector<std::uint8_t> merged;
  try {
    merged.resize(std::size_t(width) * std::size_t(height) * std::size_t(mergedFormat.bytesPerPixel()));
  } catch (const std::bad_alloc&) {
    foundation::log("colour conversion: no memory to merge a {}x{} bitmap", width, height);
    return nullptr;
  }
  const raster::Size mergeSize{double(width), double(height)};
  const std::uint8_t* color = colorImage.data();
  const std::uint8_t* alpha = alphaImage.data();
  if (target == AlphaTarget::Gray) {
    if (bits == 32)
      ImportedImage::updateBytes32FloatFromGray(color, alpha, merged.data(), mergeSize);
    else if (bits == 16)
      ImportedImage::updateBytes16IntegerFromGray(color, alpha, merged.data(), mergeSize);
    else
      ImportedImage::updateBytes8IntegerFromGray(color, alpha, merged.data(), mergeSize);
  } else {
    if (bits == 32)
      ImportedImage::updateBytes32FloatFromCMYK(color, alpha, merged.data(), mergeSize);
    else if (bits == 16)
      ImportedImage::updateBytes16IntegerFromCMYK(color, alpha, merged.data(), mergeSize);
    else
      ImportedImage::updateBytes8IntegerFromCMYK(color, alpha, merged.data(), mergeSize);
  }
  return raster::Image::make(width, height, mergedFormat, colorImage.colorSpace(), std::move(merged));
}

// Both passes and the merge; the caller holds the render lock. The alpha
// pass comes first so that the filters of the colour pass start from the
// transformed colour joined with it: the colour pass alone holds the colour
// as if drawn over an empty background, and a filter that is not linear
// would change a translucent picture differently from its opaque copy.
BitmapRepRef drawWithAlpha(ImportedImage& engine, const BitmapRepRef& rep, raster::Size size,
                           const ImageModifyInfo& info, const raster::ColorSpaceRef& space,
                           AlphaTarget target) {
  const std::int64_t width = pixelCountForSide(size.width);
  const std::int64_t height = pixelCountForSide(size.height);
  if (width == 0 || height == 0 || !space) return nullptr;
  const int bits = ImportedImage::sampleDepthForBitmapRep(rep, info);
  const int colors = target == AlphaTarget::Gray ? 1 : 4;

  auto context = raster::BitmapContext::create(width, height, {bits, colors, raster::AlphaInfo::None}, space);
  if (!context) return nullptr;
  const raster::ColorSpaceRef maskSpace =
      target == AlphaTarget::Gray ? space : raster::ColorSpace::genericGray();
  const raster::ImageRef alphaImage =
      drawAlphaPass(engine, rep->image(), width, height, bits, maskSpace, info);
  if (!alphaImage) return nullptr;

  prepareContext(*context);
  const ImportedImage::FilterInputMaker withAlpha = [&](const raster::Image& transformed) {
    return mergedImage(transformed, *alphaImage, bits, target);
  };
  const raster::ImageRef colorImage =
      engine.redrawForColorConversion(context.get(), rep->image(), info, withAlpha);
  context.reset();
  if (!colorImage) return nullptr;

  raster::ImageRef image = mergedImage(*colorImage, *alphaImage, bits, target);
  if (!image) return nullptr;
  BitmapRepRef result = raster::BitmapImageRep::withImage(std::move(image));
  if (!result) return nullptr;
  result->setSize(size);
  return result;
}

}  // namespace

void ImportedImage::updateBytes8IntegerFromGray(const std::uint8_t* gray, const std::uint8_t* alpha,
                                                std::uint8_t* grayAlpha, raster::Size size) {
  mergeColorAndAlpha<std::uint8_t>(gray, alpha, grayAlpha, size, 1, kAlphaOnlyStride, 0);
}

void ImportedImage::updateBytes16IntegerFromGray(const std::uint8_t* gray, const std::uint8_t* alpha,
                                                 std::uint8_t* grayAlpha, raster::Size size) {
  mergeColorAndAlpha<std::uint16_t>(gray, alpha, grayAlpha, size, 1, kRgba16Stride, kRgba16AlphaOffset);
}

void ImportedImage::updateBytes32FloatFromGray(const std::uint8_t* gray, const std::uint8_t* alpha,
                                               std::uint8_t* grayAlpha, raster::Size size) {
  mergeColorAndAlpha<float>(gray, alpha, grayAlpha, size, 1, kRgbaFloatStride, kRgbaFloatAlphaOffset);
}

void ImportedImage::updateBytes8IntegerFromCMYK(const std::uint8_t* cmyk, const std::uint8_t* alpha,
                                                std::uint8_t* cmykAlpha, raster::Size size) {
  mergeColorAndAlpha<std::uint8_t>(cmyk, alpha, cmykAlpha, size, 4, kAlphaOnlyStride, 0);
}

void ImportedImage::updateBytes16IntegerFromCMYK(const std::uint8_t* cmyk, const std::uint8_t* alpha,
                                                 std::uint8_t* cmykAlpha, raster::Size size) {
  mergeColorAndAlpha<std::uint16_t>(cmyk, alpha, cmykAlpha, size, 4, kRgba16Stride, kRgba16AlphaOffset);
}

void ImportedImage::updateBytes32FloatFromCMYK(const std::uint8_t* cmyk, const std::uint8_t* alpha,
                                               std::uint8_t* cmykAlpha, raster::Size size) {
  mergeColorAndAlpha<float>(cmyk, alpha, cmykAlpha, size, 4, kRgbaFloatStride, kRgbaFloatAlphaOffset);
}

raster::ColorSpaceRef ImportedImage::assignGrayColorSpaceForBmpRep(const BitmapRepRef& rep) {
  if (rep && rep->colorSpace() && rep->colorSpace()->model() == raster::ColorModel::Gray)
    return rep->colorSpace();
  return raster::ColorSpace::genericGray();
}

raster::ColorSpaceRef ImportedImage::assignCMYKColorSpaceForBmpRep(const BitmapRepRef& rep) {
  if (rep && rep->colorSpace() && rep->colorSpace()->model() == raster::ColorModel::CMYK)
    return rep->colorSpace();
  return raster::ColorSpace::genericCMYK();
}

BitmapRepRef ImportedImage::drawInCGContextGrayWithAlphaFromRep(const BitmapRepRef& rep, raster::Size size,
                                                                std::int64_t convertTo,
                                                                ImageModifyInfo info) {
  if (!rep || !rep->image()) return nullptr;
  raster::ColorSpaceRef space;
  if (convertTo == 6) {
    space = raster::ColorSpace::genericGray();
  } else if (convertTo == 0) {
    space = assignGrayColorSpaceForBmpRep(rep);
  } else if (convertTo < 8) {
    space = raster::ColorSpace::named(color::NamedProfile::GrayGamma22);
  } else {
    space = installedSpaceOfKind(*this, convertTo, profilesGray);
    if (!space) space = assignGrayColorSpaceForBmpRep(rep);
  }
  std::lock_guard drawing(renderMutex_);
  return drawWithAlpha(*this, rep, size, info, space, AlphaTarget::Gray);
}

BitmapRepRef ImportedImage::drawInCGContextCMYKWithAlphaFromRep(const BitmapRepRef& rep, raster::Size size,
                                                                ImageModifyInfo info) {
  if (!rep || !rep->image()) return nullptr;
  raster::ColorSpaceRef space = installedSpaceOfKind(*this, info.colorSpace, profilesCMYK);
  if (!space) space = assignCMYKColorSpaceForBmpRep(rep);
  std::lock_guard drawing(renderMutex_);
  return drawWithAlpha(*this, rep, size, info, space, AlphaTarget::CMYK);
}

}  // namespace velumar
