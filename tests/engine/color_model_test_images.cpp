#include "color_model_test_images.h"

#include <cstring>

namespace velumar::colormodeltest {

namespace {

raster::ColorSpaceRef defaultSpace(int colorComponents) {
  switch (colorComponents) {
    case 1:
      return raster::ColorSpace::genericGray();
    case 4:
      return raster::ColorSpace::genericCMYK();
    default:
      return raster::ColorSpace::sRGB();
  }
}

}  // namespace

BitmapRepRef halfTransparentRep(int colorComponents, bool alpha, raster::ColorSpaceRef space,
                                std::int64_t width, std::int64_t height) {
  if (!space) space = defaultSpace(colorComponents);
  raster::PixelFormat format{8, colorComponents,
                             alpha ? raster::AlphaInfo::PremultipliedLast : raster::AlphaInfo::None};
  if (colorComponents == 3 && !alpha) format.alpha = raster::AlphaInfo::NoneSkipLast;
  const int bytesPerPixel = format.bytesPerPixel();
  std::vector<std::uint8_t> pixels(std::size_t(width * height * bytesPerPixel), 0);
  for (std::int64_t y = 0; y < height; ++y) {
    for (std::int64_t x = 0; x < width; ++x) {
      std::uint8_t* p = &pixels[std::size_t((y * width + x) * bytesPerPixel)];
      const bool covered = !alpha || x < width / 2;
      if (!covered) continue;
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

std::vector<double> componentsAt(const raster::Image& image, std::int64_t x, std::int64_t y) {
  const raster::PixelFormat& f = image.format();
  const int count = f.componentsPerPixel();
  const std::uint8_t* p = image.row(y) + std::size_t(x) * std::size_t(f.bytesPerPixel());
  std::vector<double> out;
  for (int c = 0; c < count; ++c) {
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

}  // namespace velumar::colormodeltest
