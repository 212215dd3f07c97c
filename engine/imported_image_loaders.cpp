// The input loaders of EPS, Illustrator, layered PSD, GIF frames and any
// other image file, and the choice of the largest representation.

#include <algorithm>
#include <cmath>

#include "engine/document_raster_size.h"
#include "engine/image_rep_reader.h"
#include "engine/imported_image.h"
#include "platform/foundation/log.h"
#include "platform/imageio/postscript_document.h"
#include "psd/psd_loader.h"

namespace velumar {

namespace {

constexpr double kMaxRepresentationPoints = 10000.0;

bool isWithinRepresentationLimits(raster::Size size) {
  return size.width > 0 && size.height > 0 && size.width <= kMaxRepresentationPoints &&
         size.height <= kMaxRepresentationPoints;
}

// The bounding box the PostScript decoder found, as {PostScript}
// BoundingBox = [x0, y0, x1, y1].
std::optional<imageio::PostScriptBox> boundingBoxFrom(const foundation::Value& properties) {
  const foundation::Value* value = properties.get({"{PostScript}", "BoundingBox"});
  const foundation::Array* corners = value ? value->asArray() : nullptr;
  if (!corners || corners->size() != 4) return std::nullopt;
  imageio::PostScriptBox box;
  box.x0 = (*corners)[0].doubleOr(0);
  box.y0 = (*corners)[1].doubleOr(0);
  box.x1 = (*corners)[2].doubleOr(0);
  box.y1 = (*corners)[3].doubleOr(0);
  return box;
}

}  // namespace

std::optional<BitmapRepList> ImportedImage::setEpsBmpImageRepWithURL(const std::string& path) const {
  if (path.empty()) return std::nullopt;
  const std::shared_ptr<imageio::ImageSource> source = imageio::ImageSource::open(path);
  if (!source || source->type() != "com.adobe.postscript") return std::nullopt;
  const std::optional<imageio::PostScriptBox> box = boundingBoxFrom(source->properties(0));
  if (!box) return std::nullopt;
  const double width = std::trunc(box->width());
  const double height = std::trunc(box->height());
  if (!(width >= 1 && height >= 1)) return std::nullopt;
  const std::optional<DocumentPixelSize> pixels = cappedDocumentPixelSize(width, height);
  if (!pixels) {
    foundation::log("eps: {} has an unusable bounding box {} x {}", path, box->width(), box->height());
    return std::nullopt;
  }
  raster::ImageRef image =
      imageio::renderPostScript(path, *box, pixels->width, pixels->height, imageio::kDefaultPixelLimit);
  BitmapRepRef rep = raster::BitmapImageRep::withImage(std::move(image));
  if (!rep) return std::nullopt;
  rep->setSize({width, height});
  return BitmapRepList{std::move(rep)};
}

std::optional<BitmapRepList> ImportedImage::setAIImageWithURL(const std::string& path) const {
  const std::optional<ImageRepReading> reading = imageRepsWithContentsOfURL(path);
  if (!reading) return std::nullopt;
  const ImageRepEntry& first = reading->entries.front();
  if (!isWithinRepresentationLimits(first.size)) return std::nullopt;
  BitmapRepRef rep = bitmapRepForEntry(*reading, first);
  if (!rep) return std::nullopt;
  return BitmapRepList{std::move(rep)};
}

std::optional<BitmapRepList> ImportedImage::setGenericImageWithURL(const std::string& path) const {
  const std::optional<ImageRepReading> reading = imageRepsWithContentsOfURL(path);
  if (!reading) return std::nullopt;
  BitmapRepList reps;
  for (const ImageRepEntry& entry : reading->entries) {
    if (!isWithinRepresentationLimits(entry.size)) continue;
    if (BitmapRepRef rep = bitmapRepForEntry(*reading, entry)) reps.push_back(std::move(rep));
  }
  if (reps.empty()) return std::nullopt;
  return reps;
}

std::optional<BitmapRepList> ImportedImage::bitmapRepsGIFFromURL(const std::string& path) const {
  if (path.empty()) return std::nullopt;
  const std::shared_ptr<imageio::ImageSource> source = imageio::ImageSource::open(path);
  if (!source) return std::nullopt;
  BitmapRepList reps;
  const std::size_t count = source->count();
  for (std::size_t index = 0; index < count; ++index) {
    if (BitmapRepRef rep = raster::BitmapImageRep::withImage(source->createImage(index)))
      reps.push_back(std::move(rep));
  }
  if (reps.empty()) return std::nullopt;
  return reps;
}

std::optional<BitmapRepList> ImportedImage::setPSDImageWithURL(const std::string& path) {
  psdInfoArray.clear();
  psdCanvasSize = {0, 0};
  if (path.empty()) return std::nullopt;
  std::optional<PSDLayeredImage> loaded = loadLayeredPSD(path);
  if (!loaded) return std::nullopt;
  BitmapRepList reps;
  foundation::Array records;
  const std::size_t count = std::min(loaded->representations.size(), loaded->psdInfoArray.size());
  for (std::size_t index = 0; index < count; ++index) {
    BitmapRepRef rep = raster::BitmapImageRep::withImage(loaded->representations[index]);
    if (!rep) continue;
    reps.push_back(std::move(rep));
    records.push_back(std::move(loaded->psdInfoArray[index]));
  }
  if (reps.empty()) return std::nullopt;
  psdInfoArray = std::move(records);
  psdCanvasSize = {double(loaded->width), double(loaded->height)};
  return reps;
}

std::int64_t ImportedImage::verifyGenericImagePixelSizeForRepsArray(const BitmapRepList& reps) {
  std::int64_t largestIndex = 0;
  std::int64_t largestCount = 0;
  for (std::size_t index = 0; index < reps.size(); ++index) {
    if (!reps[index]) continue;
    const std::int64_t count = reps[index]->pixelsWide() * reps[index]->pixelsHigh();
    if (count > largestCount) {
      largestCount = count;
      largestIndex = std::int64_t(index);
    }
  }
  return largestIndex;
}

}  // namespace velumar
