// Source nodes: bitmaps converted into the working space, float pixels,
// constant colours and generators.

#include <cstring>

#include "platform/ci/image.h"
#include "platform/ci/image_nodes.h"
#include "platform/ci/working_space.h"
#include "platform/foundation/log.h"
#include "platform/raster/row_order.h"

namespace ci {

namespace {

class BitmapSource final : public Image {
 public:
  BitmapSource(raster::ImageRef bitmap, RowConverter converter)
      : Image(raster::Rect(0, 0, double(bitmap->width()), double(bitmap->height())), {}),
        bitmap_(std::move(bitmap)),
        converter_(std::move(converter)) {}

  raster::ImageRef sourceBitmap() const override { return bitmap_; }
  bool writesWholeDomain() const override { return true; }

  void render(std::span<const TileBuffer* const>, TileBuffer& out) const override {
    PixelRegion area = out.region().intersection(domain());
    if (area.isEmpty()) return;
    const std::size_t bytesPerPixel = std::size_t(bitmap_->format().bitsPerPixel()) / 8;
    for (std::int64_t y = area.y; y < area.maxY(); ++y) {
      const std::uint8_t* source =
          bitmap_->row(raster::topDownRow(y, bitmap_->height())) + std::size_t(area.x) * bytesPerPixel;
      converter_(source, out.at(area.x, y), area.width);
    }
  }

 private:
  raster::ImageRef bitmap_;
  RowConverter converter_;
};

class PixelSource final : public Image {
 public:
  PixelSource(std::int64_t width, std::int64_t height, std::vector<float> pixels)
      : Image(raster::Rect(0, 0, double(width), double(height)), {}),
        height_(height),
        pixels_(std::move(pixels)) {}

  bool writesWholeDomain() const override { return true; }

  void render(std::span<const TileBuffer* const>, TileBuffer& out) const override {
    PixelRegion area = out.region().intersection(domain());
    const std::size_t width = std::size_t(domain().width);
    for (std::int64_t y = area.y; y < area.maxY(); ++y) {
      const float* source =
          pixels_.data() + (std::size_t(raster::topDownRow(y, height_)) * width + std::size_t(area.x)) * 4;
      std::memcpy(out.at(area.x, y), source, std::size_t(area.width) * 4 * sizeof(float));
    }
  }

 private:
  std::int64_t height_;
  std::vector<float> pixels_;
};

class ConstantColorSource final : public Image {
 public:
  explicit ConstantColorSource(const Color& color) : Image(infiniteRect(), {}) {
    float a = float(color.alpha);
    premultiplied_[0] = float(color.red) * a, premultiplied_[1] = float(color.green) * a;
    premultiplied_[2] = float(color.blue) * a, premultiplied_[3] = a;
  }

  bool writesWholeDomain() const override { return true; }

  void render(std::span<const TileBuffer* const>, TileBuffer& out) const override {
    float* p = out.data();
    const std::size_t count = std::size_t(out.region().area());
    for (std::size_t i = 0; i < count; ++i, p += 4) std::memcpy(p, premultiplied_, sizeof premultiplied_);
  }

 private:
  float premultiplied_[4];
};

class GeneratorSource final : public Image {
 public:
  GeneratorSource(const raster::Rect& extent, GeneratorFunction generator)
      : Image(extent, {}), generator_(std::move(generator)) {}

  void render(std::span<const TileBuffer* const>, TileBuffer& out) const override {
    PixelRegion area = out.region().intersection(domain());
    for (std::int64_t y = area.y; y < area.maxY(); ++y) generator_(area.x, y, area.width, out.at(area.x, y));
  }

 private:
  GeneratorFunction generator_;
};

}  // namespace

ImageRef Image::withBitmap(const raster::ImageRef& bitmap) {
  if (!bitmap || bitmap->width() <= 0 || bitmap->height() <= 0) return nullptr;
  RowConverter converter = rowConverterToWorkingSpace(*bitmap);
  if (!converter) {
    foundation::log("ci: cannot convert a {}-bit image into the working space",
                    bitmap->format().bitsPerComponent);
    return nullptr;
  }
  return std::make_shared<BitmapSource>(bitmap, std::move(converter));
}

ImageRef Image::withPremultipliedPixels(std::int64_t width, std::int64_t height, std::vector<float> pixels) {
  if (width <= 0 || height <= 0 || width > kFarPixel || height > kFarPixel) return nullptr;
  if (pixels.size() / 4 / std::size_t(width) != std::size_t(height) ||
      pixels.size() % (4 * std::size_t(width)) != 0)
    return nullptr;
  return std::make_shared<PixelSource>(width, height, std::move(pixels));
}

ImageRef Image::constantColor(const Color& color) {
  return std::make_shared<ConstantColorSource>(color);
}

ImageRef Image::generated(const raster::Rect& extent, GeneratorFunction generator) {
  if (!generator) return nullptr;
  return std::make_shared<GeneratorSource>(extent, std::move(generator));
}

}  // namespace ci
