#include "converter/well_images.h"

#include "engine/image_rep_reader.h"
#include "filters/cifiltering.h"
#include "platform/foundation/log.h"

namespace velumar {

bool isWellImageFile(const ImportedImage& engine, const std::string& path) {
  return !path.empty() && engine.verifyFileTypeFromURL(path).has_value();
}

std::optional<WellPicture> loadWellPicture(const std::string& path) {
  const std::optional<ImageRepReading> reading = imageRepsWithContentsOfURL(path);
  if (!reading || reading->entries.empty()) {
    foundation::log("Image well: cannot read {}", path);
    return std::nullopt;
  }
  const ImageRepEntry& first = reading->entries.front();
  const raster::Size pixels = uprightPixelSize(*reading, first);
  if (!acceptsWellPicture(first.size, {std::int64_t(pixels.width), std::int64_t(pixels.height)})) {
    foundation::log("Image well: {} is empty or too large ({} x {} points)", path, first.size.width,
                    first.size.height);
    return std::nullopt;
  }
  const raster::BitmapImageRepRef rep = bitmapRepForEntry(*reading, first);
  raster::BitmapImageRepRef copy =
      rep ? redrawnRepresentation(rep, {rep->pixelsWide(), rep->pixelsHigh()}) : nullptr;
  if (!copy) {
    foundation::log("Image well: cannot decode {}", path);
    return std::nullopt;
  }
  return WellPicture{std::make_shared<raster::ImageSet>(raster::ImageSet::withRepresentation(copy)),
                     rep->hasAlpha()};
}

raster::BitmapImageRepRef redrawnRepresentation(const raster::BitmapImageRepRef& rep, PixelSize pixels) {
  if (!rep || !rep->image() || pixels.width < 1 || pixels.height < 1) return nullptr;
  raster::BitmapImageRepRef copy =
      ImportedImage::createNewBmpImageRep(pixels.width, pixels.height, 1.0, true);
  std::unique_ptr<raster::BitmapContext> context = copy ? copy->makeContext() : nullptr;
  if (!context) return nullptr;
  context->setInterpolationQuality(raster::InterpolationQuality::High);
  context->drawImage(rep->image(), raster::Rect(0, 0, double(pixels.width), double(pixels.height)));
  copy->setImage(context->makeImage());
  return copy;
}

std::shared_ptr<raster::ImageSet> wellThumbnail(const raster::ImageSet& picture, raster::Size bounds) {
  const raster::BitmapImageRepRef rep = picture.largestRepresentation();
  if (!rep) return nullptr;
  const PixelSize size = wellThumbnailSize(bounds, rep->size());
  raster::BitmapImageRepRef twice = redrawnRepresentation(rep, {2 * size.width, 2 * size.height});
  raster::BitmapImageRepRef once = redrawnRepresentation(rep, size);
  if (!twice || !once) return nullptr;
  const raster::Size points{double(size.width), double(size.height)};
  twice->setSize(points);
  auto thumbnail = std::make_shared<raster::ImageSet>(points);
  thumbnail->addRepresentation(twice);
  thumbnail->addRepresentation(once);
  return thumbnail;
}

std::shared_ptr<raster::ImageSet> exampleThumbnail(const raster::ImageSet& picture, raster::Size bounds) {
  const raster::BitmapImageRepRef rep = picture.largestRepresentation();
  if (!rep) return nullptr;
  raster::BitmapImageRepRef thumbnail =
      redrawnRepresentation(rep, exampleThumbnailSize(bounds, {rep->pixelsWide(), rep->pixelsHigh()}));
  if (!thumbnail) return nullptr;
  return std::make_shared<raster::ImageSet>(raster::ImageSet::withRepresentation(thumbnail));
}

std::shared_ptr<raster::ImageSet> filteredExample(const raster::ImageSet& thumbnail, CIFiltering& filters,
                                                  std::int64_t type0, std::int64_t type1,
                                                  std::int64_t type2) {
  auto copy = std::make_shared<raster::ImageSet>(thumbnail);
  if (copy->isEmpty() || (type0 == 0 && type1 == 0 && type2 == 0)) return copy;
  const raster::BitmapImageRepRef rep = copy->representations().front();
  std::unique_ptr<raster::BitmapContext> context = rep ? rep->makeContext() : nullptr;
  if (!context) return copy;
  filters.createNewCIContextWithCGContext(context.get(), true);
  filters.concat3FiltersWithCGContext(context.get(), type0, type1, type2);
  filters.drawCIImageWithCGContext(context.get(), false);
  filters.resetCIContext();
  // The filtered pixels replace the copy's own representation only.
  auto filtered = std::make_shared<raster::ImageSet>(copy->size());
  for (const raster::BitmapImageRepRef& each : copy->representations()) {
    if (each != rep) {
      filtered->addRepresentation(each);
      continue;
    }
    raster::BitmapImageRepRef result = raster::BitmapImageRep::withImage(context->makeImage());
    if (result) result->setSize(rep->size());
    filtered->addRepresentation(result);
  }
  return filtered;
}

}  // namespace velumar
