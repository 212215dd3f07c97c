#pragma once
// The engine's entry point to the layered PSD reader: reads a file into one
// image per leaf layer, in the order of a depth-first walk of the layer tree
// (top-most first), with one layer-information record per image.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/value.h"
#include "platform/raster/color_space.h"
#include "platform/raster/image.h"
#include "psd/kd_psd.h"

namespace velumar {

struct PSDLayeredImage {
  std::int64_t width = 0;  // document size in pixels
  std::int64_t height = 0;
  raster::ColorSpaceRef colorSpace;  // the file's ICC profile, else sRGB
  // One image per leaf layer that has pixels, at the layer's own size: RGBA
  // 8-bit, premultiplied alpha last, tagged with colorSpace.
  std::vector<raster::ImageRef> representations;
  // One dictionary per representation, same order:
  //   "Opacity" (integer 0-255), "Layer Name" (string, "Layer" when none),
  //   "Layer Blend Mode" (integer, four-character key),
  //   "Offset" (array of two reals: left, top in document pixels),
  //   "Layer Info Dictionary" (the group record, or an empty dictionary):
  //     "Group Name", "Group Opacity", "Blend Mode", "Layer Index" (-1 for a
  //     group's last leaf).
  foundation::Array psdInfoArray;
  // The flattened image stored in the file, or nullptr.
  raster::ImageRef composite;
};

// The layered content of a PSD file, or nullopt when the file is missing or
// is not a layered RGB 8-bit PSD (the caller then decodes it as a flat image).
std::optional<PSDLayeredImage> loadLayeredPSD(const std::string& path);

// Appends the stored flattened image as the last representation with the
// record {"Has Flattened Image": true}; false (nothing added) when the file
// had none.
bool appendFlattenedImage(PSDLayeredImage& loaded);

// The colour space of a document's bitmaps: its ICC profile when that is a
// usable RGB profile, else sRGB (what readers take untagged RGB for).
raster::ColorSpaceRef colorSpaceForDocument(const KDPSD& psd);

// A straight RGBA8 bitmap as a premultiplied RGBA8 image; nullptr for an
// empty bitmap.
raster::ImageRef imageFromBitmap(const KDPSDBitmap& bitmap, const raster::ColorSpaceRef& space);

// The leaf layers of a tree in walk order, each given its group record in
// layerInfo (null when it lies in no group).
std::vector<std::shared_ptr<KDPSDLayer>> extractLeafLayers(const KDPSDLayer& baseGroup);

}  // namespace velumar
