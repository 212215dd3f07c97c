#include "engine_test_images.h"

#include <cmath>
#include <cstring>
#include <fstream>
#include <limits>

#include "platform/imageio/pixel_convert.h"

namespace velumar::testimages {

BitmapRepRef quadrantRep(std::int64_t width, std::int64_t height, raster::PixelFormat format,
                         raster::ColorSpaceRef space) {
  if (!space) space = imageio::colorSpaceFor(format.colorComponents, nullptr);
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

raster::ImageRef solidImage(std::int64_t width, std::int64_t height, std::array<std::uint8_t, 3> rgb) {
  std::vector<std::uint8_t> pixels(std::size_t(width * height) * 4);
  for (std::size_t i = 0; i < pixels.size(); i += 4) {
    std::copy(rgb.begin(), rgb.end(), pixels.begin() + std::ptrdiff_t(i));
    pixels[i + 3] = 255;
  }
  return raster::Image::make(width, height, raster::PixelFormat::rgba8(), raster::ColorSpace::sRGB(),
                             std::move(pixels));
}

BitmapRepRef halfTransparentRep(int colorComponents, bool alpha, raster::ColorSpaceRef space,
                                std::int64_t width, std::int64_t height) {
  if (!space) space = imageio::colorSpaceFor(colorComponents, nullptr);
  raster::PixelFormat format{8, colorComponents,
                             alpha ? raster::AlphaInfo::PremultipliedLast : raster::AlphaInfo::None};
  if (colorComponents == 3 && !alpha) format.alpha = raster::AlphaInfo::NoneSkipLast;
  const int bytesPerPixel = format.bytesPerPixel();
  std::vector<std::uint8_t> pixels(std::size_t(width * height * bytesPerPixel), 0);
  for (std::int64_t y = 0; y < height; ++y) {
    for (std::int64_t x = 0; x < width; ++x) {
      std::uint8_t* p = &pixels[std::size_t((y * width + x) * bytesPerPixel)];
      if (alpha && x >= width / 2) continue;
      if (colorComponents == 4) {
        p[3] = 128;
      } else {
        for (int c = 0; c < colorComponents; ++c) p[c] = 128;
      }
      if (format.componentsPerPixel() > colorComponents) p[colorComponents] = 255;
    }
  }
  return raster::BitmapImageRep::withImage(
      raster::Image::make(width, height, format, space, std::move(pixels)));
}

Pixels8 pixels8(const raster::ImageRef& image) {
  if (!image) return {};
  auto context = raster::BitmapContext::create(image->width(), image->height(),
                                               raster::PixelFormat{8, 3, raster::AlphaInfo::Last},
                                               raster::ColorSpace::sRGB());
  if (!context) return {};
  context->setBlendMode(raster::BlendMode::Copy);
  context->drawImage(image, raster::Rect(0, 0, double(image->width()), double(image->height())));
  Pixels8 pixels{image->width(), image->height(), {}};
  pixels.rgba.resize(std::size_t(image->width()) * std::size_t(image->height()) * 4);
  for (std::int64_t y = 0; y < image->height(); ++y)
    std::memcpy(pixels.rgba.data() + std::size_t(y) * std::size_t(image->width()) * 4,
                context->data() + std::size_t(y) * context->bytesPerRow(), std::size_t(image->width()) * 4);
  return pixels;
}

std::array<int, 4> pixelAt(const raster::ImageRef& image, std::int64_t x, std::int64_t y) {
  const Pixels8 pixels = pixels8(image);
  if (pixels.rgba.empty()) return {-1, -1, -1, -1};
  return pixels.at(x, y);
}

Rgba rgbaAt(const raster::ImageRef& image, std::int64_t x, std::int64_t y) {
  const std::array<int, 4> p = pixelAt(image, x, y);
  if (p[0] < 0) return {};
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
  const std::int64_t right = image->width() - 1 - inset, bottom = image->height() - 1 - inset;
  return {char(colourAt(image, inset, inset)), char(colourAt(image, right, inset)),
          char(colourAt(image, inset, bottom)), char(colourAt(image, right, bottom))};
}

std::vector<double> componentsAt(const raster::Image& image, std::int64_t x, std::int64_t y) {
  const raster::PixelFormat& f = image.format();
  const std::uint8_t* p = image.row(y) + std::size_t(x) * std::size_t(f.bytesPerPixel());
  std::vector<double> out;
  for (int c = 0; c < f.componentsPerPixel(); ++c) {
    if (f.bitsPerComponent == 8) {
      out.push_back(p[c] / 255.0);
    } else if (f.bitsPerComponent == 16) {
      std::uint16_t v;
      std::memcpy(&v, p + 2 * c, 2);
      out.push_back(v / 65535.0);
    } else {
      float v;
      std::memcpy(&v, p + 4 * c, 4);
      out.push_back(v);
    }
  }
  return out;
}

raster::ColorSpaceRef grayGamma22() {
  return raster::ColorSpace::named(color::NamedProfile::GrayGamma22);
}
raster::ColorSpaceRef adobeRGB() {
  return raster::ColorSpace::named(color::NamedProfile::AdobeRGB1998);
}

std::shared_ptr<Profile> installedProfileCopy(color::NamedProfile which, const testsupport::TempDir& dir,
                                              const std::string& file) {
  const color::ProfileRef named = color::IccProfile::named(which);
  if (!named) return nullptr;
  std::ofstream(dir.file(file), std::ios::binary)
      .write(reinterpret_cast<const char*>(named->data().data()), std::streamsize(named->data().size()));
  return Profile::profileWithPath(dir.file(file));
}

raster::ImageRef floatImage(const std::vector<float>& values, std::int64_t width, std::int64_t height,
                            raster::PixelFormat format, raster::ColorSpaceRef space) {
  std::vector<std::uint8_t> bytes(values.size() * sizeof(float));
  std::memcpy(bytes.data(), values.data(), bytes.size());
  return raster::Image::make(width, height, format, space ? space : raster::ColorSpace::genericRGB(),
                             std::move(bytes));
}

raster::ImageRef nonFiniteFloatImage(std::int64_t width, std::int64_t height) {
  std::vector<float> values(std::size_t(width * height) * 4, 0.5f);
  for (std::size_t i = 3; i < values.size(); i += 4) values[i] = 1.0f;
  values[0] = std::numeric_limits<float>::quiet_NaN();
  values[5] = std::numeric_limits<float>::infinity();
  values[10] = -std::numeric_limits<float>::infinity();
  return floatImage(values, width, height, raster::PixelFormat{32, 3, raster::AlphaInfo::PremultipliedLast});
}

std::int64_t nonFiniteCount(const raster::ImageRef& image) {
  std::int64_t count = 0;
  const std::size_t floats = std::size_t(image->width()) * std::size_t(image->format().componentsPerPixel());
  for (std::int64_t y = 0; y < image->height(); ++y) {
    for (std::size_t i = 0; i < floats; ++i) {
      float v;
      std::memcpy(&v, image->row(y) + i * sizeof(float), sizeof(float));
      if (!std::isfinite(v)) ++count;
    }
  }
  return count;
}

}  // namespace velumar::testimages
