// A flattened one-image PSD through the image destination: the picture
// with its resolution and depth, no source metadata.

#include "engine/imported_image.h"
#include "engine/imported_image_writer_support.h"
#include "platform/imageio/image_destination.h"

namespace velumar {

using foundation::Dictionary;
using foundation::Value;

bool ImportedImage::createCGImagePSDFromBitmapRep(const BitmapRepRef& rep, const std::string& path,
                                                  bool updateTags) {
  raster::ImageRef pixels = writers::imageToWrite(rep);
  if (!pixels) return false;
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
  urlsArray.push_back(path);
  return true;
}

}  // namespace velumar
