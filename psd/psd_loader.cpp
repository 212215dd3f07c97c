#include "psd/psd_loader.h"

#include <algorithm>

#include "platform/color/icc_profile.h"
#include "platform/foundation/log.h"
#include "platform/foundation/parallel.h"
#include "platform/imageio/psd_matte.h"
#include "psd/kd_psd_byte_order.h"

namespace velumar {
namespace {

using foundation::Dictionary;
using foundation::Value;

// The groups enclosing the layers being walked, outermost first, each with
// an id of its own so that a writer rebuilds the same nesting.
struct GroupPath {
  foundation::Array groups;
  std::int64_t lastId = 0;
};

void extractRecursiveFromGroup(const std::vector<std::shared_ptr<KDPSDLayer>>& layers,
                               std::vector<std::shared_ptr<KDPSDLayer>>& leaves,
                               std::vector<Dictionary>& groups, GroupPath& path) {
  for (const auto& layer : layers) {
    if (!layer) continue;
    if (layer->isGroup) {
      path.groups.emplace_back(Dictionary{
          {"Group Name", Value(layer->layerName.value_or("Group"))},
          {"Group Opacity", Value(unsigned(layer->opacity))},
          {"Blend Mode", Value(layer->blendMode)},
          {"Group ID", Value(++path.lastId)},
      });
      std::int64_t leafCount = 0;
      for (const auto& child : layer->layers) leafCount += (child && !child->isGroup) ? 1 : 0;
      if (leafCount >= 1) {
        groups.push_back(Dictionary{
            {"Group Name", Value(layer->layerName.value_or("Group"))},
            {"Group Opacity", Value(unsigned(layer->opacity))},
            {"Layer Count", Value(leafCount)},
            {"Layer Index", Value(0)},
            {"Blend Mode", Value(layer->blendMode)},
        });
      }
      extractRecursiveFromGroup(layer->layers, leaves, groups, path);
      path.groups.pop_back();
      continue;
    }
    if (groups.empty()) {
      layer->layerInfo = Value();
    } else {
      Dictionary& entry = groups.back();
      const std::int64_t index = entry["Layer Index"].intOr(0);
      const std::int64_t count = entry["Layer Count"].intOr(0);
      layer->layerInfo = Value(Dictionary{
          {"Group Name", entry["Group Name"]},
          {"Group Opacity", entry["Group Opacity"]},
          {"Blend Mode", entry["Blend Mode"]},
          {"Layer Index", Value(index < count - 1 ? index : std::int64_t(-1))},
          {"Group Path", Value(path.groups)},
      });
      entry.set("Layer Index", Value(index + 1));
      if (index + 1 == count) groups.pop_back();
    }
    leaves.push_back(layer);
  }
}

// The profile's own size from its header, so a pad byte is not handed on.
std::vector<std::uint8_t> trimmedProfile(const std::vector<std::uint8_t>& stored) {
  if (stored.size() < 4) return stored;
  const std::uint32_t declared = readBigEndian32(stored.data());
  if (declared >= 128 && declared < stored.size()) {
    return std::vector<std::uint8_t>(stored.begin(), stored.begin() + std::ptrdiff_t(declared));
  }
  return stored;
}

// The stored composite as a premultiplied image. A composite with
// transparency is normally matted against white; the matte is taken back
// out only when every translucent pixel is consistent with one, since some
// writers store straight colour there.
raster::ImageRef imageFromComposite(const KDPSDBitmap& bitmap, const raster::ColorSpaceRef& space) {
  if (bitmap.width <= 0 || bitmap.height <= 0 || bitmap.channels != 4) return nullptr;
  imageio::psd::MatteLayout layout;
  layout.width = bitmap.width;
  layout.height = bitmap.height;
  layout.bytesPerRow = bitmap.bytesPerRow();
  if (!imageio::psd::isMattedAgainstWhite(bitmap.pixels.data(), layout))
    return imageFromBitmap(bitmap, space);
  std::vector<std::uint8_t> pixels = bitmap.pixels;
  imageio::psd::removeWhiteMatte(pixels.data(), layout);
  return raster::Image::make(bitmap.width, bitmap.height, raster::PixelFormat::rgba8(), space,
                             std::move(pixels), layout.bytesPerRow);
}

}  // namespace

std::vector<std::shared_ptr<KDPSDLayer>> extractLeafLayers(const KDPSDLayer& baseGroup) {
  std::vector<std::shared_ptr<KDPSDLayer>> leaves;
  std::vector<Dictionary> groups;
  GroupPath path;
  extractRecursiveFromGroup(baseGroup.layers, leaves, groups, path);
  return leaves;
}

raster::ColorSpaceRef colorSpaceForDocument(const KDPSD& psd) {
  if (psd.hasICCProfile && !psd.iccProfile.empty()) {
    if (color::ProfileRef profile = color::IccProfile::fromData(trimmedProfile(psd.iccProfile))) {
      raster::ColorSpaceRef space = raster::ColorSpace::withProfile(profile);
      if (space && space->model() == raster::ColorModel::RGB) return space;
    }
    foundation::log("PSD ICC profile unusable, using sRGB");
  }
  return raster::ColorSpace::sRGB();
}

raster::ImageRef imageFromBitmap(const KDPSDBitmap& bitmap, const raster::ColorSpaceRef& space) {
  if (bitmap.width <= 0 || bitmap.height <= 0 || bitmap.channels != 4) return nullptr;
  std::vector<std::uint8_t> pixels(bitmap.pixels.size());
  const std::size_t rowBytes = bitmap.bytesPerRow();
  // Premultiply as (C x A + 127) / 255, rows in parallel.
  foundation::parallelFor(0, bitmap.height, [&](std::int64_t y) {
    const std::uint8_t* src = bitmap.row(std::int32_t(y));
    std::uint8_t* dst = pixels.data() + std::size_t(y) * rowBytes;
    for (std::size_t x = 0; x < rowBytes; x += 4) {
      const unsigned a = src[x + 3];
      dst[x + 0] = std::uint8_t((src[x + 0] * a + 127) / 255);
      dst[x + 1] = std::uint8_t((src[x + 1] * a + 127) / 255);
      dst[x + 2] = std::uint8_t((src[x + 2] * a + 127) / 255);
      dst[x + 3] = std::uint8_t(a);
    }
  });
  return raster::Image::make(bitmap.width, bitmap.height, raster::PixelFormat::rgba8(), space,
                             std::move(pixels), rowBytes);
}

std::optional<PSDLayeredImage> loadLayeredPSD(const std::string& path) {
  std::unique_ptr<KDPSD> psd = KDPSD::imageWithContetsOfURL(path);
  if (!psd || !psd->baseLayerGroup) return std::nullopt;

  PSDLayeredImage loaded;
  loaded.width = psd->width;
  loaded.height = psd->height;
  loaded.colorSpace = colorSpaceForDocument(*psd);

  for (const auto& layer : extractLeafLayers(*psd->baseLayerGroup)) {
    if (!layer->image) continue;
    raster::ImageRef image = imageFromBitmap(*layer->image, loaded.colorSpace);
    if (!image) continue;
    loaded.representations.push_back(std::move(image));
    Dictionary record;
    record.set("Opacity", Value(unsigned(layer->opacity)));
    record.set("Layer Name", Value(layer->layerName.value_or("Layer")));
    record.set("Layer Blend Mode", Value(layer->blendMode));
    foundation::Array offset;
    offset.emplace_back(double(layer->left));
    offset.emplace_back(double(layer->top));
    record.set("Offset", Value(std::move(offset)));
    record.set("Layer Info Dictionary",
               layer->layerInfo.isDictionary() ? layer->layerInfo : Value(Dictionary()));
    loaded.psdInfoArray.emplace_back(std::move(record));
  }
  if (psd->compositeLayer && psd->compositeLayer->image) {
    loaded.composite = imageFromComposite(*psd->compositeLayer->image, loaded.colorSpace);
  }
  if (loaded.representations.empty()) return std::nullopt;
  return loaded;
}

bool appendFlattenedImage(PSDLayeredImage& loaded) {
  if (!loaded.composite) return false;
  loaded.representations.push_back(loaded.composite);
  Dictionary record;
  record.set("Has Flattened Image", Value(true));
  loaded.psdInfoArray.emplace_back(std::move(record));
  return true;
}

}  // namespace velumar
