// RWPSDWriter: the flattened composite and the document's colour profile.

#include <algorithm>
#include <cmath>

#include "platform/foundation/log.h"
#include "psd/rw_psd_writer.h"

namespace velumar {

color::ProfileRef RWPSDWriter::documentProfile() const {
  switch (colorProfile_) {
    case 0:
      return nullptr;
    case 1:
      return color::IccProfile::named(color::NamedProfile::GenericRGB);
    case 2:
      return color::IccProfile::named(color::NamedProfile::SRGB);
    case 3:
      return color::IccProfile::named(color::NamedProfile::AdobeRGB1998);
    default:
      break;
  }
  // An RGB document can only carry an RGB profile.
  if (genericProfile_ && !genericProfile_->data().empty() && genericProfile_->model() == color::Model::RGB)
    return genericProfile_;
  return color::IccProfile::named(color::NamedProfile::GenericRGB);
}

std::vector<std::uint8_t> RWPSDWriter::iccProfileData() const {
  const color::ProfileRef profile = documentProfile();
  return profile ? profile->data() : std::vector<std::uint8_t>{};
}

raster::ColorSpaceRef RWPSDWriter::documentColorSpace() const {
  switch (colorProfile_) {
    case 0:
      // A file without a profile is read as sRGB.
      return raster::ColorSpace::sRGB();
    case 1:
      return raster::ColorSpace::genericRGB();
    case 2:
      return raster::ColorSpace::sRGB();
    case 3:
      return raster::ColorSpace::named(color::NamedProfile::AdobeRGB1998);
    default:
      return raster::ColorSpace::withProfile(documentProfile());
  }
}

void RWPSDWriter::documentColorSpaceChanged() {
  const raster::ColorSpaceRef space = documentColorSpace();
  for (const auto& layer : layers_) layer->setTargetColorSpace(space);
  // A composite with nothing drawn yet moves to the new space.
  if (layersDrawnIntoFlattened_ == 0 && flattenedContext_) makeBlankFlattenedContext();
}

void RWPSDWriter::makeBlankFlattenedContext() {
  flattenedContext_.reset();
  layersDrawnIntoFlattened_ = 0;
  const double width = std::trunc(documentSize_.width), height = std::trunc(documentSize_.height);
  if (!(width > 0 && height > 0)) return;
  if (width > double(kMaximumSide) || height > double(kMaximumSide)) {
    foundation::log("psd writer: no composite for a {}x{} document, larger than a PSD file allows", width,
                    height);
    return;
  }
  flattenedContext_ = raster::BitmapContext::create(std::int64_t(width), std::int64_t(height),
                                                    raster::PixelFormat::rgba8(), documentColorSpace());
  if (!flattenedContext_) {
    foundation::log("psd writer: no memory for a {}x{} composite", width, height);
    return;
  }
  // White; clear (all zero, premultiplied) with transparency, opaque without.
  if (!hasTransparentLayers_) {
    std::uint8_t* pixels = flattenedContext_->mutableData();
    std::fill(pixels, pixels + flattenedContext_->bytesPerRow() * std::size_t(height), std::uint8_t(255));
  }
}

void RWPSDWriter::resetFlattenedContext() {
  makeBlankFlattenedContext();
  if (!flattenedContext_) return;
  for (const auto& layer : visibleLayers()) addLayerToFlattenedContext(layer.get(), nullptr);
}

bool RWPSDWriter::addLayerToFlattenedContext(const RWPSDLayer* layer, RWPSDError* error) {
  if (!(documentSize_.width > 0 && documentSize_.height > 0)) {
    rwSetError(error, kRWPSDErrorNoDocumentSize,
               "You must specify a non-zero documentSize before adding a layer");
    return false;
  }
  if (!flattenedContext_) return false;
  if (!layer || !layer->image() || !layer->hasValidSize()) return true;
  const raster::ImageRef& image = layer->image();
  const double documentHeight = double(flattenedContext_->height());
  const double imageWidth = double(image->width()), imageHeight = double(image->height());
  // The whole image at its offset; the context clips it to the document.
  const raster::Rect rect(layer->offset().x, documentHeight - (layer->offset().y + imageHeight), imageWidth,
                          imageHeight);
  flattenedContext_->saveGState();
  flattenedContext_->setBlendMode(blendModeForPSDBlendMode(layer->blendMode()));
  flattenedContext_->setAlpha(std::clamp(double(layer->opacity()), 0.0, 1.0));
  flattenedContext_->setInterpolationQuality(raster::InterpolationQuality::None);
  flattenedContext_->drawImage(image, rect);
  flattenedContext_->restoreGState();
  ++layersDrawnIntoFlattened_;
  return true;
}

}  // namespace velumar
