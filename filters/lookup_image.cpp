#include "filters/lookup_image.h"

#include <cstring>

#include "platform/foundation/log.h"
#include "platform/imageio/image_source.h"
#include "platform/raster/bitmap_context.h"

namespace velumar {

std::shared_ptr<const ci::Data> lookupCubeFromImage(const raster::ImageRef& image) {
  if (!image) return nullptr;
  const std::int64_t width = image->width(), height = image->height();
  const std::int64_t n = kLookupDimension;
  if (width % n != 0 || height % n != 0 || (width / n) * (height / n) != n) {
    foundation::log("lookup image: {}x{} is not 64 whole tiles of 64x64 pixels", width, height);
    return nullptr;
  }
  // Drawn into a context of the image's own colour space: the bytes stay.
  auto context =
      raster::BitmapContext::create(width, height, raster::PixelFormat::rgba8(), image->colorSpace());
  if (!context) {
    foundation::log("lookup image: no bitmap for its pixels");
    return nullptr;
  }
  context->setBlendMode(raster::BlendMode::Copy);
  context->drawImage(image, raster::Rect(0, 0, double(width), double(height)));
  auto cube = std::make_shared<ci::Data>(std::size_t(n * n * n) * 4 * sizeof(float));
  float* out = reinterpret_cast<float*>(cube->data());
  const std::int64_t tilesAcross = width / n;
  for (std::int64_t row = 0; row < height; ++row) {
    const std::uint8_t* p = context->data() + std::size_t(row) * context->bytesPerRow();
    const std::int64_t green = row % n, tileRow = row / n;
    for (std::int64_t x = 0; x < width; ++x, p += 4) {
      const std::int64_t blue = tileRow * tilesAcross + x / n, red = x % n;
      float* entry = out + ((blue * n + green) * n + red) * 4;
      for (int c = 0; c < 4; ++c) entry[c] = float(p[c]) / 255.0f;
    }
  }
  return cube;
}

std::shared_ptr<const ci::Data> lookupCubeFromFile(const std::string& path) {
  const auto source = imageio::ImageSource::open(path);
  raster::ImageRef image = source && source->count() > 0 ? source->createImage(0) : nullptr;
  if (!image) {
    foundation::log("lookup image: cannot read {}", path);
    return nullptr;
  }
  return lookupCubeFromImage(image);
}

}  // namespace velumar
