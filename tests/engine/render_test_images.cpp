#include "render_test_images.h"

#include <cmath>

namespace velumar::rendertest {

namespace {

raster::ColorSpaceRef defaultSpaceFor(const raster::PixelFormat& format) {
  switch (format.colorComponents) {
    case 1:
      return raster::ColorSpace::genericGray();
    case 4:
      return raster::ColorSpace::genericCMYK();
    default:
      return raster::ColorSpace::sRGB();
  }
}

}  // namespace

BitmapRepRef quadrantRep(std::int64_t width, std::int64_t height, raster::PixelFormat format,
                         raster::ColorSpaceRef space) {
  if (!space) space = defaultSpaceFor(format);
  auto context = raster::BitmapContext::create(width, height, format, space);
  if (!context) return nullptr;
  const double w = double(width), h = double(height);
  const double halfW = std::floor(w / 2), halfH = std::floor(h / 2);
  struct Part {
    raster::Rect rect;
    raster::Color colour;
  };
  // y up: the top half is [h - halfH, h).
  const Part parts[] = {
      {raster::Rect(0, h - halfH, halfW, halfH), raster::Color::rgb(1, 0, 0)},
      {raster::Rect(halfW, h - halfH, w - halfW, halfH), raster::Color::rgb(0, 1, 0)},
      {raster::Rect(0, 0, halfW, h - halfH), raster::Color::rgb(0, 0, 1)},
      {raster::Rect(halfW, 0, w - halfW, h - halfH), raster::Color::rgb(1, 1, 1)},
  };
  for (const Part& part : parts) {
    context->setFillColor(part.colour);
    context->fillRect(part.rect);
  }
  return raster::BitmapImageRep::withImage(context->makeImage());
}

Rgba rgbaAt(const raster::ImageRef& image, std::int64_t x, std::int64_t y) {
  if (!image) return {};
  auto context = raster::BitmapContext::create(image->width(), image->height(),
                                               raster::PixelFormat{8, 3, raster::AlphaInfo::Last},
                                               raster::ColorSpace::sRGB());
  if (!context) return {};
  context->setBlendMode(raster::BlendMode::Copy);
  context->drawImage(image, raster::Rect(0, 0, double(image->width()), double(image->height())));
  const std::uint8_t* p = context->data() + std::size_t(y) * context->bytesPerRow() + std::size_t(x) * 4;
  return {p[0] / 255.0, p[1] / 255.0, p[2] / 255.0, p[3] / 255.0};
}

Quadrant colourAt(const raster::ImageRef& image, std::int64_t x, std::int64_t y) {
  const Rgba c = rgbaAt(image, x, y);
  const bool r = c.r > 0.6, g = c.g > 0.6, b = c.b > 0.6;
  const bool lowR = c.r < 0.4, lowG = c.g < 0.4, lowB = c.b < 0.4;
  if (r && g && b) return Quadrant::White;
  if (r && lowG && lowB) return Quadrant::Red;
  if (g && lowR && lowB) return Quadrant::Green;
  if (b && lowR && lowG) return Quadrant::Blue;
  return Quadrant::Other;
}

std::string cornerColours(const raster::ImageRef& image, std::int64_t inset) {
  if (!image) return "";
  const std::int64_t left = inset, top = inset;
  const std::int64_t right = image->width() - 1 - inset, bottom = image->height() - 1 - inset;
  return {char(colourAt(image, left, top)), char(colourAt(image, right, top)),
          char(colourAt(image, left, bottom)), char(colourAt(image, right, bottom))};
}

}  // namespace velumar::rendertest
