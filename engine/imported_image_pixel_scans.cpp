// Which representation has the most pixels.

#include <optional>

#include "engine/imported_image.h"

namespace velumar {

namespace {

struct Largest {
  std::int64_t index = 0;
  raster::Size pixelSize;
};

// The first representation with the largest pixel count; entries without
// pixels never win.
std::optional<Largest> largestRepresentation(const BitmapRepList& reps, std::optional<std::int64_t> ignored) {
  std::optional<Largest> best;
  double bestCount = 0;
  for (std::size_t i = 0; i < reps.size(); ++i) {
    const auto& rep = reps[i];
    if (!rep || (ignored && std::int64_t(i) == *ignored)) continue;
    const double count = double(rep->pixelsWide()) * double(rep->pixelsHigh());
    if (count > bestCount) {
      bestCount = count;
      best = Largest{std::int64_t(i), {double(rep->pixelsWide()), double(rep->pixelsHigh())}};
    }
  }
  return best;
}

}  // namespace

raster::Size ImportedImage::verifyImagePixelSize(const BitmapRepList& reps) {
  // Our loaders hand over bitmaps only, so no entry is skipped and the index
  // is the position in the list the driver walks.
  auto largest = largestRepresentation(reps, std::nullopt);
  indexMaxPixels = largest ? largest->index : 0;
  return largest ? largest->pixelSize : raster::Size{};
}

void ImportedImage::verifyImagePixelSizeForResultedImage(const raster::ImageSet& image) {
  auto largest = largestRepresentation(image.representations(), std::nullopt);
  indexMaxPixels = largest ? largest->index : 0;
}

void ImportedImage::verifyImagePixelSizeForResultedImage(const raster::ImageSet& image,
                                                         std::int64_t ignoredIndex) {
  auto largest = largestRepresentation(image.representations(), ignoredIndex);
  indexMaxPixels = largest ? largest->index : 0;
}

}  // namespace velumar
