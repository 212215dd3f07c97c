// A one-image PSD without source metadata: through the image destination
// with the picture's resolution and depth, or, for a picture with
// transparency, as one layer through the layered writer.

#include "engine/imported_image.h"
#include "engine/imported_image_writer_support.h"
#include "platform/imageio/image_destination.h"
#include "platform/imageio/unnamed_file.h"
#include "psd/rw_psd_writer.h"

namespace velumar {

using foundation::Dictionary;
using foundation::Value;

bool ImportedImage::createCGImagePSDFromBitmapRep(const BitmapRepRef& rep, const std::string& path,
                                                  bool updateTags) {
  raster::ImageRef pixels = writers::imageToWrite(rep);
  if (!pixels) return false;
  // Transparency goes into one real layer with its transparency channel,
  // above the composite matted on white: readers that ignore a composite's
  // alpha still see it. The layered writer holds 8-bit samples; the image
  // destination writes deeper images with such a layer of their own depth.
  if (rep->bitsPerSample() == 8 && writers::hasTransparency(*pixels)) {
    std::unique_ptr<RWPSDWriter> writer = createPSDWriterForBmpRep(rep);
    if (writer) drawPSDSingleLayerWithPSDWriter(*writer, rep);
    if (!writers::writePSDDocument(writer.get(), path)) return false;
    if (updateTags) updateTagsForFileName(path);
    urlsArray.push_back(imageio::committedPath(path));
    return true;
  }
  auto destination = imageio::ImageDestination::create(path, writers::kTypePSD, 1);
  if (!destination) return false;
  const double resolution = writers::resolutionOf(*rep);
  Dictionary properties{{"DPIWidth", Value(resolution)},
                        {"DPIHeight", Value(resolution)},
                        {"Depth", Value(rep->bitsPerSample())},
                        {"Orientation", Value(1)}};
  destination->addImage(std::move(pixels), Value(std::move(properties)));
  if (!destination->finalize()) return false;
  if (updateTags) updateTagsForFileName(path);
  urlsArray.push_back(imageio::committedPath(path));
  return true;
}

}  // namespace velumar
