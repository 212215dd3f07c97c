#include "psd/psd_loader.h"

#include <algorithm>
#include <atomic>

#include "platform/color/icc_profile.h"
#include "platform/foundation/log.h"
#include "platform/foundation/parallel.h"
#include "psd/kd_psd_byte_order.h"

namespace velumar {
namespace {

using foundation::Dictionary;
using foundation::Value;

void extractRecursiveFromGroup(const std::vector<std::shared_ptr<KDPSDLayer>>& layers,
                               std::vector<std::shared_ptr<KDPSDLayer>>& leaves,
                               std::vector<Dictionary>& groups) {
  for (const auto& layer : layers) {
    if (!layer) continue;
    if (layer->isGroup) {
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
      extractRecursiveFromGroup(layer->layers, leaves, groups);
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

// Whether every pixel is consistent with colour matted against white,
// stored = c x a + (1 - a) >= 1 - a in every colour channel, and at least
// one pixel is translucent. Writers that store straight colour (ImageMagick
// does) show it in their darker translucent or transparent pixels; their
// composites are left as they are.
bool isMattedAgainstWhite(const KDPSDBitmap& bitmap) {
  std::atomic<bool> straight{false};
  std::atomic<bool> anyTranslucent{false};
  foundation::parallelForRange(
      0, bitmap.height,
      [&](std::int64_t begin, std::int64_t end) {
        bool sawTranslucent = false;
        for (std::int64_t y = begin; y < end && !straight.load(std::memory_order_relaxed); ++y) {
          const std::uint8_t* src = bitmap.row(std::int32_t(y));
          for (std::size_t x = 0; x < bitmap.bytesPerRow(); x += 4) {
            const int matte = 255 - src[x + 3];
            if (matte == 0) continue;
            sawTranslucent = true;
            // One level of slack for writers that round the matte differently.
            const int least = matte - 1;
            if (src[x] < least || src[x + 1] < least || src[x + 2] < least) {
              straight.store(true, std::memory_order_relaxed);
              return;
            }
          }
        }
        if (sawTranslucent) anyTranslucent.store(true, std::memory_order_relaxed);
      },
      64);
  return anyTranslucent.load() && !straight.load();
}

// The stored composite as a premultiplied image. A composite with
// transparency is normally matted against white: stored = c x a + (1 - a)
// for straight colour c. Taking the white back out gives premultiplied
// colour directly, stored - (1 - a) clamped to [0, a]; opaque pixels stay.
raster::ImageRef imageFromComposite(const KDPSDBitmap& bitmap, const raster::ColorSpaceRef& space) {
  if (bitmap.width <= 0 || bitmap.height <= 0 || bitmap.channels != 4) return nullptr;
  if (!isMattedAgainstWhite(bitmap)) return imageFromBitmap(bitmap, space);
  std::vector<std::uint8_t> pixels(bitmap.pixels.size());
  const std::size_t rowBytes = bitmap.bytesPerRow();
  foundation::parallelForRange(
      0, bitmap.height,
      [&](std::int64_t begin, std::int64_t end) {
        for (std::int64_t y = begin; y < end; ++y) {
          const std::uint8_t* src = bitmap.row(std::int32_t(y));
          std::uint8_t* dst = pixels.data() + std::size_t(y) * rowBytes;
          for (std::size_t x = 0; x < rowBytes; x += 4) {
            const int a = src[x + 3];
            const int matte = 255 - a;
            for (std::size_t c = 0; c < 3; ++c)
              dst[x + c] = std::uint8_t(std::clamp(src[x + c] - matte, 0, a));
            dst[x + 3] = std::uint8_t(a);
          }
        }
      },
      64);
  return raster::Image::make(bitmap.width, bitmap.height, raster::PixelFormat::rgba8(), space,
                             std::move(pixels), rowBytes);
}

}  // namespace

std::vector<std::shared_ptr<KDPSDLayer>> extractLeafLayers(const KDPSDLayer& baseGroup) {
  std::vector<std::shared_ptr<KDPSDLayer>> leaves;
  std::vector<Dictionary> groups;
  extractRecursiveFromGroup(baseGroup.layers, leaves, groups);
  return leaves;
}

raster::ColorSpaceRef colorSpaceForDocument(const KDPSD& psd) {
  if (psd.hasICCProfile && !psd.iccProfile.empty()) {
    if (color::ProfileRef profile = color::IccProfile::fromData(trimmedProfile(psd.iccProfile))) {
      raster::ColorSpaceRef space = raster::ColorSpace::withProfile(profile);
      if (space && space->model() == raster::ColorModel::RGB) return space;
    }
    foundation::log("PSD ICC profile unusable, using generic RGB");
  }
  return raster::ColorSpace::genericRGB();
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
